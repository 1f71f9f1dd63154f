// Pilot burst and idle-slot filler.
#include "onex/pilot_idle.hpp"

#include "base/diagnostics.hpp"
#include "numerics/noise.hpp"
#include "onex/constants.hpp"

namespace tolvane {

std::vector<double> fwdPilot() { return std::vector<double>(kPilotBurstChips, 1.0); }

std::vector<std::complex<double>> fwdIdleSlot(bool active, double gainDb, long long chips) {
    if (chips < 0) throw Error("NumberOfChips = " + numberText(static_cast<double>(chips)) + " must not be negative.");
    const auto count = static_cast<std::size_t>(chips);
    if (!active) return std::vector<std::complex<double>>(count);
    return complexWhiteNoise(count, gainDb);
}

}  // namespace tolvane
