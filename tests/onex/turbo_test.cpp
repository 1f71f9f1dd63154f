#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/turbo.hpp"
#include "runtime/library.hpp"
#include "../support/signal_checks.hpp"

namespace tolvane {
namespace {

using testing_support::randomBits;

// 0, 1, 2, ... so that an output value names the input position it came from.
std::vector<double> positions(std::size_t n) {
    std::vector<double> v(n);
    std::iota(v.begin(), v.end(), 0.0);
    return v;
}

// First `count` coefficients of the power series num(D) / den(D) over GF(2);
// polynomials are coefficient lists, lowest power first, den[0] = 1.
std::vector<int> seriesGF2(const std::vector<int>& num, const std::vector<int>& den, std::size_t count) {
    std::vector<int> rem(count, 0);
    for (std::size_t i = 0; i < num.size() && i < count; ++i) rem[i] = num[i];
    std::vector<int> q(count, 0);
    for (std::size_t i = 0; i < count; ++i) {
        q[i] = rem[i];
        if (q[i])
            for (std::size_t j = 0; j < den.size() && i + j < count; ++j) rem[i + j] ^= den[j];
    }
    return q;
}

TEST(ReverseBits, StatedValuesAndRange) {
    struct Case {
        long long n;
        int len;
        long long expected;
    } cases[] = {{1, 5, 16}, {3, 5, 24}, {16, 5, 1}, {0, 5, 0}, {31, 5, 31}, {6, 3, 3}, {1, 10, 512}, {0, 0, 0}};
    for (const auto& c : cases) EXPECT_EQ(reverseBits(c.n, c.len), c.expected) << c.n << " in " << c.len;

    EXPECT_THROW(reverseBits(32, 5), Error);
    EXPECT_THROW(reverseBits(-1, 5), Error);
    EXPECT_EQ(callByName("reverseBits", 1, {Value::scalar(3), Value::scalar(5)})[0], Value::scalar(24));
    for (double n : {32.0, 1.5, -1.0, 1e300})
        EXPECT_THROW(callByName("reverseBits", 1, {Value::scalar(n), Value::scalar(5)}), Error) << n;
}

TEST(TurboInterleaver, FirstAddressesFollowTheCounterRecipe) {
    // Worked by hand: counter 0..3 with the table's first four rows.
    struct Case {
        std::size_t n;
        std::vector<double> firstPositions;  // 0-based input positions
    } cases[] = {{1018, {27, 515, 257, 783}}, {4090, {15, 2175, 1113, 3073}}};
    for (const auto& c : cases) {
        const auto out = turboInterleaver(positions(c.n));
        ASSERT_EQ(out.size(), c.n);
        EXPECT_EQ(std::vector<double>(out.begin(), out.begin() + 4), c.firstPositions) << "N = " << c.n;
    }
}

TEST(TurboInterleaver, IsAPermutationForEverySupportedLength) {
    for (std::size_t n : {129u, 1018u, 1024u, 2042u, 3066u, 4090u, 4096u}) {
        auto out = turboInterleaver(positions(n));
        ASSERT_EQ(out.size(), n);
        std::sort(out.begin(), out.end());
        EXPECT_EQ(out, positions(n)) << "N = " << n;
    }
}

TEST(TurboInterleaver, UnsupportedLengthIsAnErrorNamingN) {
    for (std::size_t n : {0u, 1u, 128u, 4097u, 10000u}) {
        try {
            turboInterleaver(std::vector<double>(n, 0.0));
            ADD_FAILURE() << "no error for N = " << n;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("N = " + std::to_string(n)), std::string::npos) << e.what();
        }
    }
}

TEST(ConstituentEncoder, ParityIsTheInputThroughTheTransferFunctions) {
    const std::vector<int> d{1, 0, 1, 1}, n0{1, 1, 0, 1}, n1{1, 1, 1, 1};
    const std::size_t len = 64;
    const auto h0 = seriesGF2(n0, d, len);
    const auto h1 = seriesGF2(n1, d, len);

    // A single 1: the outputs are the impulse responses themselves.
    std::vector<double> impulse(len, 0.0);
    impulse[0] = 1;
    const auto imp = constituentEncoder(impulse);
    for (std::size_t i = 0; i < len; ++i) {
        EXPECT_EQ(imp.y0[i], h0[i]) << i;
        EXPECT_EQ(imp.y1[i], h1[i]) << i;
    }

    // Any input: the parity is the GF(2) convolution with those responses.
    const auto u = randomBits(len, 7);
    const auto enc = constituentEncoder(u);
    for (std::size_t i = 0; i < len; ++i) {
        int p0 = 0, p1 = 0;
        for (std::size_t j = 0; j <= i; ++j) {
            p0 ^= static_cast<int>(u[j]) & h0[i - j];
            p1 ^= static_cast<int>(u[j]) & h1[i - j];
        }
        EXPECT_EQ(enc.x[i], u[i]);
        EXPECT_EQ(enc.y0[i], p0) << i;
        EXPECT_EQ(enc.y1[i], p1) << i;
    }

    const auto zero = constituentEncoder(std::vector<double>(20, 0.0));
    for (const auto* s : {&zero.x, &zero.y0, &zero.y1}) {
        ASSERT_EQ(s->size(), 23u);
        EXPECT_TRUE(std::all_of(s->begin(), s->end(), [](double b) { return b == 0; }));
    }
}

TEST(ConstituentEncoder, TailDrivesTheStateToZero) {
    const auto u = randomBits(300, 11);
    const auto enc = constituentEncoder(u);
    ASSERT_EQ(enc.x.size(), 303u);

    // Feeding the tail's systematic bits as ordinary input reproduces the tail
    // parity, and afterwards a zero input gives zero parity: the state is zero.
    std::vector<double> extended = u;
    extended.insert(extended.end(), enc.x.end() - 3, enc.x.end());
    extended.insert(extended.end(), 12, 0.0);
    const auto again = constituentEncoder(extended);
    for (std::size_t i = 300; i < 303; ++i) {
        EXPECT_EQ(again.y0[i], enc.y0[i]);
        EXPECT_EQ(again.y1[i], enc.y1[i]);
    }
    for (std::size_t i = 303; i < again.y0.size(); ++i) {
        EXPECT_EQ(again.y0[i], 0) << i;
        EXPECT_EQ(again.y1[i], 0) << i;
    }
}

// Six streams of N + 3 symbols whose values name the stream and period
// ("x3" = x of 1-based period 3), for reading off where each symbol landed.
struct MarkedStreams {
    ConstituentOutput first, second;
    std::map<double, std::string> names;
    explicit MarkedStreams(std::size_t n) {
        const std::pair<std::vector<double>*, std::string> streams[] = {
            {&first.x, "x"}, {&first.y0, "y0"}, {&first.y1, "y1"},
            {&second.x, "xp"}, {&second.y0, "y0p"}, {&second.y1, "y1p"}};
        double marker = 1;
        for (const auto& [s, name] : streams)
            for (std::size_t i = 1; i <= n + 3; ++i) {
                s->push_back(marker);
                names[marker++] = name + std::to_string(i);
            }
    }
    std::vector<std::string> read(const std::vector<double>& out) const {
        std::vector<std::string> r;
        for (double v : out) r.push_back(v == 0 ? "unwritten" : names.at(v));
        return r;
    }
};

TEST(TurboPuncturing, KeepsTheRightSymbolsOfEachPeriod) {
    struct Case {
        CodeRate rate;
        std::vector<std::string> odd, even, tail, tailP;
    } cases[] = {
        {CodeRate::Half, {"x", "y0"}, {"x", "y0p"}, {"x", "y0"}, {"xp", "y0p"}},
        {CodeRate::Quarter, {"x", "y0", "y1", "y1p"}, {"x", "y0", "y0p", "y1p"}, {"x", "x", "y0", "y1"},
         {"xp", "xp", "y0p", "y1p"}},
        {CodeRate::Third, {"x", "y0", "y0p"}, {"x", "y0", "y0p"}, {"x", "x", "y0"}, {"xp", "xp", "y0p"}},
        {CodeRate::Fifth, {"x", "y0", "y1", "y0p", "y1p"}, {"x", "y0", "y1", "y0p", "y1p"}, {"x", "x", "x", "y0", "y1"},
         {"xp", "xp", "xp", "y0p", "y1p"}},
    };
    const std::size_t n = 6;
    const MarkedStreams m(n);
    for (const auto& c : cases) {
        std::vector<std::string> expected;
        for (std::size_t i = 1; i <= n; ++i)
            for (const auto& s : (i % 2 ? c.odd : c.even)) expected.push_back(s + std::to_string(i));
        for (const auto* pattern : {&c.tail, &c.tailP})
            for (std::size_t t = n + 1; t <= n + 3; ++t)
                for (const auto& s : *pattern) expected.push_back(s + std::to_string(t));
        EXPECT_EQ(m.read(turboPuncturing(m.first, m.second, c.rate)), expected) << "rate " << codeRateValue(c.rate);
    }
}

// Rate 1 has nothing to puncture; by name, so has any number that is not
// one of the five rates.
TEST(TurboPuncturing, UnknownRateIsEmptyAndRaggedStreamsAreRejected) {
    const MarkedStreams m(6);
    EXPECT_TRUE(turboPuncturing(m.first, m.second, CodeRate::One).empty());
    for (double rate : {0.3, 1.0, 0.0, 0.33333}) {
        const auto out = callByName("OneX_TurboPuncturing", 1,
                                    {Value::row(m.first.x), Value::row(m.first.y0), Value::row(m.first.y1),
                                     Value::row(m.second.x), Value::row(m.second.y0), Value::row(m.second.y1),
                                     Value::scalar(rate)});
        EXPECT_TRUE(out[0].isEmpty()) << rate;
    }

    ConstituentOutput shortP = m.second;
    shortP.y1.pop_back();
    EXPECT_THROW(turboPuncturing(m.first, shortP, CodeRate::Fifth), Error);
    const ConstituentOutput tiny{{1, 0}, {1, 0}, {1, 0}};
    EXPECT_THROW(turboPuncturing(tiny, tiny, CodeRate::Half), Error);
}

TEST(TurboCoder, OutputLengthsAndSystematicPart) {
    struct Case {
        std::size_t n;
        CodeRate rate;
        std::size_t length;
    } cases[] = {{1018, CodeRate::Fifth, 5120}, {1018, CodeRate::Half, 2048},  {1018, CodeRate::Quarter, 4096},
                 {1018, CodeRate::Third, 3072}, {2042, CodeRate::Third, 6144}, {3066, CodeRate::Third, 9216},
                 {4090, CodeRate::Third, 12288}};
    for (const auto& c : cases) {
        const auto in = randomBits(c.n, static_cast<unsigned>(c.n));
        const auto out = turboCoder(in, c.rate);
        ASSERT_EQ(out.size(), c.length) << c.n << " at " << codeRateValue(c.rate);
        const std::size_t k = c.length / (c.n + 6);
        for (std::size_t i = 0; i < c.n; ++i) ASSERT_EQ(out[k * i], in[i]) << "systematic bit " << i;
    }

    // Rate 1/5: the last 30 symbols are the tails, the interleaved encoder's last.
    const auto in = randomBits(1018, 3);
    const auto out = turboCoder(in, CodeRate::Fifth);
    const auto first = constituentEncoder(in);
    const auto second = constituentEncoder(turboInterleaver(in));
    for (std::size_t t = 0; t < 3; ++t) {
        const double* a = &out[5090 + 5 * t];
        const double* b = &out[5105 + 5 * t];
        EXPECT_EQ((std::vector<double>{a[0], a[1], a[2], a[3], a[4]}),
                  (std::vector<double>{first.x[1018 + t], first.x[1018 + t], first.x[1018 + t], first.y0[1018 + t],
                                       first.y1[1018 + t]}));
        EXPECT_EQ((std::vector<double>{b[0], b[3], b[4]}),
                  (std::vector<double>{second.x[1018 + t], second.y0[1018 + t], second.y1[1018 + t]}));
    }
}

// By name a rate that is none of the five codes nothing, after the length
// check every coding rate makes.
TEST(TurboCoder, RateOneIsIdentityAndUnknownRateIsEmpty) {
    const auto in = randomBits(50, 5);  // too short for the interleaver, unused at rate 1
    EXPECT_EQ(turboCoder(in, CodeRate::One), in);
    EXPECT_TRUE(callByName("OneX_TurboCoder", 1, {Value::row(randomBits(1018, 5)), Value::scalar(0.3)})[0].isEmpty());
    EXPECT_THROW(callByName("OneX_TurboCoder", 1, {Value::row(in), Value::scalar(0.3)}), Error);

    const Value column = Value::column(in);
    EXPECT_EQ(callByName("OneX_TurboCoder", 1, {column, Value::scalar(1)})[0], column);
    const auto coded = callByName("OneX_TurboCoder", 1, {Value::row(randomBits(1018, 5)), Value::scalar(0.2)})[0];
    EXPECT_EQ(coded.rows(), 1u);
    EXPECT_EQ(coded.cols(), 5120u);
}

TEST(TurboBindings, ConstituentEncoderGivesThreeRowsAndInterleaverErrorsNameN) {
    const auto out = callByName("OneX_ConstituentEncoder", 3, {Value::column({1, 0, 0, 0})});
    ASSERT_EQ(out.size(), 3u);
    for (const auto& v : out) {
        EXPECT_EQ(v.rows(), 1u);
        EXPECT_EQ(v.cols(), 7u);
    }
    EXPECT_EQ(out[1], Value::row(constituentEncoder({1, 0, 0, 0}).y0));

    try {
        callByName("OneX_TurboInterleaver", 1, {Value::row(std::vector<double>(100, 0.0))});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("\"input\" holds 100 bits"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace tolvane
