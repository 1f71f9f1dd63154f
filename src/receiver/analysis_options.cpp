#include <cmath>
#include <string>

#include "base/diagnostics.hpp"
#include "onex/packets.hpp"
#include "receiver/analysis.hpp"

namespace tolvane {

void checkAnalysisOptions(const AnalysisOptions& options) {
    if (options.pnOffset && (*options.pnOffset < 0 || *options.pnOffset > 511))
        throw Error("PN offset " + std::to_string(*options.pnOffset) + " is not an offset index (0 to 511).");
    const int filter = static_cast<int>(options.filter);
    if (filter < 1 || filter > 4)
        throw Error("Filter " + std::to_string(filter) + " is not a filter type (1 to 4).");
    if (options.frameSlots != 0 && !isFrameSlots(options.frameSlots))
        throw Error("Frame slots " + std::to_string(options.frameSlots) +
                    " is not a frame length (whole multiples of 16 from 16 to 128).");
    if (!std::isfinite(options.carrierOffsetHz))
        throw Error("Carrier offset " + numberText(options.carrierOffsetHz) + " Hz is not a number of hertz.");
    if (options.firstSlot < 0 || options.lastSlot < 0 ||
        (options.lastSlot != 0 && options.firstSlot > options.lastSlot))
        throw Error("Slots " + std::to_string(options.firstSlot) + ":" + std::to_string(options.lastSlot) +
                    " is not a range of slots (A:B with 1 <= A <= B).");
    if (options.maxIterations < 1 || options.maxIterations > 16)
        throw Error("Iterations " + std::to_string(options.maxIterations) + " is not a number of turbo iterations (1 to 16).");
}

}  // namespace tolvane
