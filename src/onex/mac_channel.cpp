// MAC channel of one slot: the RA channel and 59 RPC channels, each a +-1
// symbol times its gain spread by a 64-chip Walsh code, even MAC indexes on
// the I branch and odd ones on Q, summed into one burst sent four times.
#include "onex/mac_channel.hpp"

#include <array>
#include <string>

#include "numerics/diagnostics.hpp"
#include "onex/walsh.hpp"

namespace tolvane {

namespace {

constexpr int kRpc = 59;
constexpr std::size_t kBurst = 64;

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
    if (rpcBits.size() < kRpc)
        throw Error("RPCbits has " + std::to_string(rpcBits.size()) + " elements; the MAC slot needs 59.");
    if (rpcGains.size() != 1 && rpcGains.size() < kRpc)
        throw Error("RPCgains has " + std::to_string(rpcGains.size()) +
                    " elements; the MAC slot needs 59 (or one gain for all).");

    // Rows are summed in MAC index order 4, 5, ..., 63. The I branch only
    // receives the even indexes and the Q branch the odd ones (the other
    // rows add zero there), so each branch is the in-order sum of its rows.
    std::array<double, kBurst> i{}, q{};
    accumulate(i, (1.0 - 2.0 * raBit) * raGain, walshIndexOf(4));
    for (int k = 0; k < kRpc; ++k) {
        const int macIndex = k + 5;
        const double gain = rpcGains.size() == 1 ? rpcGains[0] : rpcGains[static_cast<std::size_t>(k)];
        const double symbol = (1.0 - 2.0 * rpcBits[static_cast<std::size_t>(k)]) * gain;
        accumulate(macIndex % 2 ? q : i, symbol, walshIndexOf(macIndex));
    }

    std::vector<std::complex<double>> out(4 * kBurst);
    for (std::size_t b = 0; b < 4; ++b)
        for (std::size_t t = 0; t < kBurst; ++t) out[b * kBurst + t] = {i[t], q[t]};
    return out;
}

}  // namespace tolvane
