#include "numerics/freq2fir.hpp"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"

namespace tolvane {

namespace {

using cplx = std::complex<double>;

// Piecewise-linear interpolation of values v given at the increasing
// abscissae t, at the point c (t[0] <= c <= t.back()).
template <typename T>
T linear(const std::vector<double>& t, const std::vector<T>& v, double c) {
    auto it = std::upper_bound(t.begin(), t.end(), c);
    std::size_t hi = static_cast<std::size_t>(it - t.begin());
    if (hi >= t.size()) return v.back();
    if (hi == 0) return v.front();
    const std::size_t lo = hi - 1;
    const double w = (c - t[lo]) / (t[hi] - t[lo]);
    return v[lo] + (v[hi] - v[lo]) * w;
}

}  // namespace

std::vector<cplx> freq2fir(long long n, const std::vector<double>& F, const std::vector<cplx>& H, double SR) {
    if (F.size() != H.size()) throw Error("F must be the same size as H");
    if (n < 1) throw Error("N must be greater than 1.");
    if (n % 2 == 0) throw Error("N must be an odd integer");
    if (n > kMaxLeastSquaresTaps)
        throw Error("N = " + numberText(static_cast<double>(n)) + " exceeds the limit of " +
                    numberText(static_cast<double>(kMaxLeastSquaresTaps)) + " taps.");
    if (F.empty()) throw Error("F must hold at least one frequency.");
    const double taps = static_cast<double>(n);
    const double mostPoints =
        std::floor(std::min(static_cast<double>(kMaxSamples) / taps, kMaxLeastSquaresWork / (taps * taps)));
    if (static_cast<double>(F.size()) > mostPoints)
        throw Error("\"F\" holds " + numberText(static_cast<double>(F.size())) + " frequencies; a design of N = " +
                    numberText(taps) + " taps takes at most " + numberText(mostPoints) + ".");
    if (2.0 * *std::max_element(F.begin(), F.end()) > SR) throw Error("SR must be greater than 2*max{F}.");
    const long long m = (n - 1) / 2;
    const double pi = std::acos(-1.0);
    Eigen::MatrixXcd Z(static_cast<Eigen::Index>(F.size()), static_cast<Eigen::Index>(n));
    Eigen::VectorXcd rhs(static_cast<Eigen::Index>(F.size()));
    for (std::size_t p = 0; p < F.size(); ++p) {
        for (long long k = -m; k <= m; ++k)
            Z(static_cast<Eigen::Index>(p), static_cast<Eigen::Index>(k + m)) =
                std::polar(1.0, -2.0 * pi * F[p] * static_cast<double>(k) / SR);
        rhs(static_cast<Eigen::Index>(p)) = std::conj(H[p]);
    }
    const Eigen::VectorXcd h = Z.colPivHouseholderQr().solve(rhs);
    return std::vector<cplx>(h.data(), h.data() + h.size());
}

std::vector<cplx> createRealFIR(long long n, const std::vector<double>& F, const std::vector<cplx>& H, double SR) {
    n = std::max<long long>(3, n);
    if (n % 2 == 0) ++n;
    if (n > kMaxLeastSquaresTaps)
        throw Error("N = " + numberText(static_cast<double>(n)) + " exceeds the limit of " +
                    numberText(static_cast<double>(kMaxLeastSquaresTaps)) + " taps.");
    if (F.size() != H.size()) throw Error("F must be the same size as H");
    if (!(SR > 0.0)) throw Error("SR > 0 The sample rate must be greater than zero.");
    if (F.empty()) throw Error("F must hold at least two different frequencies.");

    // Centre the frequency axis.
    const auto [lowIt, highIt] = std::minmax_element(F.begin(), F.end());
    const double centre = (*highIt + *lowIt) / 2.0;
    std::vector<double> f(F.size());
    for (std::size_t i = 0; i < F.size(); ++i) f[i] = F[i] - centre;
    std::vector<cplx> h = H;

    // Keep only the points from the first to the last one within SR/2.
    const double fMax = std::max(std::fabs(*lowIt - centre), std::fabs(*highIt - centre));
    if (fMax > SR / 2.0) {
        std::size_t first = f.size(), last = 0;
        for (std::size_t i = 0; i < f.size(); ++i)
            if (std::fabs(f[i]) <= SR / 2.0) {
                first = std::min(first, i);
                last = i;
            }
        if (first == f.size()) throw Error("No frequency point lies within half the sample rate.");
        f = std::vector<double>(f.begin() + static_cast<std::ptrdiff_t>(first),
                                f.begin() + static_cast<std::ptrdiff_t>(last + 1));
        h = std::vector<cplx>(h.begin() + static_cast<std::ptrdiff_t>(first),
                              h.begin() + static_cast<std::ptrdiff_t>(last + 1));
    }

    // Normalised positions 0 ... 1, in increasing order.
    std::vector<std::size_t> order(f.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return f[a] < f[b]; });
    const double fLow = f[order.front()];
    const double span = f[order.back()] - fLow;
    if (!(span > 0.0)) throw Error("F must hold at least two different frequencies.");
    std::vector<double> t, fs;
    std::vector<cplx> hs;
    for (std::size_t i : order) {
        const double ti = (f[i] - fLow) / span;
        if (!t.empty() && ti == t.back()) throw Error("F must not repeat a frequency.");
        t.push_back(ti);
        fs.push_back(f[i]);
        hs.push_back(h[i]);
    }

    // Resample at 5000 points and invert the response.
    constexpr int points = 5000;
    std::vector<double> fl(points);
    std::vector<cplx> hl(points);
    for (int i = 0; i < points; ++i) {
        const double c = static_cast<double>(i) / (points - 1);
        fl[i] = linear(t, fs, c);
        hl[i] = 1.0 / linear(t, hs, c);
    }
    return freq2fir(n, fl, hl, SR);
}

}  // namespace tolvane
