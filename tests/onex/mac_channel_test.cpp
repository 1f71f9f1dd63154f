#include <gtest/gtest.h>

#include <complex>
#include <random>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/mac_channel.hpp"
#include "onex/walsh.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

std::vector<double> code64(std::size_t index) {
    const RowMatrix<double> w = walshMatrix(64);
    return std::vector<double>(w.data.begin() + index * 64, w.data.begin() + index * 64 + 64);
}

// Four copies of one 64-chip burst `scale * code`.
std::vector<cplx> bursts(const std::vector<double>& code, cplx scale) {
    std::vector<cplx> out;
    for (int b = 0; b < 4; ++b)
        for (double c : code) out.push_back(scale * c);
    return out;
}

TEST(MacSlot, SingleChannelBursts) {
    const std::vector<double> zeros(59, 0.0);
    struct Case {
        std::string what;
        std::vector<double> bits, gains;
        double raBit, raGain;
        std::size_t walsh;
        cplx scale;
    } cases[] = {
        {"RA only", zeros, zeros, 0, 1, 2, {1, 0}},
        {"RA bit 1", zeros, zeros, 1, 0.25, 2, {-0.25, 0}},
        {"RPC 1 bit 1", [] { std::vector<double> b(59, 0.0); b[0] = 1; return b; }(),
         [] { std::vector<double> g(59, 0.0); g[0] = 1; return g; }(), 0, 0, 34, {0, -1}},
        {"RPC 2 gain 0.5", zeros, [] { std::vector<double> g(59, 0.0); g[1] = 0.5; return g; }(), 1, 0, 3, {0.5, 0}},
        {"RPC 58", zeros, [] { std::vector<double> g(59, 0.0); g[57] = 2; return g; }(), 0, 0, 31, {2, 0}},
        {"RPC 59", zeros, [] { std::vector<double> g(59, 0.0); g[58] = 1; return g; }(), 0, 0, 63, {0, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fwdMacSlot(c.bits, c.gains, c.raBit, c.raGain), bursts(code64(c.walsh), c.scale)) << c.what;
    // Walsh code 2 of length 64: +1 +1 -1 -1 repeated.
    const std::vector<double> walsh2 = code64(2);
    for (std::size_t t = 0; t < 64; ++t) EXPECT_EQ(walsh2[t], (t % 4) < 2 ? 1.0 : -1.0);
    EXPECT_EQ(fwdMacSlot(zeros, zeros, 1, 0), std::vector<cplx>(256));
}

// Every channel at once equals the rows built and summed one by one in MAC
// index order, odd indexes multiplied by j.
TEST(MacSlot, AllChannelsMatchTheRowByRowSum) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> gain(0.0, 2.0);
    std::vector<double> bits(61), gains(61);  // entries past the 59th are ignored
    for (std::size_t i = 0; i < 61; ++i) {
        bits[i] = double(rng() % 2);
        gains[i] = gain(rng);
    }
    const RowMatrix<double> w = walshMatrix(64);
    std::vector<cplx> burst(64);
    for (int mac = 4; mac <= 63; ++mac) {
        const double symbol = mac == 4 ? (1 - 2 * 1.0) * 0.8 : (1 - 2 * bits[mac - 5]) * gains[mac - 5];
        const std::size_t index = mac / 2 + 32 * (mac % 2);
        for (std::size_t t = 0; t < 64; ++t) {
            cplx chip = symbol * w.at(index, t);
            if (mac % 2) chip *= cplx(0, 1);
            burst[t] += chip;
        }
    }
    const std::vector<cplx> out = fwdMacSlot(bits, gains, 1, 0.8);
    ASSERT_EQ(out.size(), 256u);
    for (std::size_t t = 0; t < 256; ++t) ASSERT_EQ(out[t], burst[t % 64]) << t;

    // One gain applies to every RPC channel.
    std::vector<double> same(59, 0.3);
    EXPECT_EQ(fwdMacSlot(std::vector<double>(59, 1), {0.3}, 0, 0), fwdMacSlot(std::vector<double>(59, 1), same, 0, 0));
}

TEST(MacSlot, ShortInputsAreErrors) {
    EXPECT_THROW(fwdMacSlot(std::vector<double>(58), std::vector<double>(59), 0, 1), Error);
    EXPECT_THROW(fwdMacSlot(std::vector<double>(59), std::vector<double>(2), 0, 1), Error);
    EXPECT_THROW(fwdMacSlot({}, {1}, 0, 1), Error);

    const Value bits = Value::row(std::vector<double>(59, 0.0));
    const Value gains = Value::row(std::vector<double>(59, 0.0));
    const Value out = callByName("OneX_FwdMACslot", 1, {bits, gains, Value::scalar(0), Value::scalar(1)}).at(0);
    ASSERT_TRUE(out.isReal());  // RA only: I branch only
    EXPECT_EQ(out.numel(), 256u);
    EXPECT_THROW(callByName("OneX_FwdMACslot", 1, {bits, gains, Value::row({0, 1}), Value::scalar(1)}), Error);
    EXPECT_THROW(callByName("OneX_FwdMACslot", 1, {Value::row({0, 1}), gains, Value::scalar(0), Value::scalar(1)}),
                 Error);
}

}  // namespace
}  // namespace tolvane
