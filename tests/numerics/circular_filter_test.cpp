#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "numerics/circular_filter.hpp"
#include "base/diagnostics.hpp"
#include "../support/signal_checks.hpp"

namespace tolvane {
namespace {

std::vector<cplx> testRow(std::size_t n, double seed = 0.0) {
    std::vector<cplx> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = {std::sin(0.71 * i + seed) + 0.3 * std::cos(2.3 * i * i), std::cos(0.53 * i * i + 1.7 * seed)};
    return x;
}

std::vector<double> testTaps(std::size_t n) {
    std::vector<double> h(n);
    for (std::size_t k = 0; k < n; ++k) h[k] = std::sin(1.9 * k + 0.4) / (1.0 + 0.1 * k);
    return h;
}

// The closed form y[n] = sum_k h[k] x[(n + D - k) mod N], term by term.
template <typename Tap>
std::vector<cplx> closedForm(const std::vector<cplx>& x, const std::vector<Tap>& h, long long delay) {
    const long long n = static_cast<long long>(x.size());
    std::vector<cplx> y(x.size());
    for (long long i = 0; i < n; ++i)
        for (std::size_t k = 0; k < h.size(); ++k) {
            long long j = (i + delay - static_cast<long long>(k)) % n;
            if (j < 0) j += n;
            y[i] += h[k] * x[j];
        }
    return y;
}

using testing_support::directForm;

// The circular application step by step: extend with the last filtlen - 1
// samples, filter, keep the last N outputs, rotate left by `advance`.
std::vector<cplx> extendFilterRotate(const std::vector<cplx>& x, const std::vector<double>& b,
                                     const std::vector<double>& a, std::size_t filtlen, std::size_t advance) {
    const std::size_t n = x.size();
    std::vector<cplx> ext(x.end() - static_cast<std::ptrdiff_t>(filtlen - 1), x.end());
    ext.insert(ext.end(), x.begin(), x.end());
    const std::vector<cplx> f = directForm(b, a, ext);
    std::vector<cplx> kept(f.begin() + static_cast<std::ptrdiff_t>(filtlen - 1), f.end());
    std::vector<cplx> y(n);
    for (std::size_t i = 0; i < n; ++i) y[i] = kept[(i + advance) % n];
    return y;
}

using testing_support::relativeError;

TEST(CircularConvolve, EqualsTheClosedForm) {
    struct Case {
        std::size_t n, taps;
        long long delay;
    } cases[] = {
        {50, 1, 0},      {50, 3, 1},       {50, 31, 15},    {1000, 32, 16},  // direct loop
        {3000, 33, 16},  {5000, 320, 29},  {4096, 780, 390},                 // FFT blocks
        {40, 120, -7},   {10, 3, 0},       {1, 5, 2},       {200, 7, 1000},  // wraps, odd delays
    };
    for (const auto& c : cases) {
        const auto x = testRow(c.n);
        const auto h = testTaps(c.taps);
        EXPECT_LT(relativeError(circularConvolve(x, h, c.delay), closedForm(x, h, c.delay)), 1e-12)
            << "n " << c.n << " taps " << c.taps << " delay " << c.delay;
    }
}

TEST(CircularConvolve, MatchesExtendFilterRotateAndTheWrapExample) {
    // h = [a b c], D = 1: y[0] = a x[1] + b x[0] + c x[N-1].
    const auto x = testRow(9);
    const std::vector<double> h{0.5, -2.0, 3.0};
    const auto y = circularConvolve(x, h, 1);
    EXPECT_LT(std::abs(y[0] - (0.5 * x[1] - 2.0 * x[0] + 3.0 * x[8])), 1e-15);
    for (std::size_t taps : {3u, 31u, 200u}) {
        const auto row = testRow(1000, 0.3);
        const auto hh = testTaps(taps);
        EXPECT_LT(relativeError(circularConvolve(row, hh, static_cast<long long>(taps / 2)),
                                extendFilterRotate(row, hh, {1.0}, taps, taps / 2)),
                  1e-12)
            << taps;
    }
}

TEST(CircularConvolve, ComplexTaps) {
    std::vector<cplx> h;
    for (std::size_t k = 0; k < 31; ++k) h.push_back({std::cos(0.4 * k), std::sin(0.9 * k)});
    std::vector<cplx> longH;
    for (std::size_t k = 0; k < 150; ++k) longH.push_back({std::cos(0.2 * k), std::sin(0.7 * k) / (1 + k)});
    const auto x = testRow(2000);
    EXPECT_LT(relativeError(circularConvolve(x, h, 15), closedForm(x, h, 15)), 1e-12);
    EXPECT_LT(relativeError(circularConvolve(x, longH, 75), closedForm(x, longH, 75)), 1e-12);
}

TEST(CircularConvolve, RotatingTheInputRotatesTheOutput) {
    const auto x = testRow(500);
    for (std::size_t taps : {13u, 260u}) {
        const auto h = testTaps(taps);
        const auto y = circularConvolve(x, h, static_cast<long long>(taps / 2));
        const std::size_t k = 37;
        std::vector<cplx> rotated(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) rotated[i] = x[(i + k) % x.size()];
        const auto yr = circularConvolve(rotated, h, static_cast<long long>(taps / 2));
        std::vector<cplx> expected(x.size());
        for (std::size_t i = 0; i < x.size(); ++i) expected[i] = y[(i + k) % x.size()];
        EXPECT_LT(relativeError(yr, expected), 1e-12) << taps;
    }
}

TEST(CircularConvolveUpsampled, EqualsFilteringTheZeroStuffedRow) {
    struct Case {
        std::size_t chips;
        int factor;
        std::size_t taps;
        long long delay;
    } cases[] = {
        {64, 1, 26, 13},  {100, 2, 52, 26},  {100, 4, 104, 52},  {80, 5, 130, 65}, {40, 30, 780, 390},
        {100, 3, 7, 0},   {50, 4, 49, -5},   {3, 5, 60, 30},     {1, 2, 5, 1},
    };
    for (const auto& c : cases) {
        const auto chips = testRow(c.chips, 0.9);
        std::vector<cplx> stuffed(c.chips * c.factor);
        for (std::size_t q = 0; q < c.chips; ++q) stuffed[q * c.factor] = chips[q];
        const auto h = testTaps(c.taps);
        EXPECT_LT(relativeError(circularConvolveUpsampled(chips, c.factor, h, c.delay),
                                closedForm(stuffed, h, c.delay)),
                  1e-12)
            << "chips " << c.chips << " factor " << c.factor << " taps " << c.taps;
    }
    EXPECT_THROW(circularConvolveUpsampled(testRow(4), 0, {1.0}, 0), Error);
}

TEST(CircularIir, EqualsExtendFilterRotate) {
    const std::vector<double> b{0.2, -0.5, 1.0}, a{1.0, -0.5, 0.2};  // an all-pass section
    const std::vector<double> b3{0.1, 0.2, 0.3, 0.1}, a3{2.0, -0.4, 0.1, 0.05};
    std::vector<double> b3n, a3n;
    for (double v : b3) b3n.push_back(v / 2.0);
    for (double v : a3) a3n.push_back(v / 2.0);
    const auto x = testRow(700);
    EXPECT_LT(relativeError(circularIir(x, b, a, 125, 9), extendFilterRotate(x, b, a, 125, 9)), 1e-12);
    EXPECT_LT(relativeError(circularIir(x, b3, a3, 40, 3), extendFilterRotate(x, b3n, a3n, 40, 3)), 1e-12);
    EXPECT_LT(relativeError(circularIir(x, b, a, 1, 0), extendFilterRotate(x, b, a, 1, 0)), 1e-12);
    // An FIR filter with a record at least as long as the filter is the
    // circular convolution.
    const auto h = testTaps(20);
    EXPECT_LT(relativeError(circularIir(x, h, {1.0}, 21, 5), circularConvolve(x, h, 5)), 1e-12);
    EXPECT_THROW(circularIir(x, b, {0.0, 1.0}, 10, 0), Error);
}

TEST(CircularIir, WarmUpLongerThanTheRowWrapsAround) {
    // Extending with 10 copies of a 7-sample row is the same as a warm-up of 70.
    const std::vector<double> b{0.2, -0.5, 1.0}, a{1.0, -0.5, 0.2};
    const auto x = testRow(7);
    std::vector<cplx> repeated;
    for (int i = 0; i < 11; ++i) repeated.insert(repeated.end(), x.begin(), x.end());
    const auto got = circularIir(x, b, a, 71, 2);
    // The last 7 outputs of the repeated row, rotated, are the wanted ones.
    std::vector<cplx> want(7);
    const auto full = directForm(b, a, repeated);
    for (std::size_t i = 0; i < 7; ++i) want[i] = full[70 + (i + 2) % 7];
    EXPECT_LT(relativeError(got, want), 1e-12);
}

TEST(CircularFilters, EmptyRows) {
    EXPECT_TRUE(circularConvolve(std::vector<cplx>{}, std::vector<double>{1.0}, 0).empty());
    EXPECT_TRUE(circularConvolveUpsampled({}, 3, {1.0}, 0).empty());
    EXPECT_TRUE(circularIir({}, {1.0}, {1.0}, 5, 0).empty());
}

}  // namespace
}  // namespace tolvane
