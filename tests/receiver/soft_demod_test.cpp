#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "onex/modulator.hpp"
#include "onex/walsh.hpp"
#include "receiver/soft_demod.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

// The ratios worked out the long way from the transmitter's own mapping
// (iqMap): the log of the summed likelihoods of every bit pattern with the
// bit 0 over those with the bit 1.
std::vector<double> bruteForceLlrs(cplx r, double v, Modulation m) {
    const int b = bitsPerSymbol(m);
    std::vector<double> zero(static_cast<std::size_t>(b)), one(static_cast<std::size_t>(b));
    for (int pattern = 0; pattern < (1 << b); ++pattern) {
        double bits[4] = {};
        for (int k = 0; k < b; ++k) bits[k] = (pattern >> (b - 1 - k)) & 1;
        cplx x = iqMap(bits, static_cast<std::size_t>(b), m);
        if (m == Modulation::Qpsk) x /= std::sqrt(2.0);  // unit symbol energy
        const double like = std::exp(-std::norm(r - x) / v);
        for (int k = 0; k < b; ++k) (bits[k] != 0 ? one : zero)[static_cast<std::size_t>(k)] += like;
    }
    std::vector<double> llr(static_cast<std::size_t>(b));
    for (std::size_t k = 0; k < llr.size(); ++k) llr[k] = std::log(zero[k] / one[k]);
    return llr;
}

TEST(SoftDemod, SymbolRatiosMatchTheTransmitMapping) {
    std::mt19937_64 gen(2);
    std::uniform_real_distribution<double> u(-1.4, 1.4);
    for (Modulation m : {Modulation::Qpsk, Modulation::Psk8, Modulation::Qam16})
        for (double v : {0.05, 0.3, 2.0})
            for (int trial = 0; trial < 50; ++trial) {
                const cplx r(u(gen), u(gen));
                const std::vector<double> want = bruteForceLlrs(r, v, m);
                double got[4] = {};
                symbolLlrs(r, v, m, got);
                for (std::size_t k = 0; k < want.size(); ++k)
                    EXPECT_NEAR(got[k], want[k], 1e-9 * (1 + std::abs(want[k])))
                        << "modulation " << static_cast<int>(m) << " v " << v << " bit " << k << " r " << r;
            }
}

// Every point of every constellation gives ratios whose signs are its bits
// (far from the noise, where a wrong table could not hide).
TEST(SoftDemod, CleanPointsGiveTheirBits) {
    for (Modulation m : {Modulation::Qpsk, Modulation::Psk8, Modulation::Qam16}) {
        const int b = bitsPerSymbol(m);
        for (int pattern = 0; pattern < (1 << b); ++pattern) {
            double bits[4] = {};
            for (int k = 0; k < b; ++k) bits[k] = (pattern >> (b - 1 - k)) & 1;
            cplx x = iqMap(bits, static_cast<std::size_t>(b), m);
            if (m == Modulation::Qpsk) x /= std::sqrt(2.0);
            double llr[4] = {};
            symbolLlrs(x, 0.01, m, llr);
            for (int k = 0; k < b; ++k) EXPECT_EQ(llr[k] < 0, bits[k] != 0) << "pattern " << pattern << " bit " << k;
        }
    }
}

// The de-cover undoes the transmitter's cover and sum, and leaves chip noise
// of variance v as symbol noise of variance v; a short last group is left out.
TEST(SoftDemod, WalshDecoverInvertsTheCover) {
    std::mt19937_64 gen(4);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<cplx> symbols(64);
    for (auto& s : symbols) s = cplx(normal(gen), normal(gen));
    const std::vector<cplx> chips = fwdTrfCoverAndSum(symbols);
    const std::vector<cplx> back = walshDecover(chips.data(), chips.size());
    ASSERT_EQ(back.size(), symbols.size());
    for (std::size_t i = 0; i < symbols.size(); ++i) EXPECT_LT(std::abs(back[i] - symbols[i]), 1e-12) << i;
    EXPECT_EQ(walshDecover(chips.data(), 47).size(), 32u);

    const double v = 0.5;
    std::vector<cplx> noise(16 * 4000);
    for (auto& z : noise) z = cplx(normal(gen), normal(gen)) * std::sqrt(v / 2);
    const std::vector<cplx> out = walshDecover(noise.data(), noise.size());
    double power = 0;
    for (const cplx& z : out) power += std::norm(z);
    EXPECT_NEAR(power / static_cast<double>(out.size()), v, 0.02);
}

// Copies add: a bit sent c times gets c times one copy's ratio; bits whose
// symbol never arrived get 0, and the padding of the last symbol is dropped.
TEST(SoftDemod, RepeatedSymbolsAddAndMissingOnesAreErased) {
    const std::vector<double> bits = {0, 1, 1, 0, 1};  // QPSK: 3 symbols, the last padded
    const std::vector<cplx> sent = fwdTrfModulator(bits, Modulation::Qpsk);
    std::vector<cplx> unit;
    for (const cplx& s : sent) unit.push_back(s / std::sqrt(2.0));
    const double v = 0.5;
    double single[2] = {};
    symbolLlrs(unit[0], v, Modulation::Qpsk, single);

    // Eight received symbols: the three repeated back to back (3, 3, 2 copies).
    const std::vector<cplx> received = fwdTrfRepSeq(unit, 8);
    const std::vector<double> llr = combinedLlrs(received, bits.size(), v, Modulation::Qpsk);
    ASSERT_EQ(llr.size(), bits.size());
    EXPECT_NEAR(llr[0], 3 * single[0], 1e-12);
    EXPECT_NEAR(llr[4], 2 * single[0] * (bits[4] ? -1 : 1), 1e-12);
    for (std::size_t k = 0; k < bits.size(); ++k) EXPECT_EQ(llr[k] < 0, bits[k] != 0) << k;

    // Only the first symbol arrived.
    const std::vector<double> partial = combinedLlrs({unit[0]}, bits.size(), v, Modulation::Qpsk);
    EXPECT_NEAR(partial[1], single[1], 1e-12);
    for (std::size_t k = 2; k < bits.size(); ++k) EXPECT_EQ(partial[k], 0.0) << k;
}

}  // namespace
}  // namespace tolvane
