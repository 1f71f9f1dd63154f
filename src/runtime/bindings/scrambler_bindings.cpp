// Adapters registering the scrambler by name.
#include <cmath>
#include <string>

#include "numerics/diagnostics.hpp"
#include "onex/scrambler.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {


void registerScrambler(Registry& reg) {
    define(reg, "OneX_FwdScrambler", 3, 1, {"input", "modParams", "macIndex"}, {"output"}, [](Call& c) {
        const std::vector<double> input = argReal(c, 0);
        // Only the DRC value of the record is used; a record without it is
        // the missing-field error.
        const double drc = valueScalar(c.in(1).field("drcValue"), "drcValue");
        if (!std::isfinite(drc) || std::floor(drc) != drc || drc < 0)
            throw Error("\"drcValue\" = " + numberText(drc) + " must be a non-negative whole number.");
        const double mac = argScalar(c, 2);
        if (!std::isfinite(mac) || std::floor(mac) != mac || mac < 0)
            throw Error("\"macIndex\" = " + numberText(mac) + " must be a non-negative whole number.");
        // An empty packet leaves the output unassigned.
        if (input.empty()) return;
        // Only the low 4 and 6 bits reach the register.
        const int drcBits = static_cast<int>(std::fmod(drc, 16.0));
        const int macBits = static_cast<int>(std::fmod(mac, 64.0));
        c.setOut(0, realRow(fwdScrambler(input, drcBits, macBits)));
    });
}

}  // namespace tolvane
