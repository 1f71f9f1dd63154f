// Forward traffic scrambler: the coded bits are XORed with the output of a
// 17-stage linear feedback register (h(D) = D^17 + D^14 + 1) whose initial
// state carries seven ones, the MAC index (6 bits) and the DRC value (4 bits).
#include "onex/scrambler.hpp"

#include <array>
#include <cmath>
#include <string>

#include "numerics/diagnostics.hpp"

namespace tolvane {

std::vector<double> fwdScrambler(const std::vector<double>& input, int drcValue, int macIndex) {
    if (macIndex < 0) throw Error("Scrambler: MAC index " + std::to_string(macIndex) + " must not be negative.");
    if (drcValue < 0) throw Error("Scrambler: DRC value " + std::to_string(drcValue) + " must not be negative.");

    // Stage 1 first. Only the low 6 bits of the MAC index and the low 4 bits
    // of the DRC value enter the register, most significant bit first.
    std::array<bool, 17> reg{};
    for (int s = 0; s < 7; ++s) reg[s] = true;
    for (int b = 0; b < 6; ++b) reg[7 + b] = ((macIndex >> (5 - b)) & 1) != 0;
    for (int b = 0; b < 4; ++b) reg[13 + b] = ((drcValue >> (3 - b)) & 1) != 0;

    std::vector<double> output(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (std::isnan(input[i]))
            throw Error("Scrambler: input bit " + std::to_string(i + 1) + " is NaN.");
        output[i] = ((input[i] != 0.0) != reg[0]) ? 1.0 : 0.0;
        const bool shiftIn = reg[0] != reg[3];
        for (int s = 0; s < 16; ++s) reg[s] = reg[s + 1];
        reg[16] = shiftIn;
    }
    return output;
}

}  // namespace tolvane
