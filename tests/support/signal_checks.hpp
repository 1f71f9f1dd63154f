// Small references shared by the signal tests: random bits, a plain
// direct-form filter, and the relative error between two sample rows.
#pragma once

#include <algorithm>
#include <complex>
#include <cstddef>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace tolvane::testing_support {

// n bits 0/1 from a seeded generator.
inline std::vector<double> randomBits(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<double> bits(n);
    for (auto& b : bits) b = static_cast<double>(gen() & 1U);
    return bits;
}

// Direct-form filter from zero state: y[n] = sum b[k] x[n-k] - sum a[k] y[n-k].
inline std::vector<std::complex<double>> directForm(const std::vector<double>& b, const std::vector<double>& a,
                                                    const std::vector<std::complex<double>>& x) {
    std::vector<std::complex<double>> y(x.size());
    for (std::size_t n = 0; n < x.size(); ++n) {
        std::complex<double> acc{};
        for (std::size_t k = 0; k < b.size() && k <= n; ++k) acc += b[k] * x[n - k];
        for (std::size_t k = 1; k < a.size() && k <= n; ++k) acc -= a[k] * y[n - k];
        y[n] = acc;
    }
    return y;
}

// Largest sample error relative to the largest reference sample (absolute
// when the reference is all zero); the lengths must agree.
inline double relativeError(const std::vector<std::complex<double>>& got,
                            const std::vector<std::complex<double>>& want) {
    EXPECT_EQ(got.size(), want.size());
    double peak = 0.0, worst = 0.0;
    for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        peak = std::max(peak, std::abs(want[i]));
        worst = std::max(worst, std::abs(got[i] - want[i]));
    }
    return peak > 0.0 ? worst / peak : worst;
}

}  // namespace tolvane::testing_support
