// The reduction of large traces for drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "display/decimate.hpp"

using namespace tolvane::display;

namespace {

Trace line(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> normal;
    Trace t;
    for (std::size_t k = 0; k < n; ++k) {
        t.x.push_back(static_cast<double>(k));
        t.y.push_back(normal(gen));
    }
    return t;
}

}  // namespace

TEST(DecimateMinMax, KeepsEveryColumnsExtremesInOrder) {
    const std::size_t n = 983040, columns = 700;
    Trace t = line(n, 9);
    t.y[123456] = 50;   // isolated spikes must survive
    t.y[654321] = -50;
    t.color = kMagenta;
    const Trace d = decimateMinMax(t, 0, static_cast<double>(n - 1), columns);
    EXPECT_LE(d.x.size(), 2 * columns + 2);
    EXPECT_EQ(d.color.r, 1);
    EXPECT_TRUE(std::is_sorted(d.x.begin(), d.x.end()));
    EXPECT_NE(std::find(d.y.begin(), d.y.end(), 50.0), d.y.end());
    EXPECT_NE(std::find(d.y.begin(), d.y.end(), -50.0), d.y.end());

    // Per column: the kept points are exactly the column's minimum and maximum.
    const double width = static_cast<double>(n - 1) / columns;
    for (std::size_t c = 0; c < columns; c += 37) {
        double lo = 1e9, hi = -1e9, keptLo = 1e9, keptHi = -1e9;
        for (std::size_t k = 0; k < n; ++k) {
            if (std::min<double>(std::floor(t.x[k] / width), columns - 1) != static_cast<double>(c)) continue;
            lo = std::min(lo, t.y[k]);
            hi = std::max(hi, t.y[k]);
        }
        for (std::size_t k = 0; k < d.x.size(); ++k) {
            if (std::min<double>(std::floor(d.x[k] / width), columns - 1) != static_cast<double>(c)) continue;
            keptLo = std::min(keptLo, d.y[k]);
            keptHi = std::max(keptHi, d.y[k]);
        }
        EXPECT_EQ(lo, keptLo) << c;
        EXPECT_EQ(hi, keptHi) << c;
    }
}

TEST(DecimateMinMax, VisibleRangeWithNeighboursAndSmallTracesUnchanged) {
    const Trace t = line(10000, 2);
    // Zoomed on 100 .. 200 with 1000 columns: few enough points to keep all,
    // plus the neighbours 99 and 201.
    const Trace zoom = decimateMinMax(t, 100, 200, 1000);
    ASSERT_EQ(zoom.x.size(), 103u);
    EXPECT_EQ(zoom.x.front(), 99);
    EXPECT_EQ(zoom.x.back(), 201);
    EXPECT_EQ(zoom.y[1], t.y[100]);

    const Trace small = line(50, 3);
    const Trace same = decimateMinMax(small, 0, 49, 100);
    EXPECT_EQ(same.x, small.x);
    EXPECT_EQ(same.y, small.y);
}

TEST(DecimateMinMax, GapsStayGaps) {
    Trace t = line(100000, 4);
    for (std::size_t k = 40000; k < 41000; ++k) t.y[k] = std::nan("");
    const Trace d = decimateMinMax(t, 0, 99999, 100);
    const auto gaps = std::count_if(d.y.begin(), d.y.end(), [](double v) { return std::isnan(v); });
    EXPECT_GE(gaps, 1);
    // No gap where the data has none.
    for (std::size_t k = 0; k < d.x.size(); ++k) {
        if (std::isnan(d.y[k])) {
            EXPECT_TRUE(d.x[k] >= 39000 && d.x[k] < 42000) << d.x[k];
        }
    }
}

TEST(ThinPath, DropsPointsWithinOnePixelAndKeepsBreaks) {
    // A slow circle: many samples per pixel.
    Trace t;
    t.xAscending = false;
    for (int k = 0; k <= 99000; ++k) {
        const double a = 2 * 3.141592653589793 * k / 100000;
        t.x.push_back(std::cos(a));
        t.y.push_back(std::sin(a));
    }
    const double nan = std::nan("");
    t.x.insert(t.x.begin() + 500, {nan, nan});
    t.y.insert(t.y.begin() + 500, {nan, nan});
    const Trace d = thinPath(t, {-1, 1}, {-1, 1}, 200, 200);
    EXPECT_LT(d.x.size(), 2000u);  // a circle of 200 pixels crosses fewer than 2000 cells
    EXPECT_GT(d.x.size(), 400u);
    EXPECT_EQ(d.x.front(), t.x.front());
    EXPECT_NEAR(d.x.back(), t.x.back(), 0.01);  // within a pixel of the end
    EXPECT_EQ(std::count_if(d.x.begin(), d.x.end(), [](double v) { return std::isnan(v); }), 1);
    // Consecutive kept points are never in the same pixel.
    for (std::size_t k = 1; k < d.x.size(); ++k) {
        if (std::isnan(d.x[k]) || std::isnan(d.x[k - 1])) continue;
        const bool same = std::floor((d.x[k] + 1) * 100) == std::floor((d.x[k - 1] + 1) * 100) &&
                          std::floor((d.y[k] + 1) * 100) == std::floor((d.y[k - 1] + 1) * 100);
        EXPECT_FALSE(same) << k;
    }
}

TEST(ThinPath, OverlaidTracesDrawEachSegmentOnce) {
    // An eye of 3000 identical traces (apart from sub-pixel noise), and one
    // trace that departs from them in its middle.
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> jitter(0, 1e-4);
    Trace eye;
    eye.xAscending = false;
    const double nan = std::nan("");
    for (int k = 0; k < 3000; ++k) {
        for (int j = 0; j <= 30; ++j) {
            eye.x.push_back(j / 30.0);
            eye.y.push_back(std::sin(j / 5.0) + (k == 1500 && j == 15 ? 0.5 : jitter(gen)));
        }
        eye.x.push_back(nan);
        eye.y.push_back(nan);
    }
    const Trace d = thinPath(eye, {0, 1}, {-1.5, 1.5}, 300, 300);
    // One trace's 31 points, plus the departure: two new segments and the
    // breaks around them.
    EXPECT_LE(d.x.size(), 31u + 8u);
    EXPECT_NE(std::find(d.y.begin(), d.y.end(), eye.y[1500 * 32 + 15]), d.y.end());
    EXPECT_FALSE(std::isnan(d.y.back()));
}

TEST(ThinPath, DotsOnePerPixelAndNoneOutside) {
    Trace dots;
    dots.line = LineStyle::None;
    dots.marker = MarkerStyle::Dot;
    dots.x = {0.1, 0.1001, 0.5, 5, -0.9};
    dots.y = {0.1, 0.1001, 0.5, 0, -0.9};
    const Trace d = thinPath(dots, {-1, 1}, {-1, 1}, 100, 100);
    EXPECT_EQ(d.x, (std::vector<double>{0.1, 0.5, -0.9}));
    EXPECT_EQ(d.marker, MarkerStyle::Dot);
}
