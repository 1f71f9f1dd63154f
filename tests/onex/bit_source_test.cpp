#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/bit_source.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

Bits bitsOf(const std::string& s) {
    Bits out;
    for (char ch : s) out.push_back(ch == '1' ? 1.0 : 0.0);
    return out;
}

double ones(const Bits& b) { return std::accumulate(b.begin(), b.end(), 0.0); }

TEST(GenerateBitStream, FixedPatternsAndUserPattern) {
    const Bits pattern = bitsOf("101");
    struct Case {
        int type;
        long long length;
        std::string expected;
    } cases[] = {
        {1, 4, "0000"},       {2, 3, "111"},     {3, 5, "01010"}, {4, 5, "10101"}, {3, 0, ""},
        {7, 7, "1011011"},    {8, 2, "10"},      {7, 3, "101"},   {1, -2, ""},     {8, 0, ""},
    };
    for (const Case& c : cases) {
        auto bits = generateBitStream(c.type, c.length, pattern);
        ASSERT_TRUE(bits.has_value()) << c.type;
        EXPECT_EQ(*bits, bitsOf(c.expected)) << "type " << c.type << " length " << c.length;
    }
    EXPECT_FALSE(generateBitStream(0, 5, pattern).has_value());
    EXPECT_FALSE(generateBitStream(9, 5, pattern).has_value());
}

TEST(GenerateBitStream, Pn9StartsWithOnesAndRepeatsEvery511Bits) {
    const Bits bits = *generateBitStream(5, 2000, {});
    ASSERT_EQ(bits.size(), 2000u);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(bits[i], 1.0);
    EXPECT_EQ(bits[9], 0.0);  // x(1) xor x(5)
    for (std::size_t i = 9; i < bits.size(); ++i)
        ASSERT_EQ(bits[i], std::fmod(bits[i - 9] + bits[i - 5], 2.0)) << i;
    for (std::size_t i = 0; i + 511 < bits.size(); ++i) ASSERT_EQ(bits[i], bits[i + 511]) << i;
    EXPECT_EQ(ones(Bits(bits.begin(), bits.begin() + 511)), 256.0);
}

TEST(GenerateBitStream, Pn15IsTheInvertedRegisterSequence) {
    const Bits bits = *generateBitStream(6, 70000, {});
    ASSERT_EQ(bits.size(), 70000u);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(bits[i], 0.0);
    EXPECT_EQ(bits[15], 1.0);  // not(x(1) xor x(2))
    // The uninverted register x = 1 - bits follows x(i) = x(i-15) xor x(i-14).
    for (std::size_t i = 15; i < bits.size(); ++i)
        ASSERT_EQ(1.0 - bits[i], std::fmod((1.0 - bits[i - 15]) + (1.0 - bits[i - 14]), 2.0)) << i;
    for (std::size_t i = 0; i + 32767 < bits.size(); ++i) ASSERT_EQ(bits[i], bits[i + 32767]) << i;
    // Inverted maximal-length sequence: one zero more than ones per period.
    EXPECT_EQ(ones(Bits(bits.begin(), bits.begin() + 32767)), 16383.0);
}

// Every tap list of orders 3..20 must give a maximal-length sequence: over
// one period every n-bit window but one occurs exactly once (all zeros
// missing, or all ones for the inverted orders).
TEST(PnGenerator, TapTableGivesMaximalLengthSequences) {
    for (int n = 3; n <= 20; ++n) {
        const Bits seq = pnGenerator(PnOptions{std::vector<double>{double(n)}, {}, {}, {}, {}});
        const std::size_t period = (std::size_t{1} << n) - 1;
        ASSERT_EQ(seq.size(), period) << n;
        std::vector<bool> seen(period + 1, false);
        std::size_t window = 0;
        const std::size_t mask = period;
        for (std::size_t i = 0; i < period + n - 1; ++i) {
            window = ((window << 1) | static_cast<std::size_t>(seq[i % period])) & mask;
            if (i + 1 < static_cast<std::size_t>(n)) continue;
            ASSERT_FALSE(seen[window]) << "order " << n << " repeats a window at bit " << i;
            seen[window] = true;
        }
        const bool inverted = n == 15;
        EXPECT_FALSE(seen[inverted ? mask : 0]) << n;
        EXPECT_EQ(ones(seq), inverted ? double(period / 2) : double(period / 2 + 1)) << n;
    }
}

TEST(PnGenerator, ArgumentRules) {
    auto pn = [](std::optional<std::vector<double>> order, std::optional<std::vector<double>> length = {},
                 std::optional<double> invert = {}, std::optional<std::vector<double>> seed = {}) {
        return pnGenerator(PnOptions{order, length, invert, seed, {}});
    };
    const Bits pn9 = pnGenerator(9, 511);
    EXPECT_EQ(pn({}), pn9);                                  // no inputs: order 9, 511 bits
    EXPECT_EQ(pn(std::vector<double>{4, 5}), pn9);           // a list of orders is ignored
    EXPECT_EQ(pn(std::vector<double>{2}), pnGenerator(3, 7));  // clamped up to 3
    EXPECT_EQ(pn(std::vector<double>{40}, std::vector<double>{100}), pnGenerator(31, 100));
    EXPECT_EQ(pn(std::vector<double>{9}, std::vector<double>{0}).size(), 1u);  // at least one bit
    EXPECT_EQ(pn(std::vector<double>{9}, std::vector<double>{3}), bitsOf("111"));
    EXPECT_EQ(pn(std::vector<double>{5}, std::vector<double>{12.7}).size(), 12u);
    // A non-integer order runs order 9 for the default length 2^9.5 - 1.
    const Bits odd = pn(std::vector<double>{9.5});
    ASSERT_EQ(odd.size(), 723u);
    EXPECT_EQ(Bits(odd.begin(), odd.begin() + 511), pn9);

    // User inversion complements an uninverted order and cancels the table's.
    Bits inverted9 = pn(std::vector<double>{9}, {}, 1.0);
    for (double& b : inverted9) b = 1 - b;
    EXPECT_EQ(inverted9, pn9);
    EXPECT_EQ(pn(std::vector<double>{9}, {}, 2.0), pn9);  // only exactly 1 inverts
    const Bits plain15 = pn(std::vector<double>{15}, std::vector<double>{20}, 1.0);
    EXPECT_EQ(plain15, bitsOf("11111111111111100000"));

    // Seeds: a scalar 0 means all ones, another scalar 0..01; an all-zero
    // list gets its last bit set; a short list gives all ones; a long one is cut.
    const auto head = [&](std::vector<double> seed) {
        return pn(std::vector<double>{5}, std::vector<double>{5}, {}, seed);
    };
    EXPECT_EQ(head({0}), bitsOf("11111"));
    EXPECT_EQ(head({7}), bitsOf("00001"));
    EXPECT_EQ(head({0, 0, 0, 0, 0}), bitsOf("00001"));
    EXPECT_EQ(head({1, 0}), bitsOf("11111"));
    EXPECT_EQ(head({1, 0, 1, 0, 0, 1, 1}), bitsOf("10100"));
}

TEST(PnGenerator, ZeroSuppressionLeavesNoRunOfFifteenZeros) {
    // Seed 1 starts the register with 19 zeros, so suppression acts at once.
    const Bits seq = pnGenerator(PnOptions{std::vector<double>{20}, std::vector<double>{100000}, 0.0,
                                           std::vector<double>{1}, 1.0});
    ASSERT_EQ(seq.size(), 100000u);
    int run = 0, longest = 0;
    for (double b : seq) longest = std::max(longest, run = (b == 0 ? run + 1 : 0));
    EXPECT_LE(longest, 14);

    // Same bits as the window-by-window rule applied to the register output of taps 20, 17.
    std::vector<double> taps(21, 0.0);
    taps[0] = taps[3] = taps[20] = 1;  // taps 20 and 17, reversed
    std::vector<double> seed(20, 0.0);
    seed.back() = 1;
    Bits ref = lfsr(20, taps, 100000, seed);
    for (std::size_t i = 0; i + 14 < ref.size(); ++i)
        if (std::all_of(ref.begin() + i, ref.begin() + i + 15, [](double b) { return b == 0; })) ref[i + 14] = 1;
    EXPECT_EQ(seq, ref);

    // Without suppression order 20 keeps its plain taps (20, 3) and the runs.
    const Bits plain = pnGenerator(PnOptions{std::vector<double>{20}, std::vector<double>{40}, 0.0,
                                             std::vector<double>{1}, 0.0});
    EXPECT_EQ(plain[19], 1.0);
    EXPECT_EQ(plain[14], 0.0);
}

TEST(Lfsr, RecurrenceLengthsAndNonBinaryValues) {
    // taps(j) multiplies a(i - order - 1 + j): [1 0 1] gives a(i) = a(i-3) xor a(i-1).
    EXPECT_EQ(lfsr(3, {1, 0, 1}, 10, {1, 0, 0}), bitsOf("1001110100"));
    EXPECT_EQ(lfsr(3, {1, 0, 1, 1}, 10, {1, 0, 0}), bitsOf("1001110100"));  // extra taps unused
    EXPECT_EQ(lfsr(5, {1, 0, 0, 1, 0}, 3, {1, 1, 0, 1, 0}), bitsOf("11010"));  // max(m, order) bits
    EXPECT_EQ(lfsr(3, {1, 0, 1}, -4, {0, 1, 1}), bitsOf("011"));
    // Weights other than 0/1 take the weighted sum modulo 2.
    EXPECT_EQ(lfsr(3, {3, 0, 1}, 10, {1, 0, 0}), bitsOf("1001110100"));
    EXPECT_EQ(lfsr(2, {0.5, 0}, 4, {1, 1}), (Bits{1, 1, 0.5, 0.5}));
    // Orders above the 64-bit register fall back to the written-out recurrence.
    std::vector<double> taps(70, 0.0), seed(70, 0.0);
    taps[0] = taps[69] = 1;
    seed[69] = 1;
    const Bits wide = lfsr(70, taps, 200, seed);
    for (std::size_t i = 70; i < 200; ++i) ASSERT_EQ(wide[i], std::fmod(wide[i - 70] + wide[i - 1], 2.0));

    // Random 0/1 taps and seeds of every order up to the 64-bit register:
    // the packed register equals the recurrence evaluated bit by bit.
    std::mt19937_64 rng(11);
    for (int order = 1; order <= 64; ++order) {
        for (int trial = 0; trial < 3; ++trial) {
            std::vector<double> t(order), s(order);
            for (double& x : t) x = double(rng() % 2);
            for (double& x : s) x = double(rng() % 2);
            const Bits fast = lfsr(order, t, 300, s);
            Bits ref(s);
            for (std::size_t i = order; i < 300; ++i) {
                double sum = 0;
                for (int j = 0; j < order; ++j) sum += t[j] * ref[i - order + j];
                ref.push_back(std::fmod(sum, 2.0));
            }
            ASSERT_EQ(fast, ref) << "order " << order << " trial " << trial;
        }
    }

    EXPECT_THROW(lfsr(3, {1, 0}, 10, {1, 0, 0}), Error);
    EXPECT_THROW(lfsr(3, {1, 0, 1}, 10, {1, 0}), Error);
}

TEST(ExtendVector, CyclicRepetitionAndEmptyData) {
    const Bits data = bitsOf("101");
    EXPECT_EQ(extendVector(data, 7), bitsOf("1011011"));
    EXPECT_EQ(extendVector(data, 2), bitsOf("10"));
    EXPECT_EQ(extendVector(data, 3), data);
    EXPECT_EQ(extendVector(data, 6), bitsOf("101101"));
    EXPECT_TRUE(extendVector(data, 0).empty());
    EXPECT_TRUE(extendVector(Bits{}, 0).empty());
    EXPECT_THROW(extendVector(Bits{}, 5), Error);
    EXPECT_THROW(generateBitStream(7, 5, {}), Error);
}

// ---- Through the registry -------------------------------------------------------

class BitSourceByName : public ::testing::Test {
protected:
    void SetUp() override {
        previous = setWarningSink([this](const std::string& w) { warnings.push_back(w); });
    }
    void TearDown() override { setWarningSink(previous); }
    WarningSink previous;
    std::vector<std::string> warnings;
};

TEST_F(BitSourceByName, GenerateBitStreamDecidesByInputCount) {
    const Value pattern = Value::row({1, 0, 1});
    struct Case {
        std::vector<Value> inputs;
        Value expected;
    } cases[] = {
        {{}, Value::empty()},
        {{Value::scalar(3)}, Value::empty()},
        {{Value::scalar(3), Value::scalar(5), pattern, Value::scalar(1)}, Value::empty()},
        {{Value::scalar(3), Value::scalar(5)}, Value::row({0, 1, 0, 1, 0})},
        {{Value::scalar(7), Value::scalar(4), pattern}, Value::row({1, 0, 1, 1})},
        {{Value::scalar(1), Value::scalar(0)}, Value::row({})},
    };
    for (const Case& c : cases) {
        std::vector<Value> out = callByName("GenerateBitStream", 1, c.inputs);
        EXPECT_EQ(out.at(0), c.expected) << c.inputs.size() << " inputs";
    }
    EXPECT_TRUE(warnings.empty());
}

TEST_F(BitSourceByName, UnknownTypeLeavesBitsUnassignedWithAWarning) {
    for (double type : {9.0, 0.0, 2.5}) {
        warnings.clear();
        std::vector<Value> out = callByName("GenerateBitStream", 1, {Value::scalar(type), Value::scalar(5)});
        EXPECT_FALSE(out.at(0).isSet()) << type;
        ASSERT_EQ(warnings.size(), 1u) << type;
        EXPECT_NE(warnings[0].find("\"bits\""), std::string::npos) << warnings[0];
        EXPECT_NE(warnings[0].find("GenerateBitStream"), std::string::npos) << warnings[0];
    }
}

TEST_F(BitSourceByName, ErrorsNameWhatIsWrong) {
    struct Case {
        std::string function;
        std::vector<Value> inputs;
        std::string fragment;
    } cases[] = {
        {"GenerateBitStream", {Value::scalar(7), Value::scalar(5)}, "\"pattern\""},
        {"GenerateBitStream", {Value::scalar(8), Value::scalar(5), Value::row({})}, "empty"},
        {"extendVector", {Value::row({}), Value::scalar(3)}, "empty"},
        {"lfsr", {Value::scalar(3), Value::row({1, 0}), Value::scalar(8), Value::row({1, 0, 0})}, "taps"},
        {"PNgenerator", {Value::scalar(9), Value::scalar(5), Value::scalar(0), Value::scalar(1), Value::scalar(0),
                         Value::scalar(0)}, "declared number of inputs (5)"},
    };
    for (const Case& c : cases) {
        try {
            callByName(c.function, 1, c.inputs);
            ADD_FAILURE() << c.function << " did not fail";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.fragment), std::string::npos) << e.what();
        }
    }
}

TEST_F(BitSourceByName, PnGeneratorOptionalInputsAndShapes) {
    EXPECT_EQ(callByName("PNgenerator", 1, {}).at(0), Value::row(pnGenerator(9, 511)));
    // Inputs given as empty count as absent.
    const Value out = callByName("PNgenerator", 1, {Value::scalar(5), Value::empty(), Value::empty(),
                                                    Value::scalar(3)}).at(0);
    EXPECT_EQ(out.numel(), 31u);
    EXPECT_EQ(out.realAt(0), 0.0);
    EXPECT_EQ(out.realAt(4), 1.0);
    // extendVector keeps a column a column.
    const Value column = callByName("extendVector", 1, {Value::column({1, 0}), Value::scalar(3)}).at(0);
    EXPECT_EQ(column, Value::column({1, 0, 1}));
}

}  // namespace
}  // namespace tolvane
