#include "numerics/bilinear.hpp"

#include <cmath>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"

namespace tolvane {

namespace {

// Product of two polynomials in descending powers.
std::vector<double> multiply(const std::vector<double>& p, const std::vector<double>& q) {
    std::vector<double> r(p.size() + q.size() - 1, 0.0);
    for (std::size_t i = 0; i < p.size(); ++i)
        for (std::size_t j = 0; j < q.size(); ++j) r[i + j] += p[i] * q[j];
    return r;
}

// sum_i c[i] K^(n-i) (z - 1)^(n-i) (z + 1)^i, descending powers of z.
std::vector<double> substitute(const std::vector<double>& c, double k) {
    const std::size_t n = c.size() - 1;
    std::vector<double> result(n + 1, 0.0);
    for (std::size_t i = 0; i <= n; ++i) {
        std::vector<double> term{1.0};
        for (std::size_t j = 0; j < n - i; ++j) term = multiply(term, {k, -k});
        for (std::size_t j = 0; j < i; ++j) term = multiply(term, {1.0, 1.0});
        for (std::size_t t = 0; t <= n; ++t) result[t] += c[i] * term[t];
    }
    return result;
}

}  // namespace

DigitalFilter bilinear(const std::vector<double>& num, const std::vector<double>& den, double fs,
                       std::optional<double> prewarpHz) {
    if (den.empty()) throw Error("The denominator must not be empty.");
    if (den.size() > kMaxAnalogCoefficients)
        throw Error("\"den\" has " + numberText(static_cast<double>(den.size())) +
                    " coefficients; the bilinear transform takes at most " +
                    numberText(static_cast<double>(kMaxAnalogCoefficients)) + ".");
    if (num.size() > den.size()) throw Error("Numerator cannot be higher order than denominator.");
    if (!(fs > 0.0) || !std::isfinite(fs)) throw Error("The sample rate must be positive.");
    double k = 2.0 * fs;
    if (prewarpHz) {
        const double fp = *prewarpHz;
        if (!(fp > 0.0) || !(fp < fs / 2.0))
            throw Error("The prewarping frequency must lie between 0 and half the sample rate.");
        const double pi = std::acos(-1.0);
        k = 2.0 * pi * fp / std::tan(pi * fp / fs);
    }
    // Equal lengths: pad the numerator with leading zeros.
    std::vector<double> b(den.size() - num.size(), 0.0);
    b.insert(b.end(), num.begin(), num.end());
    DigitalFilter f{substitute(b, k), substitute(den, k)};
    const double a0 = f.a[0];
    if (a0 == 0.0) throw Error("The transformed denominator has a zero leading coefficient.");
    for (double& v : f.b) v /= a0;
    for (double& v : f.a) v /= a0;
    return f;
}

}  // namespace tolvane
