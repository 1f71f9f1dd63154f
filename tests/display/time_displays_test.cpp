// The display frame's placement, and the time, eye, scatter and waterfall
// displays.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "display/eye_diagram.hpp"
#include "display/frame.hpp"
#include "display/iq_time.hpp"
#include "display/scatter_diagram.hpp"
#include "display/waterfall.hpp"
#include "base/diagnostics.hpp"

using namespace tolvane::display;
using cd = std::complex<double>;
using Pos = std::array<double, 4>;

namespace {

void expectPosition(const Pos& got, const Pos& want) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << i;
}

std::vector<cd> ramp(std::size_t n) {
    std::vector<cd> w(n);
    for (std::size_t k = 0; k < n; ++k) w[k] = {static_cast<double>(k), -static_cast<double>(k) / 2};
    return w;
}

}  // namespace

TEST(DisplayFrame, PlacementFromParentOrDefaults) {
    const Placement parent{Pos{100, 200, 500, 400}, "pixels"};
    // 0.8 of the size: 400 x 320, then right by 40 and down by 32.
    expectPosition(framePosition(parent), {140, 168, 400, 320});
    expectPosition(framePosition({std::nullopt, "pixels"}), {150, 150, 340, 340});
    expectPosition(framePosition({std::nullopt, "normalized"}), {0.1, 0.1, 0.5, 0.5});
    expectPosition(framePosition({std::nullopt, "pixels"}, {50, 480, 300, 300}), {50, 480, 300, 300});
    // A parent in normalized units keeps its units.
    const Figure f = frameFigure("CCDF ", "x", {Pos{0.2, 0.2, 0.5, 0.5}, "normalized"});
    EXPECT_EQ(f.units, "normalized");
    expectPosition(f.position, {0.24, 0.16, 0.4, 0.4});

    // The waterfall's own placement: 0.2 of the new size.
    expectPosition(waterfallPosition(parent), {180, 136, 400, 320});
    expectPosition(waterfallPosition({std::nullopt, "pixels"}), {100, 100, 300, 300});
    expectPosition(waterfallPosition({std::nullopt, "normalized"}), {0, 0, 0.5, 0.5});
}

TEST(IqTimeDisplay, EmptyWaveformShowsCosineAndSine) {
    const IqTimeView v = iqTimeView(1000, {});
    ASSERT_EQ(v.i.size(), 100u);
    EXPECT_TRUE(v.noData);
    EXPECT_NEAR(v.i.front(), 1, 1e-12);   // cos(-2 pi)
    EXPECT_NEAR(v.q.front(), 0, 1e-12);
    EXPECT_NEAR(v.i.back(), 1, 1e-12);    // cos(2 pi)
    const double a = -2 * std::numbers::pi + 25 * 4 * std::numbers::pi / 99;
    EXPECT_NEAR(v.q[25], std::sin(a), 1e-12);
    const Figure f = iqTimeFigure({}, "Ignored", 1000, false, {});
    EXPECT_EQ(f.name, "I(t) Q(t) No Data");
}

TEST(IqTimeDisplay, SymmetricSharedAmplitudeAndTimeAxis) {
    // I reaches 3, Q only -5 .. 0.5: both axes run from -5 to 5.
    const std::vector<cd> w = {{3, 0.5}, {1, -5}, {0, 0}, {2, 0}};
    const IqTimeView v = iqTimeView(2e6, w);
    EXPECT_DOUBLE_EQ(v.amplitude.min, -5);
    EXPECT_DOUBLE_EQ(v.amplitude.max, 5);
    // 4 samples at 2 MHz: 2 us, in uS; t from 0 to 2 in 4 points.
    EXPECT_EQ(v.units, "uS");
    EXPECT_EQ(v.t, (std::vector<double>{0, 2.0 / 3, 4.0 / 3, 2}));

    const Figure separate = iqTimeFigure({}, "L", 2e6, false, w);
    EXPECT_EQ(separate.name, "I(t) Q(t) L");
    ASSERT_EQ(separate.axes.size(), 2u);
    const Axes& upper = separate.axes[0];
    const Axes& lower = separate.axes[1];
    EXPECT_EQ(upper.tag, "QV_Iwave");
    EXPECT_EQ(lower.tag, "QV_Qwave");
    EXPECT_EQ(upper.title, "I(t)");
    EXPECT_EQ(lower.title, "Q(t)");
    EXPECT_EQ(upper.xLabel, "");
    EXPECT_EQ(lower.xLabel, "Time (uS)");
    EXPECT_EQ(upper.yLabel, "Amplitude (V)");
    EXPECT_DOUBLE_EQ(lower.y.max, 5);
    EXPECT_EQ(lower.traces[0].y, v.q);
    expectPosition(upper.position, {0.156, 0.5838, 0.775, 0.3412 / 1.1});
    expectPosition(lower.position, {0.156, 0.132, 0.775, 0.3412 / 1.1});

    const Figure overlay = iqTimeFigure({}, "L", 2e6, true, w);
    ASSERT_EQ(overlay.axes.size(), 1u);
    EXPECT_EQ(overlay.axes[0].tag, "QV_IQwave");
    EXPECT_EQ(overlay.axes[0].title, "I(t) Q(t)");
    ASSERT_EQ(overlay.axes[0].traces.size(), 2u);
    EXPECT_EQ(overlay.axes[0].traces[1].color.r, 1);  // Q in magenta
    EXPECT_EQ(overlay.axes[0].traces[1].color.g, 0);
    EXPECT_EQ(overlay.axes[0].traces[1].color.b, 1);
}

TEST(EyeDiagram, ArgumentClamps) {
    struct Case {
        double n, period, offset;
        std::size_t wantN;
        double wantPeriod;
        std::size_t wantOffset;
    };
    const Case cases[] = {
        {0, 1e-6, 0, 1, 1e-6, 0},       // n = 0 uses 1
        {8, 1e-6, 20, 8, 1e-6, 7},      // offset cut to n - 1
        {8, 1e-6, -3, 8, 1e-6, 0},      // negative offset becomes 0
        {8, 0, 2, 8, 1, 2},             // period 0 becomes 1
        {std::nan(""), 2, std::nan(""), 1, 2, 0},
        {7.6, 1, 2.5, 8, 1, 3},         // whole samples
    };
    for (const auto& c : cases) {
        const EyeArguments a = clampEyeArguments(c.n, c.period, c.offset);
        EXPECT_EQ(a.n, c.wantN) << c.n;
        EXPECT_EQ(a.period, c.wantPeriod) << c.n;
        EXPECT_EQ(a.offset, c.wantOffset) << c.n;
    }
    EXPECT_THROW(clampEyeArguments(4, -1, 0), tolvane::Error);
    EXPECT_THROW(clampEyeArguments(4, HUGE_VAL, 0), tolvane::Error);

    const ScatterArguments s = clampScatterArguments(0, 5);
    EXPECT_EQ(s.n, 1u);
    EXPECT_EQ(s.offset, 0u);
    EXPECT_EQ(clampScatterArguments(4, 9).offset, 3u);
}

TEST(EyeDiagram, TracesOverlaidFromTheOffset) {
    // 11 samples, 4 per trace from offset 1: traces start at 1 and 5 (a
    // third would need samples 9..12), each joined to the next trace's first.
    const auto w = ramp(11);
    const Figure f = eyeDiagramFigure({}, "L", w, 4, 4e-6, 1);
    EXPECT_EQ(f.name, "Eye Diagram L");
    EXPECT_TRUE(f.displayMenus);
    ASSERT_EQ(f.axes.size(), 2u);
    EXPECT_EQ(f.axes[0].tag, "QV_EyeI");
    EXPECT_EQ(f.axes[1].tag, "QV_EyeQ");
    EXPECT_EQ(f.axes[1].xLabel, "Time (uS)");
    const Trace& i = f.axes[0].traces.at(0);
    EXPECT_FALSE(i.xAscending);
    const double nan = std::nan("");
    const std::vector<double> wantY = {1, 2, 3, 4, 5, nan, 5, 6, 7, 8, 9};
    const std::vector<double> wantX = {0, 1, 2, 3, 4, nan, 0, 1, 2, 3, 4};
    ASSERT_EQ(i.y.size(), wantY.size());
    for (std::size_t k = 0; k < wantY.size(); ++k) {
        if (std::isnan(wantY[k])) {
            EXPECT_TRUE(std::isnan(i.y[k]) && std::isnan(i.x[k])) << k;
            continue;
        }
        EXPECT_DOUBLE_EQ(i.y[k], wantY[k]) << k;
        EXPECT_NEAR(i.x[k], wantX[k], 1e-12) << k;  // 1 us per sample
    }
    EXPECT_DOUBLE_EQ(f.axes[1].traces[0].y[1], -1);
    EXPECT_DOUBLE_EQ(f.axes[0].x.max, 4);
    EXPECT_DOUBLE_EQ(f.axes[0].y.max, 9);  // the largest |I| or |Q| drawn
}

TEST(EyeDiagram, RefusesWhatCannotBeDrawn) {
    EXPECT_THROW(eyeDiagramFigure({}, "L", {}, 4, 1, 0), tolvane::Error);
    EXPECT_THROW(eyeDiagramFigure({}, "L", ramp(5), 4, 1, 2), tolvane::Error);  // 2 + 4 > 5
    EXPECT_NO_THROW(eyeDiagramFigure({}, "L", ramp(6), 4, 1, 2));
    EXPECT_THROW(scatterDiagramFigure({}, "L", {}, 4, 0, true), tolvane::Error);
    EXPECT_THROW(scatterDiagramFigure({}, "L", ramp(2), 4, 3, true), tolvane::Error);
}

TEST(ScatterDiagram, CyanLineThroughAllSamplesAndBlueDots) {
    const auto w = ramp(10);
    const Figure on = scatterDiagramFigure({}, "L", w, 4, 1, true);
    EXPECT_EQ(on.name, "Scatter Diagram L");
    const Axes& a = on.axes.at(0);
    EXPECT_EQ(a.tag, "QV_Scatter");
    EXPECT_TRUE(a.equalAspect);
    ASSERT_EQ(a.traces.size(), 2u);
    const Trace& line = a.traces[0];
    const Trace& dots = a.traces[1];
    EXPECT_EQ(line.x.size(), 10u);
    EXPECT_EQ(line.color.g, 1);
    EXPECT_EQ(line.color.r, 0);
    EXPECT_EQ(line.line, LineStyle::Solid);
    EXPECT_EQ(dots.line, LineStyle::None);
    EXPECT_EQ(dots.marker, MarkerStyle::Dot);
    EXPECT_EQ(dots.color.b, 1);
    EXPECT_EQ(dots.x, (std::vector<double>{1, 5, 9}));
    EXPECT_EQ(dots.y, (std::vector<double>{-0.5, -2.5, -4.5}));
    EXPECT_GE(a.x.max, 9);
    EXPECT_DOUBLE_EQ(a.x.max, a.y.max);

    const Figure off = scatterDiagramFigure({}, "L", w, 4, 1, false);
    ASSERT_EQ(off.axes[0].traces.size(), 1u);
    EXPECT_EQ(off.axes[0].traces[0].marker, MarkerStyle::Dot);
}

TEST(Waterfall, SnapshotSplit) {
    struct Case {
        double rate, period;
        std::size_t points, n, m;
    };
    const Case cases[] = {
        {1000, 0.05, 1000, 50, 20},
        {1000, 0.001, 1000, 10, 100},     // shorter than 10 samples: 10
        {1000, 0, 95, 10, 10},            // no period: 10 samples, last snapshot padded
        {1000, -1, 95, 10, 10},
        {1000, std::nan(""), 30, 10, 3},
        {1000, 1e9, 500, 500, 1},         // capped at the waveform
        {1000, 1e9, 4, 10, 1},
        {0, 5, 100, 10, 10},              // rate 0 counts as 1 Hz: 5 samples, so 10
        {1000, 0.0123, 1000, 13, 77},     // part of a sample: one more
        {36.864e6, 983040 / 36.864e6 / 200, 983040, 4916, 200},
        {6.144e6, 163840 / 6.144e6 / 200, 163840, 820, 200},
    };
    for (const auto& c : cases) {
        const WaterfallSplit s = waterfallSplit(c.rate, c.period, c.points);
        EXPECT_EQ(s.n, c.n) << c.period << " " << c.points;
        EXPECT_EQ(s.m, c.m) << c.period << " " << c.points;
    }
}

TEST(Waterfall, SpectraOfSnapshotsWithAxes) {
    // A constant in the first snapshot, a tone in the second, zeros padded.
    const std::size_t n = 16;
    std::vector<cd> w(2 * n + 3, cd{1, 0});
    for (std::size_t k = n; k < 2 * n; ++k) w[k] = std::polar(2.0, 2 * std::numbers::pi * 2 * double(k) / n);
    const WaterfallView v = waterfallView(1000, 0.016, w);
    ASSERT_EQ(v.surface.x.size(), n);
    ASSERT_EQ(v.surface.y.size(), 3u);
    ASSERT_EQ(v.surface.z.size(), 3 * n);
    // First row: the constant's bin 0 (16^2: 24.08 dB) at position n - n/2 + 1 = 9.
    EXPECT_NEAR(v.surface.z[9], 20 * std::log10(16.0), 1e-9);
    EXPECT_EQ(v.surface.z[0], -HUGE_VAL);  // an exact zero bin
    // Second row: the tone at bin 2, real part 32: position 9 + 2.
    EXPECT_NEAR(v.surface.z[n + 11], 20 * std::log10(32.0), 1e-9);
    EXPECT_EQ(v.level.max, 40);
    EXPECT_EQ(v.level.min, -60);
    // 3 snapshots of 16 ms: 48 ms in mS, rows 16 ms apart.
    EXPECT_EQ(v.timeUnits, "mS");
    EXPECT_EQ(v.surface.y, (std::vector<double>{0, 16, 32}));
    EXPECT_DOUBLE_EQ(v.time.max, 32);
    EXPECT_EQ(v.frequencyUnits, "kHz");
    EXPECT_DOUBLE_EQ(v.surface.x.front(), -0.5);
    EXPECT_DOUBLE_EQ(v.surface.x.back(), 0.5);
}

TEST(Waterfall, EmptyWaveformTestPictureAndFigure) {
    const WaterfallView v = waterfallView(1000, 0.5, {});
    ASSERT_EQ(v.surface.z.size(), 50u);
    const double half = 20 * std::log10(0.5);
    for (std::size_t row = 0; row < 5; ++row)
        for (std::size_t col = 0; col < 10; ++col)
            EXPECT_DOUBLE_EQ(v.surface.z[row * 10 + col], row == 2 || col == 4 ? half : 0) << row << "," << col;
    EXPECT_EQ(v.level.min, -10);
    EXPECT_EQ(v.level.max, 0);

    const Figure f = waterfallFigure({}, "L", 1000, 0.5, {});
    EXPECT_EQ(f.name, "Spectrum Waterfall L");
    EXPECT_FALSE(f.displayMenus);
    const Axes& a = f.axes.at(0);
    EXPECT_EQ(a.xLabel, "Frequency (kHz)");
    EXPECT_EQ(a.yLabel, "Time (mS)");
    EXPECT_EQ(a.zLabel, "LogMag (dB)");
    EXPECT_EQ(a.title, "Spectrum");
    ASSERT_TRUE(a.surface && a.z);
    EXPECT_EQ(a.z->min, -10);
}

TEST(Waterfall, AllZeroWaveformHasFiniteLimits) {
    const WaterfallView v = waterfallView(1000, 0.01, std::vector<cd>(40, cd{0, 0}));
    EXPECT_EQ(v.level.min, -100);
    EXPECT_EQ(v.level.max, 0);
}
