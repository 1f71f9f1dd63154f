#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/turbo.hpp"
#include "receiver/turbo_decoder.hpp"

namespace tolvane {
namespace {

std::vector<double> randomBits(std::size_t n, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::vector<double> bits(n);
    for (auto& b : bits) b = static_cast<double>(gen() & 1U);
    return bits;
}

// BPSK (0 -> +1) over real Gaussian noise of variance sigma2, as LLRs; a
// zero variance gives clean LLRs of +-4.
std::vector<float> channelLlrs(const std::vector<double>& coded, double sigma2, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<float> llr(coded.size());
    for (std::size_t i = 0; i < coded.size(); ++i) {
        const double x = 1.0 - 2.0 * coded[i];
        llr[i] = sigma2 > 0 ? static_cast<float>(2.0 * (x + std::sqrt(sigma2) * normal(gen)) / sigma2)
                            : static_cast<float>(4.0 * x);
    }
    return llr;
}

std::size_t bitErrors(const std::vector<double>& sent, const std::vector<std::uint8_t>& got) {
    std::size_t errors = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) errors += (sent[i] != 0.0) != (got[i] != 0);
    return errors;
}

// Every puncturing the encoder offers, at the shortest, an odd and the
// longest block, with both algorithms: clean blocks decode in one iteration.
TEST(TurboDecoder, CleanBlocksOfEveryRateAndLength) {
    for (CodeRate rate : {CodeRate::Half, CodeRate::Third, CodeRate::Quarter, CodeRate::Fifth})
        for (std::size_t n : {std::size_t{129}, std::size_t{1018}, std::size_t{4096}})
            for (bool logMap : {false, true}) {
                SCOPED_TRACE("rate 1/" + std::to_string(symbolsPerBit(rate)) + ", N " + std::to_string(n) +
                             (logMap ? ", log-MAP" : ", max-log-MAP"));
                const std::vector<double> data = randomBits(n, n + static_cast<std::size_t>(rate));
                const std::vector<double> coded = turboCoder(data, rate);
                TurboDecoder decoder(n, rate);
                ASSERT_EQ(decoder.codedSymbols(), coded.size());
                std::vector<std::uint8_t> got;
                int calls = 0;
                TurboDecodeOptions options;
                options.logMap = logMap;
                const TurboDecodeResult r = decoder.decode(channelLlrs(coded, 0, 1), got, options,
                                                           [&](std::span<const std::uint8_t> bits) {
                                                               ++calls;
                                                               EXPECT_EQ(bits.size(), n);
                                                               return true;
                                                           });
                EXPECT_EQ(r.iterations, 1);
                EXPECT_TRUE(r.stopped);
                EXPECT_EQ(calls, 1);
                EXPECT_EQ(bitErrors(data, got), 0u);
            }
}

// The code's strength comes from both constituent codes, the interleaver
// and the iterations: a noisy block that one iteration leaves with errors
// decodes after eight, at every puncturing (a wrongly placed parity stream
// would not). N = 1018 at Eb/N0 1.5 dB (rate 1/2: 2.5 dB), well inside
// the waterfall: the binary-input capacity limits are 0.19 dB at rate 1/2,
// -0.50 dB at 1/3 and below that at 1/4 and 1/5.
TEST(TurboDecoder, IterationsCorrectNoisyBlocks) {
    const std::size_t n = 1018;
    for (CodeRate rate : {CodeRate::Half, CodeRate::Third, CodeRate::Quarter, CodeRate::Fifth})
        for (bool logMap : {false, true}) {
            SCOPED_TRACE("rate 1/" + std::to_string(symbolsPerBit(rate)) + (logMap ? ", log-MAP" : ", max-log-MAP"));
            const std::vector<double> data = randomBits(n, 7);
            const std::vector<double> coded = turboCoder(data, rate);
            const double ebn0 = std::pow(10.0, rate == CodeRate::Half ? 0.25 : 0.15);
            const double sigma2 = static_cast<double>(coded.size()) / (2.0 * ebn0 * static_cast<double>(n));
            const std::vector<float> llr = channelLlrs(coded, sigma2, 11);
            TurboDecoder decoder(n, rate);
            std::vector<std::uint8_t> got;
            TurboDecodeOptions one;
            one.maxIterations = 1;
            one.logMap = logMap;
            decoder.decode(llr, got, one);
            const std::size_t afterOne = bitErrors(data, got);
            TurboDecodeOptions eight;
            eight.logMap = logMap;
            const TurboDecodeResult r = decoder.decode(llr, got, eight);
            EXPECT_EQ(r.iterations, 8);
            EXPECT_FALSE(r.stopped);
            EXPECT_GT(afterOne, 0u);
            EXPECT_EQ(bitErrors(data, got), 0u);
        }
}

// Erased symbols (0) and non-finite values carry nothing; a block with all
// its systematic symbols erased still decodes from the parity alone at rate
// 1/5 when clean.
TEST(TurboDecoder, ErasedSymbolsCarryNothing) {
    const std::size_t n = 300;
    const std::vector<double> data = randomBits(n, 3);
    const std::vector<double> coded = turboCoder(data, CodeRate::Fifth);
    std::vector<float> llr = channelLlrs(coded, 0, 1);
    for (std::size_t i = 0; i < n; ++i) llr[5 * i] = (i % 2) ? 0.0f : std::nanf("");
    TurboDecoder decoder(n, CodeRate::Fifth);
    std::vector<std::uint8_t> got;
    decoder.decode(llr, got);
    EXPECT_EQ(bitErrors(data, got), 0u);

    // Nothing received at all: the decisions carry no information, and the
    // stop check is asked after every iteration.
    std::fill(llr.begin(), llr.end(), 0.0f);
    int calls = 0;
    TurboDecodeOptions three;
    three.maxIterations = 3;
    const TurboDecodeResult r = decoder.decode(llr, got, three, [&](std::span<const std::uint8_t>) {
        ++calls;
        return false;
    });
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(r.iterations, 3);
    EXPECT_FALSE(r.stopped);
}

TEST(TurboDecoder, Refusals) {
    EXPECT_THROW(TurboDecoder(128, CodeRate::Third), Error);
    EXPECT_THROW(TurboDecoder(4097, CodeRate::Third), Error);
    EXPECT_THROW(TurboDecoder(1018, CodeRate::One), Error);
    TurboDecoder decoder(1018, CodeRate::Third);
    std::vector<std::uint8_t> got;
    std::vector<float> llr(decoder.codedSymbols());
    try {
        decoder.decode(std::span<const float>(llr.data(), llr.size() - 1), got);
        ADD_FAILURE() << "a short row was taken";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("3071 code symbols given, 3072 expected"), std::string::npos) << e.what();
    }
    TurboDecodeOptions zero;
    zero.maxIterations = 0;
    EXPECT_THROW(decoder.decode(llr, got, zero), Error);
    TurboDecodeOptions badScale;
    badScale.maxLogScale = 0.0f;
    EXPECT_THROW(decoder.decode(llr, got, badScale), Error);
}

}  // namespace
}  // namespace tolvane
