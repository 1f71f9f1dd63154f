#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "numerics/fft.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

std::vector<cplx> naiveDft(const std::vector<cplx>& x, double sign) {
    const std::size_t n = x.size();
    const double pi = std::acos(-1.0);
    std::vector<cplx> out(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t t = 0; t < n; ++t)
            out[k] += x[t] * std::polar(1.0, sign * 2.0 * pi * static_cast<double>((k * t) % n) / n);
    return out;
}

std::vector<cplx> testRow(std::size_t n) {
    std::vector<cplx> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = {std::sin(0.37 * i + 0.1), std::cos(1.3 * i * i + 0.2)};
    return x;
}

TEST(Fft, AnyLengthMatchesTheDefinitionBothWays) {
    for (std::size_t n : {1u, 2u, 7u, 12u, 97u, 120u, 243u}) {
        const auto x = testRow(n);
        const auto X = fft(x);
        const auto ref = naiveDft(x, -1.0);
        for (std::size_t k = 0; k < n; ++k) EXPECT_LT(std::abs(X[k] - ref[k]), 1e-11 * n) << n << " " << k;
        const auto back = ifft(X);
        for (std::size_t k = 0; k < n; ++k) EXPECT_LT(std::abs(back[k] - x[k]), 1e-13 * n) << n << " " << k;
        auto inPlace = x;
        fftInPlace(inPlace);
        for (std::size_t k = 0; k < n; ++k) EXPECT_EQ(inPlace[k], X[k]);
        ifftInPlace(inPlace);
        for (std::size_t k = 0; k < n; ++k) EXPECT_LT(std::abs(inPlace[k] - x[k]), 1e-13 * n);
    }
}

TEST(Fft, RealInputAndEmptyRows) {
    const std::vector<double> r{1.0, 2.0, 3.0, 4.0};
    const auto X = fft(r);
    EXPECT_NEAR(X[0].real(), 10.0, 1e-14);
    EXPECT_NEAR(X[1].real(), -2.0, 1e-14);
    EXPECT_NEAR(X[1].imag(), 2.0, 1e-14);
    EXPECT_TRUE(fft(std::vector<cplx>{}).empty());
    EXPECT_TRUE(ifft(std::vector<cplx>{}).empty());
}

TEST(Fft, PlansAreReusedAndReleased) {
    releaseFftPlans();
    EXPECT_EQ(fftPlanCount(), 0u);
    auto x = testRow(64);
    fftInPlace(x);
    const std::size_t afterFirst = fftPlanCount();
    EXPECT_GE(afterFirst, 1u);
    for (int i = 0; i < 5; ++i) fftInPlace(x);
    EXPECT_EQ(fftPlanCount(), afterFirst);
    releaseFftPlans();
    EXPECT_EQ(fftPlanCount(), 0u);
    fftInPlace(x);  // planning again after a release works
    EXPECT_GE(fftPlanCount(), 1u);
}

}  // namespace
}  // namespace tolvane
