// Bilinear transform of an analog transfer function.
#pragma once

#include <optional>
#include <vector>

namespace tolvane {

struct DigitalFilter {
    std::vector<double> b;  // numerator in powers of z^-1
    std::vector<double> a;  // denominator, a[0] = 1
};

// H(s) = num(s) / den(s), coefficients in descending powers of s (the
// numerator no longer than the denominator), is mapped to H(z) by
// s = K (z - 1) / (z + 1), K = 2 fs, or with prewarping at prewarpHz
// K = 2 pi fp / tan(pi fp / fs), so that the analog and digital responses
// coincide at that frequency. The result has as many coefficients as den,
// which holds at most kMaxAnalogCoefficients.
DigitalFilter bilinear(const std::vector<double>& num, const std::vector<double>& den, double fs,
                       std::optional<double> prewarpHz = std::nullopt);

}  // namespace tolvane
