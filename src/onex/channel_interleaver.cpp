// Forward channel interleaver: the coded symbols are demultiplexed into the
// systematic stream U and the parity streams V0/V0' (and V1/V1' at rate 1/5),
// each group goes through the block symbol permuter, and the permuted groups
// are concatenated U first.
#include "onex/channel_interleaver.hpp"

#include <cctype>

#include "base/diagnostics.hpp"
#include "onex/turbo.hpp"

namespace tolvane {

namespace {

// The block permutation: the block (read through `at`, row-major rows x
// cols) is written row by row, each column rotated down by its shift, the
// columns taken in bit-reversed order and read column by column into `out`.
template <class At>
void permuteInto(At at, std::size_t rows, std::size_t cols, bool typeV, double* out) {
    int width = 0;
    while ((std::size_t{1} << width) < cols) ++width;
    for (std::size_t j = 0; j < cols; ++j) {
        const auto q = static_cast<std::size_t>(reverseBits(static_cast<long long>(j), width));
        const std::size_t shift = (typeV ? q / 4 : q) % rows;
        for (std::size_t i = 0; i < rows; ++i) out[j * rows + i] = at(((i + rows - shift) % rows) * cols + q);
    }
}

}  // namespace

std::vector<double> fwdSymbolPermuter(const std::vector<double>& block, int k, int m, const std::string& type) {
    bool typeV = false;
    if (type.size() == 1 && std::toupper(static_cast<unsigned char>(type[0])) == 'U')
        typeV = false;
    else if (type.size() == 1 && std::toupper(static_cast<unsigned char>(type[0])) == 'V')
        typeV = true;
    else
        throw Error("Symbol permuter: type \"" + type + "\" is not supported (use \"U\" or \"V\").");
    if (k < 1) throw Error("Symbol permuter: row count k = " + numberText(k) + " must be positive.");
    if (m < 1 || (m & (m - 1)) != 0)
        throw Error("Symbol permuter: column count m = " + numberText(m) + " must be a power of two.");
    const std::size_t rows = static_cast<std::size_t>(k);
    const std::size_t cols = static_cast<std::size_t>(m);
    if (block.size() != rows * cols)
        throw Error("Symbol permuter: block of " + numberText(static_cast<double>(block.size())) +
                    " symbols does not fill " + numberText(k) + " x " + numberText(m) + ".");

    std::vector<double> out(block.size());
    permuteInto([&](std::size_t p) { return block[p]; }, rows, cols, typeV, out.data());
    return out;
}

std::vector<double> fwdChannelInterleaver(const std::vector<double>& input, CodeRate codeRate, int bits) {
    if (codeRate == CodeRate::One) return input;
    if (codeRate != CodeRate::Third && codeRate != CodeRate::Fifth)
        throw Error("Channel interleaver: code rate " + numberText(codeRateValue(codeRate)) +
                    " is not supported (1, 1/3 or 1/5).");
    const std::size_t streams = static_cast<std::size_t>(symbolsPerBit(codeRate));

    int k = 0, m = 0;
    switch (bits) {
        case 1024: k = 2; m = 512; break;
        case 2048: k = 2; m = 1024; break;
        case 3072: k = 3; m = 1024; break;
        case 4096: k = 4; m = 1024; break;
        default:
            throw Error("Channel interleaver: packet size bits = " + numberText(bits) +
                        " is not supported (1024, 2048, 3072 or 4096).");
    }
    const std::size_t packet = static_cast<std::size_t>(bits);
    if (input.size() != streams * packet)
        throw Error("Channel interleaver: " + numberText(static_cast<double>(input.size())) + " symbols given, " +
                    numberText(static_cast<double>(streams * packet)) + " expected for " + numberText(bits) +
                    " bits at code rate " + numberText(codeRateValue(codeRate)) + ".");

    // The groups are read straight from the multiplexed input: sub-sequence
    // s of the code symbols is input[streams * i + s]. A V group is its first
    // sub-sequence followed by the whole of its second.
    const std::size_t rows = static_cast<std::size_t>(k), cols = static_cast<std::size_t>(m);
    std::vector<double> output(input.size());
    const auto group = [&](std::size_t first, std::size_t second) {
        return [&input, packet, streams, first, second](std::size_t p) {
            return p < packet ? input[streams * p + first] : input[streams * (p - packet) + second];
        };
    };
    permuteInto([&](std::size_t p) { return input[streams * p]; }, rows, cols, false, output.data());
    if (streams == 3) {
        permuteInto(group(1, 2), rows, 2 * cols, true, output.data() + packet);
    } else {
        permuteInto(group(1, 3), rows, 2 * cols, true, output.data() + packet);
        permuteInto(group(2, 4), rows, 2 * cols, true, output.data() + 3 * packet);
    }
    return output;
}

}  // namespace tolvane
