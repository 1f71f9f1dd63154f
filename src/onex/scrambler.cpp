// Forward traffic scrambler: the coded bits are XORed with the output of a
// 17-stage linear feedback register (h(D) = D^17 + D^14 + 1) whose initial
// state carries seven ones, the MAC index (6 bits) and the DRC value (4 bits).
#include "onex/scrambler.hpp"

#include <cstdint>
#include <cmath>

#include "base/diagnostics.hpp"

namespace tolvane {

std::vector<double> fwdScrambler(const std::vector<double>& input, int drcValue, int macIndex) {
    if (macIndex < 0) throw Error("Scrambler: MAC index " + numberText(macIndex) + " must not be negative.");
    if (drcValue < 0) throw Error("Scrambler: DRC value " + numberText(drcValue) + " must not be negative.");

    // Stage s of the register is bit s-1 of `reg`, so stage 1 is the low
    // bit and a shift towards stage 1 is a right shift. Only the low 6 bits
    // of the MAC index and the low 4 bits of the DRC value enter, most
    // significant bit first (stages 8 .. 13 and 14 .. 17).
    std::uint32_t reg = 0x7F;
    for (int b = 0; b < 6; ++b) reg |= static_cast<std::uint32_t>((macIndex >> (5 - b)) & 1) << (7 + b);
    for (int b = 0; b < 4; ++b) reg |= static_cast<std::uint32_t>((drcValue >> (3 - b)) & 1) << (13 + b);

    std::vector<double> output(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (std::isnan(input[i]))
            throw Error("Scrambler: input bit " + numberText(static_cast<double>(i + 1)) + " is NaN.");
        const std::uint32_t first = reg & 1U;
        output[i] = ((input[i] != 0.0) != (first != 0U)) ? 1.0 : 0.0;
        const std::uint32_t shiftIn = first ^ ((reg >> 3) & 1U);  // stage 1 XOR stage 4
        reg = (reg >> 1) | (shiftIn << 16);
    }
    return output;
}

}  // namespace tolvane
