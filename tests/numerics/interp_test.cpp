#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "numerics/interp.hpp"

namespace tolvane {
namespace {

std::vector<double> sine(std::size_t n, double cyclesPerSample, double step = 1.0, double offset = 0.0) {
    const double pi = std::acos(-1.0);
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = std::sin(2 * pi * cyclesPerSample * (offset + i * step) + 0.3);
    return x;
}

TEST(Interp, KeepsTheSamplesAndFillsInBandLimitedValues) {
    for (int r : {1, 2, 3, 4, 15}) {
        const auto x = sine(60, 0.08);
        const Interpolation out = interpolate(x, r);
        ASSERT_EQ(out.y.size(), x.size() * r);
        for (std::size_t n = 0; n < x.size(); ++n) EXPECT_EQ(out.y[n * r], x[n]) << r;
        // Away from the ends the values lie on the underlying sine.
        const auto dense = sine(60 * r, 0.08, 1.0 / r);
        for (std::size_t i = 8 * r; i < (60 - 8) * static_cast<std::size_t>(r); ++i)
            EXPECT_NEAR(out.y[i], dense[i], 1e-3) << "r " << r << " i " << i;
        // Near the ends the reflection keeps them close; past the last
        // sample they are an extrapolation.
        for (std::size_t i = 0; i <= 59 * static_cast<std::size_t>(r); ++i)
            EXPECT_NEAR(out.y[i], dense[i], 0.03) << "r " << r << " i " << i;
        for (std::size_t i = 59 * r; i < out.y.size(); ++i) EXPECT_LT(std::fabs(out.y[i]), 1.5) << "r " << r;
    }
}

TEST(Interp, FilterIsSymmetricWithUnitCentre) {
    const Interpolation out = interpolate(sine(20, 0.1), 3);
    ASSERT_EQ(out.filter.size(), 2u * 4 * 3 + 1);
    EXPECT_EQ(out.filter[12], 1.0);
    for (std::size_t i = 0; i < out.filter.size(); ++i) EXPECT_EQ(out.filter[i], out.filter[out.filter.size() - 1 - i]);
    for (std::size_t i = 0; i < out.filter.size(); i += 3)
        if (i != 12) {
            EXPECT_EQ(out.filter[i], 0.0);
        }
    // Constant rows stay constant: each phase's weights sum to about 1.
    const Interpolation flat = interpolate(std::vector<double>(12, 2.5), 4);
    for (double v : flat.y) EXPECT_NEAR(v, 2.5, 0.02);
}

TEST(Interp, Errors) {
    try {
        interpolate(std::vector<double>(8, 1.0), 2);
        FAIL() << "no error for a short row";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Length of data sequence must be at least 9");
    }
    EXPECT_NO_THROW(interpolate(std::vector<double>(9, 1.0), 2));
    try {
        interpolate(std::vector<double>(20, 1.0), 2.5);
        FAIL() << "no error for a fractional rate";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Resampling rate R must be an integer.");
    }
    try {
        interpolate(std::vector<double>(6, 1.0), 2, 2);
    } catch (const Error&) {
        FAIL() << "l = 2 needs only 5 samples";
    }
    EXPECT_THROW(interpolate(std::vector<double>(20, 1.0), 0), Error);
}

}  // namespace
}  // namespace tolvane
