#include "numerics/interp.hpp"

#include <Eigen/Dense>

#include <cmath>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"

namespace tolvane {

namespace {

// Autocorrelation of a process with a flat spectrum up to alpha * Nyquist.
double bandLimitedCorrelation(double lag, double alpha) {
    const double u = std::acos(-1.0) * alpha * lag;
    return u == 0.0 ? 1.0 : std::sin(u) / u;
}

// Weights of the 2l neighbours x[n - l + 1] ... x[n + l] for the value at
// n + t, 0 < t < 1: the solution of R w = p with R the neighbours'
// correlation and p their correlation with the wanted sample.
Eigen::VectorXd phaseWeights(double t, int l, double alpha, const Eigen::LDLT<Eigen::MatrixXd>& solver) {
    Eigen::VectorXd p(2 * l);
    for (int i = 0; i < 2 * l; ++i) p(i) = bandLimitedCorrelation(t - (i - l + 1), alpha);
    return solver.solve(p);
}

}  // namespace

Interpolation interpolate(const std::vector<double>& x, double r, int l, double alpha) {
    if (!std::isfinite(r) || std::floor(r) != r) throw Error("Resampling rate R must be an integer.");
    if (r < 1.0) throw Error("Resampling rate R must be at least 1.");
    if (l < 1) throw Error("The number of neighbours L must be at least 1.");
    if (l > kMaxInterpNeighbours)
        throw Error("The number of neighbours L = " + numberText(l) + " exceeds the limit of " +
                    numberText(kMaxInterpNeighbours) + ".");
    if (!(alpha > 0.0 && alpha <= 1.0)) throw Error("The cut-off ALPHA must lie in (0, 1].");
    const std::size_t minLength = 2 * static_cast<std::size_t>(l) + 1;
    if (x.size() < minLength)
        throw Error("Length of data sequence must be at least " + numberText(static_cast<double>(minLength)));
    // The result holds length(x) * R samples; R alone bounds the filter.
    if (r * static_cast<double>(x.size()) > static_cast<double>(kMaxSamples))
        throw Error("Resampling rate R = " + numberText(r) + " would make " +
                    numberText(r * static_cast<double>(x.size())) + " samples; the limit is " +
                    numberText(static_cast<double>(kMaxSamples)) + ".");
    const int rate = static_cast<int>(r);
    const int taps = 2 * l;

    Eigen::MatrixXd R(taps, taps);
    for (int i = 0; i < taps; ++i)
        for (int j = 0; j < taps; ++j) R(i, j) = bandLimitedCorrelation(i - j, alpha);
    const Eigen::LDLT<Eigen::MatrixXd> solver(R);

    // weights[k] for phase k = 1 .. r-1; phase r - k is the mirror image of
    // phase k, which keeps the interpolator exactly symmetric.
    std::vector<Eigen::VectorXd> weights(rate);
    for (int k = 1; k < rate; ++k) {
        if (2 * k <= rate) {
            weights[k] = phaseWeights(static_cast<double>(k) / rate, l, alpha, solver);
        } else {
            weights[k] = weights[rate - k].reverse();
        }
    }

    Interpolation result;
    const long long lr = static_cast<long long>(l) * rate;
    result.filter.assign(static_cast<std::size_t>(2 * lr + 1), 0.0);
    result.filter[static_cast<std::size_t>(lr)] = 1.0;
    for (int k = 1; k < rate; ++k)
        for (int i = 0; i < taps; ++i) {
            const long long j = i - l + 1;  // neighbour offset
            result.filter[static_cast<std::size_t>(k - j * rate + lr)] = weights[k](i);
        }

    // The row continued by point reflection at both ends.
    const long long len = static_cast<long long>(x.size());
    auto sample = [&](long long i) {
        if (i < 0) return 2.0 * x[0] - x[static_cast<std::size_t>(-i)];
        if (i >= len) return 2.0 * x[len - 1] - x[static_cast<std::size_t>(2 * (len - 1) - i)];
        return x[static_cast<std::size_t>(i)];
    };

    result.y.assign(x.size() * static_cast<std::size_t>(rate), 0.0);
    for (long long n = 0; n < len; ++n) {
        result.y[static_cast<std::size_t>(n * rate)] = x[static_cast<std::size_t>(n)];
        for (int k = 1; k < rate; ++k) {
            double sum = 0.0;
            for (int i = 0; i < taps; ++i) sum += weights[k](i) * sample(n + i - l + 1);
            result.y[static_cast<std::size_t>(n * rate + k)] = sum;
        }
    }
    return result;
}

}  // namespace tolvane
