// The CCDF curve: its test signal, the level axis, the counts, the Gaussian
// reference and the lower limit of the logarithmic axis.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "display/ccdf.hpp"

using namespace tolvane::display;
using cd = std::complex<double>;

namespace {

bool allFinite(const std::vector<double>& v) {
    for (double x : v)
        if (!std::isfinite(x)) return false;
    return true;
}

// The percentage of samples at least `level` dB above the average power,
// counted directly.
double directPercent(const std::vector<cd>& w, double level) {
    double sum = 0;
    for (const auto& z : w) sum += std::norm(z);
    const double meanDb = 10 * std::log10(sum / static_cast<double>(w.size()));
    std::size_t count = 0;
    for (const auto& z : w)
        if (10 * std::log10(std::norm(z)) - meanDb >= level) ++count;
    return 100.0 * static_cast<double>(count) / static_cast<double>(w.size());
}

}  // namespace

TEST(CcdfCurve, EmptyInputShowsTheTestSignalInANamedWindow) {
    const auto signal = ccdfTestSignal();
    ASSERT_EQ(signal.size(), 1000u);
    // Envelope 1.5 + cos(a): 0.5 at both ends (a = -pi, pi), 2.5 in the middle.
    EXPECT_NEAR(std::abs(signal.front()), 0.5, 1e-12);
    EXPECT_NEAR(std::abs(signal.back()), 0.5, 1e-12);
    EXPECT_NEAR(std::abs(signal[500]), 2.5, 1e-4);

    const CcdfCurve fromEmpty = ccdfCurve({});
    const CcdfCurve fromSignal = ccdfCurve(signal);
    EXPECT_EQ(fromEmpty.y, fromSignal.y);

    const Figure f = ccdfFigure({}, "Test Data", {});
    EXPECT_EQ(f.name, "CCDF Test Data");
    ASSERT_EQ(f.axes.size(), 1u);
    EXPECT_EQ(f.axes[0].traces[0].y, fromSignal.y);
}

TEST(CcdfCurve, CountsMatchADirectCountAtEveryLevel) {
    std::mt19937 gen(5);
    std::normal_distribution<double> normal;
    std::vector<cd> w(4000);
    for (auto& z : w) z = {normal(gen), normal(gen)};
    const CcdfCurve c = ccdfCurve(w);
    ASSERT_EQ(c.x.size(), 201u);
    EXPECT_DOUBLE_EQ(c.x.front(), 0);
    EXPECT_DOUBLE_EQ(c.x.back(), c.maxX);
    // (Zero counts are lifted to 1e-300 for the logarithmic axis.)
    for (std::size_t i = 0; i < c.x.size(); i += 7) EXPECT_NEAR(c.y[i], directPercent(w, c.x[i]), 1e-12) << i;
    // Noise follows its own reference closely at low levels.
    EXPECT_NEAR(c.y[10], c.reference[10], 3.0);
    EXPECT_FALSE(c.realWave);
}

TEST(CcdfCurve, ConstantEnvelopeDropsToZeroAboveTheAverage) {
    const std::vector<cd> w = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    const CcdfCurve c = ccdfCurve(w);
    EXPECT_DOUBLE_EQ(c.y[0], 100);
    for (std::size_t i = 1; i < c.y.size(); ++i) EXPECT_EQ(c.y[i], 1e-300) << i;  // 0 lifted to the floor
    // yMin is first the smallest non-zero count (100) and then lowered.
    EXPECT_EQ(c.yMin, 0.001);
    EXPECT_DOUBLE_EQ(c.maxX, 20);
}

TEST(CcdfCurve, AllZeroWaveformStaysFinite) {
    const CcdfCurve c = ccdfCurve(std::vector<cd>(64, cd{0, 0}));
    EXPECT_TRUE(allFinite(c.y));
    EXPECT_TRUE(allFinite(c.reference));
    EXPECT_TRUE(std::isfinite(c.yMin));
    EXPECT_TRUE(std::isfinite(c.maxX));
    EXPECT_DOUBLE_EQ(c.y[0], 100);  // every sample sits at the (floored) average
    EXPECT_TRUE(c.realWave);
}

TEST(CcdfCurve, RealAndComplexWaveformsGetTheirOwnReference) {
    const std::vector<cd> real = {{1, 0}, {-2, 0}, {0.5, 0}, {3, 0}};
    const std::vector<cd> complex = {{1, 0}, {-2, 0}, {0.5, 0}, {3, 1e-9}};
    const CcdfCurve r = ccdfCurve(real), c = ccdfCurve(complex);
    EXPECT_TRUE(r.realWave);
    EXPECT_FALSE(c.realWave);
    for (std::size_t i = 0; i < r.x.size(); i += 20) {
        const double x = r.x[i];
        EXPECT_DOUBLE_EQ(r.reference[i], 100 * std::erfc(std::pow(10.0, x / 20) / std::numbers::sqrt2));
        EXPECT_DOUBLE_EQ(c.reference[i], 100 * std::exp(-std::pow(10.0, c.x[i] / 10)));
    }
    // At 0 dB: erfc(1/sqrt 2) = 31.7 % against exp(-1) = 36.8 %.
    EXPECT_NEAR(r.reference[0], 31.731, 1e-3);
    EXPECT_NEAR(c.reference[0], 36.788, 1e-3);
}

TEST(CcdfCurve, PeakAboveTwentyDbWidensTheAxis) {
    // One sample far above the rest: peak-to-average above 20 dB.
    std::vector<cd> w(10000, cd{1, 0});
    w[17] = {1000, 0};
    const CcdfCurve wide = ccdfCurve(w);
    double sum = 0;
    for (const auto& z : w) sum += std::norm(z);
    const double peakDb = 10 * std::log10(1e6 / (sum / 10000));
    ASSERT_GT(peakDb, 20);
    EXPECT_NEAR(wide.maxX, 1.01 * peakDb, 1e-9);
    EXPECT_NEAR(wide.x[1], wide.maxX / 200, 1e-12);

    const CcdfCurve narrow = ccdfCurve({{1, 0}, {2, 0}, {1, 1}});
    EXPECT_DOUBLE_EQ(narrow.maxX, 20);
    EXPECT_DOUBLE_EQ(narrow.x[1], 0.1);
}

TEST(CcdfCurve, LowerLimitIsTheSmallestCountOrLess) {
    std::mt19937 gen(1);
    std::normal_distribution<double> normal;
    std::vector<cd> w(200);
    for (auto& z : w) z = {normal(gen), normal(gen)};
    const CcdfCurve c = ccdfCurve(w);
    // 200 samples: the smallest non-zero count is 0.5 %, above 0.001.
    EXPECT_EQ(c.yMin, 0.001);
    // A waveform with NaN samples still counts its other samples.
    std::vector<cd> withNan = w;
    withNan[3] = {std::nan(""), 0};
    const CcdfCurve n = ccdfCurve(withNan);
    EXPECT_GT(n.y[0], 0);
    EXPECT_TRUE(std::isfinite(n.yMin));
}

TEST(CcdfFigure, AxesAsTheDisplayShowsThem) {
    const Figure f = ccdfFigure({}, "1xEV Forward Link (05MAR2002 9:07:03)", {{1, 0}, {0, 2}, {3, 0}});
    EXPECT_EQ(f.name, "CCDF 1xEV Forward Link (05MAR2002 9:07:03)");
    EXPECT_TRUE(f.displayMenus);
    const Axes& a = f.axes.at(0);
    EXPECT_EQ(a.tag, "QV_CCDF");
    EXPECT_EQ(a.title, "CCDF");
    EXPECT_EQ(a.yLabel, "Frequency of occurence (%)");
    EXPECT_EQ(a.xLabel, "dB above Average");
    EXPECT_TRUE(a.logY);
    EXPECT_TRUE(a.xGrid && a.yGrid);
    EXPECT_EQ(a.gridStyle, LineStyle::Dotted);
    EXPECT_DOUBLE_EQ(a.x.max, 20);
    EXPECT_DOUBLE_EQ(a.y.max, 100);
    ASSERT_EQ(a.xTicks.size(), 11u);
    EXPECT_DOUBLE_EQ(a.xTicks.back(), 20);
    ASSERT_EQ(a.traces.size(), 2u);
    EXPECT_DOUBLE_EQ(a.traces[1].color.r, 0.7);
    // The plot box moved by the frame: [0.13*1.2 0.11*1.4 0.775 0.815/1.1].
    EXPECT_NEAR(a.position[0], 0.156, 1e-12);
    EXPECT_NEAR(a.position[1], 0.154, 1e-12);
    EXPECT_NEAR(a.position[3], 0.815 / 1.1, 1e-12);
}
