// The spectrum display: bin order, the level floor and limits, the
// frequency units and axis.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "display/spectrum.hpp"
#include "display/units.hpp"

using namespace tolvane::display;
using cd = std::complex<double>;

TEST(SpectrumReorder, BinOrderForEvenOddAndTinyLengths) {
    struct Case {
        std::vector<int> bins;
        std::vector<int> want;
    };
    const Case cases[] = {
        {{}, {}},
        {{0}, {0}},
        {{0, 1}, {0, 1}},
        {{0, 1, 2}, {1, 2, 0}},
        {{0, 1, 2, 3}, {1, 2, 3, 0}},
        {{0, 1, 2, 3, 4}, {2, 3, 4, 0, 1}},
        {{0, 1, 2, 3, 4, 5, 6, 7}, {3, 4, 5, 6, 7, 0, 1, 2}},  // even: bin N/2-1 first, N/2-2 last
        {{0, 1, 2, 3, 4, 5, 6}, {3, 4, 5, 6, 0, 1, 2}},        // odd: (N+1)/2 then (N-1)/2
    };
    for (const auto& c : cases) EXPECT_EQ(reorderSpectrum(c.bins), c.want) << c.bins.size();
}

TEST(FrequencyUnits, ChosenByThousandsOfTheRate) {
    struct Case {
        double rate;
        const char* units;
        double divider;
    };
    const Case cases[] = {
        {1, "Hz", 1},           {999, "Hz", 1},         {1000, "kHz", 1000},  {5e6, "MHz", 1e6},
        {36.864e6, "MHz", 1e6}, {2.5e9, "GHz", 1e9},    {5e12, "GHz", 1e9},   {0.5, "GHz", 1e9},
    };
    for (const auto& c : cases) {
        const FrequencyUnits u = DetermineFrequencyUnits(c.rate);
        EXPECT_EQ(u.units, c.units) << c.rate;
        EXPECT_EQ(u.divider, c.divider) << c.rate;
    }
}

TEST(TimeUnits, ChosenByThousandsOfTheDuration) {
    struct Case {
        double seconds;
        const char* units;
        double multiplier;
    };
    const Case cases[] = {
        {1, "S", 1},      {999, "S", 1},       {0.8, "mS", 1000},  {0.0267, "mS", 1000}, {2e-6, "uS", 1e6},
        {5e-9, "nS", 1e9}, {5e-12, "pS", 1e12}, {5000, "pS", 1e12},
    };
    for (const auto& c : cases) {
        const TimeUnits u = DetermineTimeUnits(c.seconds);
        EXPECT_EQ(u.units, c.units) << c.seconds;
        EXPECT_EQ(u.multiplier, c.multiplier) << c.seconds;
    }
}

TEST(SpectrumView, EmptyWaveformShowsTheTestSpectrum) {
    const SpectrumView v = spectrumView(1000, {});
    ASSERT_EQ(v.magnitude.size(), 10u);
    // 10 log10(v^2) - 10 log10(1): -60, -40, -20, -6.02, 0, 0, ...
    const double want[] = {-60, -40, -20, 20 * std::log10(0.5), 0, 0, 20 * std::log10(0.5), -20, -40, -60};
    for (std::size_t i = 0; i < 10; ++i) EXPECT_NEAR(v.magnitude[i], want[i], 1e-9) << i;
    EXPECT_EQ(v.level.min, -60);
    EXPECT_EQ(v.level.max, 0);
    EXPECT_EQ(v.units, "kHz");
    EXPECT_DOUBLE_EQ(v.f.front(), -0.5);
    EXPECT_DOUBLE_EQ(v.f.back(), 0.5);
}

TEST(SpectrumView, ExactZerosGetARelativeFloor) {
    // A single tone over whole periods: every bin but one is (nearly) zero;
    // a constant gives exact zeros in every bin but the first.
    const SpectrumView v = spectrumView(1000, std::vector<cd>(16, cd{2, 0}));
    for (double m : v.magnitude) EXPECT_TRUE(std::isfinite(m));
    double peak = -1e9, low = 1e9;
    for (double m : v.magnitude) peak = std::max(peak, m), low = std::min(low, m);
    EXPECT_DOUBLE_EQ(peak, 0);
    EXPECT_NEAR(low, -200, 1e-9);  // 1e-20 of the peak power
    EXPECT_EQ(v.level.min, -100);  // and the range stops 100 dB down

    const SpectrumView zero = spectrumView(1000, std::vector<cd>(8, cd{0, 0}));
    for (double m : zero.magnitude) EXPECT_DOUBLE_EQ(m, 0);  // all bins lifted by the same 1e-20
}

TEST(SpectrumView, FiveMegahertzInMegahertzAndTheLevelRangeIsBounded) {
    std::mt19937 gen(3);
    std::normal_distribution<double> normal;
    std::vector<cd> w(1000);
    for (auto& z : w) z = {normal(gen), normal(gen)};
    w[0] = {1e6, 0};  // an impulse far above the noise keeps the spectrum flat
    const SpectrumView v = spectrumView(5e6, w);
    EXPECT_EQ(v.units, "MHz");
    EXPECT_DOUBLE_EQ(v.frequency.min, -2.5);
    EXPECT_DOUBLE_EQ(v.frequency.max, 2.5);
    ASSERT_EQ(v.f.size(), 1000u);
    EXPECT_DOUBLE_EQ(v.f.front(), -2.5);
    EXPECT_DOUBLE_EQ(v.f.back(), 2.5);
    EXPECT_NEAR(v.f[1] - v.f[0], 5.0 / 999, 1e-12);
    EXPECT_LE(v.level.max - v.level.min, 100);
    EXPECT_EQ(std::fmod(v.level.min, 10), 0);

    // Sample rates not above zero count as 1 Hz; below 1 Hz is in GHz.
    EXPECT_EQ(spectrumView(0, w).units, "Hz");
    EXPECT_EQ(spectrumView(-5, w).units, "Hz");
    EXPECT_EQ(spectrumView(0.25, w).units, "GHz");
    EXPECT_DOUBLE_EQ(spectrumView(0.25, w).frequency.max, 0.125e-9);
}

TEST(SpectrumView, PeakBinLandsAtItsFrequency) {
    // A tone at +1/8 of the sample rate, N = 64: bin 8, after reordering at
    // position 8 + (64 - 31) = 41 of the row (the reordering puts bin 31 first).
    const std::size_t n = 64;
    std::vector<cd> w(n);
    for (std::size_t k = 0; k < n; ++k) w[k] = std::polar(1.0, 2 * std::numbers::pi * 8 * static_cast<double>(k) / n);
    const SpectrumView v = spectrumView(64, w);
    std::size_t at = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (v.magnitude[i] > v.magnitude[at]) at = i;
    EXPECT_EQ(at, 41u);
    EXPECT_DOUBLE_EQ(v.magnitude[at], 0);
}

TEST(DecibelLimits, TensAroundTheValuesAtMostAHundredApart) {
    struct Case {
        std::vector<double> values;
        double min, max;
    };
    const double inf = HUGE_VAL;
    const Case cases[] = {
        {{-3, -47}, -50, 0},
        {{0, -150}, -100, 0},
        {{12, -5}, -10, 20},
        {{5, -inf}, -90, 10},   // an all-zero bin reaches the floor
        {{-inf, -inf}, -100, 0},  // nothing finite at all
        {{std::nan(""), -12}, -20, -10},
    };
    for (const auto& c : cases) {
        const Range r = decibelLimits(c.values);
        EXPECT_EQ(r.min, c.min);
        EXPECT_EQ(r.max, c.max);
    }
}

TEST(SpectrumFigure, WindowAndAxes) {
    const Figure f = spectrumFigure({}, "x", 1228800 * 4.0, std::vector<cd>(32, cd{1, 1}));
    EXPECT_EQ(f.name, "Magnitude Spectrum x");
    EXPECT_EQ(f.position, (std::array<double, 4>{50, 480, 300, 300}));
    const Axes& a = f.axes.at(0);
    EXPECT_EQ(a.xLabel, "Frequency (MHz)");
    EXPECT_EQ(a.yLabel, "LogMag (dB)");
    EXPECT_EQ(a.title, "Spectrum");
    EXPECT_TRUE(a.xGrid && a.yGrid);
    EXPECT_FALSE(a.logY);
    EXPECT_DOUBLE_EQ(a.x.max, 2.4576);
    // In other units, without parent, the frame's default.
    const Figure n = spectrumFigure({std::nullopt, "normalized"}, "x", 1, {});
    EXPECT_EQ(n.position, (std::array<double, 4>{0.1, 0.1, 0.5, 0.5}));
}
