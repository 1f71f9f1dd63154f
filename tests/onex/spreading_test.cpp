#include <gtest/gtest.h>

#include <complex>
#include <numeric>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/spreading.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

std::string text(const std::vector<double>& bits, std::size_t from, std::size_t count) {
    std::string s;
    for (std::size_t i = from; i < from + count; ++i) s += bits[i] == 1.0 ? '1' : '0';
    return s;
}

TEST(PnSequences, StatedBitsAndBalance) {
    struct Case {
        std::string name;
        std::vector<double> (*make)(long long);
        std::string first48, last20;
    } cases[] = {
        {"I", pnISequence, "000000000000000100001011110011011001010100101011", "11000101110010010101"},
        {"Q", pnQSequence, "000000000000000100111001111100011100001111100101", "10110101110101111001"},
    };
    for (const Case& c : cases) {
        const std::vector<double> p = c.make(1);
        ASSERT_EQ(p.size(), 32768u) << c.name;
        EXPECT_EQ(text(p, 0, 48), c.first48) << c.name;
        EXPECT_EQ(text(p, 32768 - 20, 20), c.last20) << c.name;
        EXPECT_EQ(std::accumulate(p.begin(), p.end(), 0.0), 16384.0) << c.name;
        const std::vector<double> three = c.make(3);
        ASSERT_EQ(three.size(), 3u * 32768u);
        for (std::size_t k = 0; k < three.size(); ++k) ASSERT_EQ(three[k], p[k % 32768]) << c.name << k;
        EXPECT_TRUE(c.make(0).empty());
    }
}

TEST(CircularShiftRight, RotatesByTheRoundedCount) {
    const std::vector<double> v = {1, 2, 3, 4, 5};
    struct Case {
        double count;
        std::vector<double> expected;
    } cases[] = {
        {2, {4, 5, 1, 2, 3}}, {0, v}, {-3, v}, {1.6, {4, 5, 1, 2, 3}}, {0.4, v}, {5, v}, {1, {5, 1, 2, 3, 4}},
    };
    for (const Case& c : cases) EXPECT_EQ(circularShiftRight(v, c.count), c.expected) << c.count;
    EXPECT_THROW(circularShiftRight(v, 6), Error);
}

TEST(QuadSpreading, OnesGiveTheComplexSequenceAndOffsetsDelayIt) {
    const std::vector<double> pi = pnISequence(1), pq = pnQSequence(1);
    const std::vector<cplx> ones(2 * 32768, cplx(1, 0));
    for (int offset : {0, 1, 511}) {
        const std::vector<cplx> out = fwdQuadSpreading(ones, offset);
        ASSERT_EQ(out.size(), ones.size());
        const std::size_t d = 64 * static_cast<std::size_t>(offset);
        for (std::size_t k = 0; k < out.size(); ++k) {
            // Offset d: chip k carries period bit k - d (the last d bits first).
            const std::size_t src = (k % 32768 + 32768 - d) % 32768;
            ASSERT_EQ(out[k], cplx(1 - 2 * pi[src], 1 - 2 * pq[src])) << offset << ":" << k;
        }
    }
    // A general chip: (I + jQ)(pI + j pQ).
    std::vector<cplx> chips(32768, cplx(0.5, -2));
    const std::vector<cplx> out = fwdQuadSpreading(chips, 3);
    const std::vector<double> si = circularShiftRight(pi, 192), sq = circularShiftRight(pq, 192);
    for (std::size_t k = 0; k < 32768; ++k)
        ASSERT_EQ(out[k], cplx(0.5, -2) * cplx(1 - 2 * si[k], 1 - 2 * sq[k])) << k;

    EXPECT_TRUE(fwdQuadSpreading({}, 0).empty());
    EXPECT_THROW(fwdQuadSpreading(std::vector<cplx>(1000), 0), Error);
    EXPECT_THROW(fwdQuadSpreading(ones, 513), Error);
}

TEST(CircularShift, RowOrColumnRotation) {
    const Value m = Value::matrix(2, 3, {1, 4, 2, 5, 3, 6});  // [1 2 3; 4 5 6]
    struct Case {
        std::vector<Value> args;
        Value expected;
    } cases[] = {
        {{m, Value::scalar(1), Value::scalar(2)}, Value::matrix(2, 3, {1, 6, 2, 4, 3, 5})},  // [1 2 3; 6 4 5]
        {{m}, Value::matrix(2, 3, {3, 4, 1, 5, 2, 6})},                                     // row 1 right by 1
        {{m, Value::scalar(-1)}, Value::matrix(2, 3, {2, 4, 3, 5, 1, 6})},                  // left by 1
        {{m, Value::scalar(4), Value::scalar(1)}, Value::matrix(2, 3, {3, 4, 1, 5, 2, 6})},  // 4 mod 3
        {{m, Value::scalar(1), Value::scalar(3), Value::text("c")}, Value::matrix(2, 3, {1, 4, 2, 5, 6, 3})},
        {{m, Value::scalar(1), Value::scalar(2), Value::text("r")}, Value::matrix(2, 3, {1, 6, 2, 4, 3, 5})},
    };
    for (const Case& c : cases) EXPECT_EQ(callByName("circularShift", 1, c.args).at(0), c.expected);

    const std::string usage = "Usage: circularShift(matrix, [amount], [position], [ 'r' | 'c' ] ";
    struct Bad {
        std::vector<Value> args;
        std::string message;
    } bad[] = {
        {{}, usage},
        {{m, Value::scalar(1), Value::scalar(1), Value::text("r"), Value::scalar(0)}, usage},
        {{m, Value::scalar(1), Value::scalar(3)}, "Row does not exist"},
        {{m, Value::scalar(1), Value::scalar(4), Value::text("c")}, "Column does not exist"},
    };
    for (const Bad& b : bad) {
        try {
            callByName("circularShift", 1, b.args);
            ADD_FAILURE() << b.message;
        } catch (const Error& e) {
            const std::string what = e.what();
            ASSERT_GE(what.size(), b.message.size());
            EXPECT_EQ(what.substr(what.size() - b.message.size()), b.message);
        }
    }
}

TEST(SpreadingByName, ShapesAndCounts) {
    EXPECT_EQ(callByName("CircularShiftRight", 1, {Value::row({1, 2, 3, 4, 5}), Value::scalar(2)}).at(0),
              Value::row({4, 5, 1, 2, 3}));
    EXPECT_EQ(callByName("CircularShiftRight", 1, {Value::column({1, 2, 3}), Value::scalar(1)}).at(0),
              Value::column({3, 1, 2}));
    EXPECT_EQ(callByName("OneX_PNiSequence", 1, {Value::scalar(1)}).at(0), Value::row(pnISequence(1)));
    const Value spread =
        callByName("OneX_FwdQuadSpreading", 1, {Value::row(std::vector<double>(32768, 1.0)), Value::scalar(0)}).at(0);
    ASSERT_TRUE(spread.isComplex());
    EXPECT_EQ(spread.complexAt(15), cplx(-1, -1));  // both sequences have their first 1 at chip 16
    EXPECT_THROW(callByName("OneX_PNqSequence", 1, {Value::scalar(1), Value::scalar(2)}), Error);
}

}  // namespace
}  // namespace tolvane
