#include <gtest/gtest.h>

#include <complex>
#include <random>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/modulator.hpp"
#include "onex/walsh.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

cvec symbolsUpTo(int n) {
    cvec out;
    for (int k = 1; k <= n; ++k) out.push_back({double(k), -double(k)});
    return out;
}

TEST(WalshMatrix, SylvesterTable) {
    const RowMatrix<double> h16 = walshMatrix(16);
    ASSERT_EQ(h16.rows, 16u);
    const double code3[] = {1, -1, -1, 1};
    for (std::size_t q = 0; q < 16; ++q) EXPECT_EQ(h16.at(3, q), code3[q % 4]) << q;
    EXPECT_EQ(walshMatrix(20).data, h16.data);
    EXPECT_EQ(walshMatrix(1).data, std::vector<double>{1});
    EXPECT_EQ(walshMatrix(0.5).data, std::vector<double>{1});
    EXPECT_THROW(walshMatrix(0), Error);

    // The doubling rule [H H; H -H], written out, up to 64.
    std::vector<std::vector<double>> h = {{1}};
    while (h.size() < 64) {
        const std::size_t n = h.size();
        std::vector<std::vector<double>> next(2 * n, std::vector<double>(2 * n));
        for (std::size_t r = 0; r < n; ++r)
            for (std::size_t q = 0; q < n; ++q) {
                next[r][q] = next[r][q + n] = next[r + n][q] = h[r][q];
                next[r + n][q + n] = -h[r][q];
            }
        h = next;
    }
    const RowMatrix<double> h64 = walshMatrix(64);
    for (std::size_t r = 0; r < 64; ++r)
        for (std::size_t q = 0; q < 64; ++q) ASSERT_EQ(h64.at(r, q), h[r][q]) << r << "," << q;
}

TEST(Repetition, WholeSequenceRepeatAndTruncate) {
    const cvec d = symbolsUpTo(5);
    cvec twelve = d;
    twelve.insert(twelve.end(), d.begin(), d.end());
    twelve.push_back(d[0]);
    twelve.push_back(d[1]);
    EXPECT_EQ(fwdTrfRepSeq(d, 12), twelve);
    EXPECT_EQ(fwdTrfRepSeq(d, 5), d);
    EXPECT_EQ(fwdTrfRepSeq(d, 4), cvec(d.begin(), d.begin() + 4));
    EXPECT_TRUE(fwdTrfRepSeq(d, 0).empty());
    EXPECT_TRUE(fwdTrfRepSeq({}, 0).empty());
    EXPECT_THROW(fwdTrfRepSeq({}, 1600), Error);

    EXPECT_EQ(repeatSequence(std::vector<double>{1, 2, 3}, 2), (std::vector<double>{1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(repeatSequence(std::vector<double>{5}, 3), (std::vector<double>{5, 5, 5}));
    EXPECT_TRUE(repeatSequence(std::vector<double>{1, 2}, 0).empty());
}

TEST(Demux, SeventeenSymbolsMakeTwoColumns) {
    const RowMatrix<cplx> m = fwdTrfDemux(symbolsUpTo(17));
    ASSERT_EQ(m.rows, 16u);
    ASSERT_EQ(m.cols, 2u);
    for (std::size_t r = 0; r < 16; ++r) {
        EXPECT_EQ(m.at(r, 0), cplx(double(r + 1), -double(r + 1)));
        EXPECT_EQ(m.at(r, 1), r == 0 ? cplx(17, -17) : cplx(0, 0));
    }
    EXPECT_EQ(fwdTrfDemux({}).cols, 0u);
}

TEST(WalshCover, SymbolMajorChips) {
    EXPECT_EQ(walshCover({{1, 2}, {3, 0}}, {1, -1, 1}),
              (cvec{{1, 2}, {-1, -2}, {1, 2}, {3, 0}, {-3, 0}, {3, 0}}));
    // Row i of the 16-row cover is spread with Walsh code i - 1.
    const RowMatrix<cplx> covered = fwdTrfWalshCover(fwdTrfDemux(symbolsUpTo(16)));
    ASSERT_EQ(covered.cols, 16u);
    const RowMatrix<double> w = walshMatrix(16);
    for (std::size_t r = 0; r < 16; ++r)
        for (std::size_t t = 0; t < 16; ++t)
            ASSERT_EQ(covered.at(r, t), cplx(double(r + 1), -double(r + 1)) * w.at(r, t));
    EXPECT_THROW(fwdTrfWalshCover(RowMatrix<cplx>{15, 1, cvec(15)}), Error);
}

TEST(Summer, EqualSymbolsLeaveOnlyTheFirstChip) {
    const cplx s(-1, 1);  // a QPSK point
    const cvec chips = fwdTrfSummer(fwdTrfChnGain(fwdTrfWalshCover(fwdTrfDemux(cvec(16, s)))));
    ASSERT_EQ(chips.size(), 16u);
    EXPECT_EQ(chips[0], 4.0 * s);
    for (std::size_t t = 1; t < 16; ++t) EXPECT_EQ(chips[t], cplx(0, 0)) << t;
}

// The one-pass chip sum must equal the four stages run one by one, to the
// bit, for symbols of every modulation and for arbitrary values.
TEST(CoverAndSum, EqualsTheStagedChainBitForBit) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> bit(0, 1);
    std::normal_distribution<double> normal;
    std::vector<cvec> inputs;
    for (Modulation type : {Modulation::Qpsk, Modulation::Psk8, Modulation::Qam16}) {
        std::vector<double> bits(1600 * bitsPerSymbol(type));
        for (double& b : bits) b = bit(rng);
        inputs.push_back(fwdTrfModulator(bits, type));
    }
    cvec noise(1601);
    for (cplx& z : noise) z = {normal(rng), normal(rng)};
    inputs.push_back(noise);
    inputs.push_back(symbolsUpTo(17));
    inputs.push_back({});
    for (const cvec& symbols : inputs) {
        const cvec staged = fwdTrfSummer(fwdTrfChnGain(fwdTrfWalshCover(fwdTrfDemux(symbols))));
        const cvec fused = fwdTrfCoverAndSum(symbols);
        ASSERT_EQ(fused.size(), staged.size());
        for (std::size_t k = 0; k < staged.size(); ++k) ASSERT_EQ(fused[k], staged[k]) << k;
    }
}

TEST(WalshByName, ShapesAndRowRules) {
    const Value demux = callByName("OneX_FwdTrfDemux", 1, {Value::row({1, 2, 3})}).at(0);
    ASSERT_EQ(demux.rows(), 16u);
    ASSERT_EQ(demux.cols(), 1u);
    EXPECT_EQ(demux.realAt(2), 3.0);
    EXPECT_EQ(demux.realAt(3), 0.0);

    // 16 x 1 in, 16 x 16 out, each row its Walsh code times the symbol.
    const Value cover = callByName("OneX_FwdTrfWalshCover", 1, {demux}).at(0);
    ASSERT_EQ(cover.rows(), 16u);
    ASSERT_EQ(cover.cols(), 16u);
    EXPECT_EQ(cover.realAt(1 + 16 * 1), -2.0);  // row 2, column 2: 2 * W1[2]
    const Value summed = callByName("OneX_FwdTrfSummer", 1, {callByName("OneX_FwdTrfChnGain", 1, {cover}).at(0)}).at(0);
    ASSERT_EQ(summed.rows(), 1u);
    ASSERT_EQ(summed.cols(), 16u);
    EXPECT_EQ(summed, Value::row([] {
                  std::vector<double> v;
                  for (const cplx& z : fwdTrfCoverAndSum({1, 2, 3})) v.push_back(z.real());
                  return v;
              }()));

    EXPECT_EQ(callByName("OneX_FwdTrfChnGain", 1, {Value::matrix(2, 1, {4, -8})}).at(0), Value::matrix(2, 1, {1, -2}));
    EXPECT_EQ(callByName("OneX_Repeat", 1, {Value::row({1, 2}), Value::scalar(2)}).at(0), Value::row({1, 2, 1, 2}));
    EXPECT_EQ(callByName("OneX_Repeat", 1, {Value::scalar(3), Value::scalar(3)}).at(0), Value::row({3, 3, 3}));
    EXPECT_EQ(callByName("OneX_WalshCover", 1, {Value::row({2}), Value::column({1, -1})}).at(0), Value::row({2, -2}));
    EXPECT_EQ(callByName("OneX_WalshMatrix", 1, {Value::scalar(2)}).at(0), Value::matrix(2, 2, {1, 1, 1, -1}));
    EXPECT_EQ(callByName("OneX_FwdTrfRepSeq", 1, {Value::row({1, 2}), Value::scalar(3)}).at(0), Value::row({1, 2, 1}));
    EXPECT_THROW(callByName("OneX_FwdTrfRepSeq", 1, {Value::row({}), Value::scalar(3)}), Error);
    EXPECT_THROW(callByName("OneX_Repeat", 1, {Value::column({1, 2}), Value::scalar(2)}), Error);
    EXPECT_THROW(callByName("OneX_WalshCover", 1, {Value::column({1, 2}), Value::row({1, -1})}), Error);
}

}  // namespace
}  // namespace tolvane
