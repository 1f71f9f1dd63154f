#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "numerics/remez.hpp"
#include "onex/baseband_filter.hpp"
#include "onex/constants.hpp"
#include "onex/filter_design.hpp"
#include "onex/filter_tables.hpp"
#include "runtime/library.hpp"
#include "../support/signal_checks.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

cvec testChips(std::size_t n) {
    cvec x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = {std::sin(1.3 * i * i + 0.2) > 0 ? 1.0 : -1.0, std::cos(0.7 * i * i) > 0 ? 1.0 : -1.0};
    return x;
}

// y[n] = sum_k h[k] x[(n + D - k) mod N], D = floor(L / 2), term by term.
cvec closedForm(const cvec& x, const std::vector<double>& h) {
    const long long n = static_cast<long long>(x.size()), d = static_cast<long long>(h.size() / 2);
    cvec y(x.size());
    for (long long i = 0; i < n; ++i)
        for (std::size_t k = 0; k < h.size(); ++k) y[i] += h[k] * x[((i + d - static_cast<long long>(k)) % n + n) % n];
    return y;
}

cvec hold(const cvec& x, int width) {
    cvec y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t j = 0; j < static_cast<std::size_t>(width) && j <= i; ++j) y[i] += x[i - j];
    return y;
}

using testing_support::relativeError;

TEST(Upsample, ZeroInsertionAndMarkerHold) {
    EXPECT_EQ(upsample({1.0, 2.0, 3.0}, 2), (cvec{1.0, 0.0, 2.0, 0.0, 3.0, 0.0}));
    EXPECT_EQ(upsample({cplx(1, -2)}, 3), (cvec{cplx(1, -2), 0.0, 0.0}));
    EXPECT_EQ(upsampleMarker({1, 0, 1}, 3), (std::vector<double>{1, 1, 1, 0, 0, 0, 1, 1, 1}));
    EXPECT_THROW(upsample({1.0}, 0), Error);

    // By name: a column stays a column, a complex row stays complex.
    auto col = callByName("upsample", 1, {Value::column({1, 2, 3}), Value::scalar(2)})[0];
    EXPECT_EQ(col, Value::column({1, 0, 2, 0, 3, 0}));
    auto row = callByName("upsample", 1, {Value::complexRow({cplx(1, 1), cplx(2, -1)}), Value::scalar(2)})[0];
    EXPECT_EQ(row, Value::complexRow({cplx(1, 1), 0.0, cplx(2, -1), 0.0}));
    EXPECT_EQ(callByName("upsampleMarker", 1, {Value::row({1, 0, 1}), Value::scalar(3)})[0],
              Value::row({1, 1, 1, 0, 0, 0, 1, 1, 1}));
}

TEST(FilterDesigns, TapCountsSymmetryAndGain) {
    for (int os : {2, 4, 5, 30}) {
        const auto std_ = filterCoeffStd(os);
        const auto acp = filterCoeffAcp(os);
        ASSERT_EQ(std_.size(), 12u * os);
        ASSERT_EQ(acp.size(), 26u * os);
        double sumStd = 0.0, sumAcp = 0.0;
        for (std::size_t i = 0; i < std_.size(); ++i) {
            EXPECT_EQ(std_[i], std_[std_.size() - 1 - i]);
            sumStd += std_[i];
        }
        for (std::size_t i = 0; i < acp.size(); ++i) {
            EXPECT_NEAR(acp[i], acp[acp.size() - 1 - i], 1e-15);
            sumAcp += acp[i];
        }
        // The second ACP stage has unit gain at 0 Hz.
        EXPECT_NEAR(sumAcp, sumStd, 1e-12 * std::fabs(sumStd)) << os;
        // Each call gives the same design.
        EXPECT_EQ(filterCoeffAcp(os), acp);
    }
    EXPECT_EQ(filterCoeffStd(4).size(), 48u);
    EXPECT_EQ(filterCoeffAcp(4).size(), 104u);
    // Below 2 the stop band would lie beyond Nyquist; above the ceiling the
    // design is refused before anything is allocated.
    for (int os : {0, 1, kMaxOversampling + 1, 1000000000}) {
        EXPECT_THROW(filterCoeffStd(os), Error) << os;
        EXPECT_THROW(filterCoeffAcp(os), Error) << os;
    }
}

// Both stages of the designs converge at every ratio the windows offer and
// at the highest one accepted by name, so their taps never come with the
// design's warning.
TEST(FilterDesigns, ConvergeAtEveryRatio) {
    std::vector<int> ratios;
    for (int os = 2; os <= 30; ++os) ratios.push_back(os);
    ratios.push_back(kMaxOversampling);
    for (int os : ratios) {
        const double nyquist = os * kChipRate / 2.0;
        const std::vector<double> edges{0.0, 590000.0 / nyquist, 740000.0 / nyquist, 1.0};
        EXPECT_TRUE(remezDesign(12 * os - 1, edges, {1.0, 1.0, 0.0, 0.0}, {1.0, 20.0}).converged) << os;
        EXPECT_TRUE(remezDesign(14 * os, edges, {1.0, 1.0, 0.005, 0.001}, {1.0, 2.0}).converged) << os;
    }
}

TEST(FilterDesigns, StdMatchesTheReferenceDesign) {
    // tests/data/remez/remez_order47_std_os4.txt holds SciPy's taps for it.
    std::ifstream in(std::string(TOLVANE_TEST_DATA_DIR) + "/remez/remez_order47_std_os4.txt");
    std::vector<double> golden;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') golden.push_back(std::stod(line));
    const auto h = filterCoeffStd(4);
    ASSERT_EQ(h.size(), golden.size());
    for (std::size_t i = 0; i < h.size(); ++i) EXPECT_NEAR(h[i], golden[i], 1e-13) << i;
}

// The tables made at build time hold exactly what the design functions give,
// for every stored ratio; ratios outside them are designed at run time.
TEST(FilterDesigns, StoredTablesEqualTheDesignsBitForBit) {
    for (int os : {kStoredDesignMinRatio, 5, 17, kStoredDesignMaxRatio}) {
        const std::span<const double> std = storedFilterDesign(os, false);
        const std::span<const double> acp = storedFilterDesign(os, true);
        EXPECT_EQ(std::vector<double>(std.begin(), std.end()), designFilterStd(os)) << os;
        EXPECT_EQ(std::vector<double>(acp.begin(), acp.end()), designFilterAcp(os)) << os;
        EXPECT_EQ(filterCoeffAcp(os), designFilterAcp(os)) << os;
    }
    EXPECT_TRUE(storedFilterDesign(kStoredDesignMinRatio - 1, false).empty());
    EXPECT_TRUE(storedFilterDesign(kStoredDesignMaxRatio + 1, true).empty());
    EXPECT_EQ(filterCoeffStd(kStoredDesignMaxRatio + 1), designFilterStd(kStoredDesignMaxRatio + 1));
}

// Each shape selects its filter. By name a number or a text selects the
// shape: a number other than 1, 3 and 4 is the standard filter, a text other
// than the three filter names (compared exactly) the rectangular one.
TEST(BasebandFilter, FilterTypesSelectTheirFilters) {
    const int os = 4;
    const cvec chips = testChips(64);
    const cvec frame = upsample(chips, os);
    const cvec rect = hold(frame, os);
    const cvec std_ = closedForm(frame, filterCoeffStd(os));
    const cvec acp = closedForm(frame, filterCoeffAcp(os));
    const struct {
        FilterShape shape;
        const cvec* expected;
    } shapes[] = {{FilterShape::Rectangular, &rect}, {FilterShape::Std, &std_}, {FilterShape::Acp, &acp},
                  {FilterShape::None, &frame}};
    for (const auto& c : shapes) {
        EXPECT_LT(relativeError(basebandFilter(frame, os, c.shape), *c.expected), 1e-12) << static_cast<int>(c.shape);
        // The chip-rate entry gives the same result.
        EXPECT_LT(relativeError(basebandFilterChips(chips, os, c.shape), *c.expected), 1e-12);
    }

    const struct {
        Value type;
        const cvec* expected;
    } named[] = {
        {Value::scalar(1), &rect},          {Value::scalar(2), &std_},          {Value::scalar(3), &acp},
        {Value::scalar(4), &frame},         {Value::scalar(7), &std_},          {Value::scalar(0), &std_},
        {Value::scalar(2.5), &std_},        {Value::scalar(std::nan("")), &std_}, {Value::text("IS95-STD"), &std_},
        {Value::text("IS95-ACP"), &acp},    {Value::text("IS95-EVM"), &frame},  {Value::text("is95-acp"), &rect},
        {Value::text("Gaussian"), &rect},
    };
    for (const auto& c : named) {
        const Value y = callByName("OneX_BasebandFilter", 1, {Value::complexRow(frame), Value::scalar(os), c.type})[0];
        EXPECT_LT(relativeError(y.toComplex(), *c.expected), 1e-12) << (c.type.isText() ? c.type.str() : "number");
    }
}

TEST(BasebandFilter, RowsThatAreNotZeroStuffedAreFilteredToo) {
    cvec frame = upsample(testChips(40), 5);
    frame[3] = cplx(0.25, -0.5);  // an off-phase sample: the general path
    EXPECT_LT(relativeError(basebandFilter(frame, 5, FilterShape::Acp), closedForm(frame, filterCoeffAcp(5))), 1e-12);
    EXPECT_EQ(basebandFilter(cvec{}, 5, FilterShape::Acp).size(), 0u);
}

TEST(BasebandFilter, RotatingTheFrameRotatesTheOutput) {
    const int os = 5;
    const cvec chips = testChips(300);
    const cvec y = basebandFilterChips(chips, os, FilterShape::Acp);
    const std::size_t k = 17;  // chips
    cvec rotated(chips.size());
    for (std::size_t i = 0; i < chips.size(); ++i) rotated[i] = chips[(i + k) % chips.size()];
    const cvec yr = basebandFilterChips(rotated, os, FilterShape::Acp);
    cvec expected(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) expected[i] = y[(i + k * os) % y.size()];
    EXPECT_LT(relativeError(yr, expected), 1e-12);
}

TEST(Circfilt, WrapUsesTheEndOfTheRow) {
    const cvec f{cplx(1, 2), cplx(3, -1), cplx(0.5, 0.5), cplx(-2, 1), cplx(4, 0)};
    const double a = 0.3, b = -1.2, c = 2.5;
    const cvec y = circfilt(f, {a, b, c});
    EXPECT_LT(std::abs(y[0] - (a * f[1] + b * f[0] + c * f[4])), 1e-15);
    EXPECT_LT(std::abs(y[4] - (a * f[0] + b * f[4] + c * f[3])), 1e-15);
    EXPECT_EQ(circfilt(f, {1.0}), f);

    // By name, with real and with complex taps (the correction filters).
    auto out = callByName("circfilt", 1, {Value::complexRow(f), Value::row({a, b, c})})[0];
    ASSERT_TRUE(out.isComplex());
    for (std::size_t i = 0; i < f.size(); ++i) EXPECT_LT(std::abs(out.complexAt(i) - y[i]), 1e-15);
    auto cx = callByName("circfilt", 1, {Value::row({1, 0, 0, 0}), Value::complexRow({cplx(0, 1), 2.0, 3.0})})[0];
    // y[0] = h0 x[1] + h1 x[0] + h2 x[3] = 2.
    EXPECT_LT(std::abs(cx.complexAt(0) - cplx(2, 0)), 1e-15);
    EXPECT_LT(std::abs(cx.complexAt(3) - cplx(0, 1)), 1e-15);  // y[3] = h0 x[0]
    EXPECT_LT(std::abs(cx.complexAt(1) - cplx(3, 0)), 1e-15);  // y[1] = h2 x[0]
}

TEST(BasebandFilter, ByNameWithNumberOrText) {
    const cvec frame = upsample(testChips(50), 2);
    const Value in = Value::complexRow(frame);
    for (const Value& type : {Value::scalar(3), Value::text("IS95-ACP")}) {
        const Value y = callByName("OneX_BasebandFilter", 1, {in, Value::scalar(2), type})[0];
        ASSERT_EQ(y.numel(), frame.size());
        const cvec want = basebandFilter(frame, 2, FilterShape::Acp);
        for (std::size_t i = 0; i < frame.size(); ++i) EXPECT_EQ(y.complexAt(i), want[i]);
    }
    // A complex setting whose imaginary part is zero is the number itself.
    const Value y = callByName("OneX_BasebandFilter", 1, {in, Value::complexScalar({2, 0}), Value::complexScalar({3, 0})})[0];
    EXPECT_EQ(y.toComplex(), basebandFilter(frame, 2, FilterShape::Acp));
    EXPECT_EQ(callByName("FilterCoeff_IS95_Std", 1, {Value::scalar(4)})[0].numel(), 48u);
    EXPECT_EQ(callByName("FilterCoeff_IS95_Acp", 1, {Value::scalar(4)})[0].numel(), 104u);
    // The highest ratio accepted by name is one the design can make.
    EXPECT_EQ(callByName("FilterCoeff_IS95_Std", 1, {Value::scalar(kMaxOversampling)})[0].numel(),
              12u * kMaxOversampling);
}

}  // namespace
}  // namespace tolvane
