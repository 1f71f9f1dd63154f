// MAC channel of one slot: the RA channel and 59 RPC channels, each a +-1
// symbol times its gain spread by a 64-chip Walsh code, even MAC indexes on
// the I branch and odd ones on Q, summed into one burst sent four times.
#include "onex/mac_channel.hpp"

#include <array>

#include "base/diagnostics.hpp"
#include "onex/constants.hpp"
#include "onex/walsh.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kBurst = kMacBurstChips;
constexpr std::size_t kBursts = kMacChipsPerSlot / kMacBurstChips;

const RowMatrix<double>& walsh64() {
    static const RowMatrix<double> table = walshMatrix(64);
    return table;
}

// Walsh code index of a MAC index: codes 0..31 for even, 32..63 for odd.
std::size_t walshIndexOf(int macIndex) { return static_cast<std::size_t>(macIndex / 2 + 32 * (macIndex % 2)); }

// Adds symbol * W_index chip by chip to the burst branch.
void accumulate(std::array<double, kBurst>& branch, double symbol, std::size_t index) {
    const double* code = walsh64().data.data() + index * kBurst;
    for (std::size_t t = 0; t < kBurst; ++t) branch[t] += symbol * code[t];
}

}  // namespace

std::vector<std::complex<double>> fwdMacSlot(const std::vector<double>& rpcBits,
                                             const std::vector<double>& rpcGains, double raBit, double raGain) {
    constexpr std::size_t channels = kRpcChannels;
    if (rpcBits.size() < channels)
        throw Error("RPCbits has " + numberText(static_cast<double>(rpcBits.size())) +
                    " elements; the MAC slot needs " + numberText(kRpcChannels) + ".");
    if (rpcGains.size() != 1 && rpcGains.size() < channels)
        throw Error("RPCgains has " + numberText(static_cast<double>(rpcGains.size())) +
                    " elements; the MAC slot needs " + numberText(kRpcChannels) + " (or one gain for all).");

    // Rows are summed in MAC index order 4, 5, ..., 63. The I branch only
    // receives the even indexes and the Q branch the odd ones (the other
    // rows add zero there), so each branch is the in-order sum of its rows.
    std::array<double, kBurst> i{}, q{};
    accumulate(i, (1.0 - 2.0 * raBit) * raGain, walshIndexOf(kRaMacIndex));
    for (int k = 0; k < kRpcChannels; ++k) {
        const int macIndex = k + kRaMacIndex + 1;
        const double gain = rpcGains.size() == 1 ? rpcGains[0] : rpcGains[static_cast<std::size_t>(k)];
        const double symbol = (1.0 - 2.0 * rpcBits[static_cast<std::size_t>(k)]) * gain;
        accumulate(macIndex % 2 ? q : i, symbol, walshIndexOf(macIndex));
    }

    std::vector<std::complex<double>> out(kBursts * kBurst);
    for (std::size_t b = 0; b < kBursts; ++b)
        for (std::size_t t = 0; t < kBurst; ++t) out[b * kBurst + t] = {i[t], q[t]};
    return out;
}

}  // namespace tolvane
