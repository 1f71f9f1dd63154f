// Soft demodulation: Walsh de-cover, bit log-likelihood ratios, combining.
#include "receiver/soft_demod.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace tolvane {

namespace {

using cplx = std::complex<double>;

constexpr double kCos8 = 0.92387953251128674;  // cos(pi/8)
constexpr double kSin8 = 0.38268343236508978;  // sin(pi/8)
constexpr double kTenth = 0.31622776601683794; // 1/sqrt(10)
constexpr double kHalf = 0.70710678118654752;  // 1/sqrt(2)

// log(sum exp(v)) of a few values without overflow.
template <std::size_t N>
double logSumExp(const std::array<double, N>& v) {
    const double top = *std::max_element(v.begin(), v.end());
    double sum = 0.0;
    for (double x : v) sum += std::exp(x - top);
    return top + std::log(sum);
}

// Bits b0 b1 b2 (b0 the first) of 8PSK point p: b0 0 puts the point at
// +-22.5 degrees from the I axis, 1 at +-22.5 degrees from the Q axis; b1 is
// the sign of I, b2 the sign of Q (0 positive).
constexpr std::array<std::array<double, 2>, 8> kPsk8 = {{
    {kCos8, kSin8}, {kCos8, -kSin8}, {-kCos8, kSin8}, {-kCos8, -kSin8},
    {kSin8, kCos8}, {kSin8, -kCos8}, {-kSin8, kCos8}, {-kSin8, -kCos8},
}};

// One axis of 16QAM: the pair (magnitude bit, sign bit) with magnitude 0
// for 3 and 1 for 1, sign 0 positive. Writes the two ratios.
void pam4Llrs(double r, double noiseVariance, double* out) {
    // Levels by pair value m * 2 + s.
    constexpr std::array<double, 4> kLevel = {3 * kTenth, -3 * kTenth, kTenth, -kTenth};
    std::array<double, 4> metric{};
    for (std::size_t p = 0; p < 4; ++p) metric[p] = -(r - kLevel[p]) * (r - kLevel[p]) / noiseVariance;
    out[0] = logSumExp(std::array<double, 2>{metric[0], metric[1]}) - logSumExp(std::array<double, 2>{metric[2], metric[3]});
    out[1] = logSumExp(std::array<double, 2>{metric[0], metric[2]}) - logSumExp(std::array<double, 2>{metric[1], metric[3]});
}

}  // namespace

std::vector<cplx> walshDecover(const cplx* chips, std::size_t count) {
    const std::size_t groups = count / 16;
    std::vector<cplx> out(groups * 16);
    for (std::size_t g = 0; g < groups; ++g) {
        // Fast Walsh-Hadamard transform in the natural (Sylvester) order:
        // output i correlates with the code whose chip t is (-1)^popcount(i & t).
        std::array<cplx, 16> x;
        std::copy(chips + g * 16, chips + g * 16 + 16, x.begin());
        for (std::size_t h = 1; h < 16; h <<= 1)
            for (std::size_t i = 0; i < 16; i += 2 * h)
                for (std::size_t j = i; j < i + h; ++j) {
                    const cplx a = x[j], b = x[j + h];
                    x[j] = a + b;
                    x[j + h] = a - b;
                }
        for (std::size_t i = 0; i < 16; ++i) out[g * 16 + i] = 0.25 * x[i];
    }
    return out;
}

void symbolLlrs(cplx r, double noiseVariance, Modulation modulation, double* out) {
    switch (modulation) {
        case Modulation::Qpsk: {
            // Points (+-1 +-j) / sqrt(2): each axis on its own.
            const double scale = 4.0 * kHalf / noiseVariance;
            out[0] = scale * r.real();
            out[1] = scale * r.imag();
            return;
        }
        case Modulation::Psk8: {
            std::array<double, 8> metric{};
            for (std::size_t p = 0; p < 8; ++p) {
                const double di = r.real() - kPsk8[p][0], dq = r.imag() - kPsk8[p][1];
                metric[p] = -(di * di + dq * dq) / noiseVariance;
            }
            for (std::size_t b = 0; b < 3; ++b) {
                const std::size_t bit = std::size_t{4} >> b;  // b0 is the high bit of the point index
                std::array<double, 4> zero{}, one{};
                std::size_t nz = 0, no = 0;
                for (std::size_t p = 0; p < 8; ++p) (p & bit ? one[no++] : zero[nz++]) = metric[p];
                out[b] = logSumExp(zero) - logSumExp(one);
            }
            return;
        }
        case Modulation::Qam16:
            // I carries bits 0 and 1, Q bits 2 and 3; the noise on each axis
            // has half the complex variance.
            pam4Llrs(r.real(), noiseVariance, out);
            pam4Llrs(r.imag(), noiseVariance, out + 2);
            return;
    }
}

std::vector<double> combinedLlrs(const std::vector<cplx>& symbols, std::size_t codedBits, double noiseVariance,
                                 Modulation modulation) {
    const std::size_t b = static_cast<std::size_t>(bitsPerSymbol(modulation));
    const std::size_t distinct = (codedBits + b - 1) / b;
    std::vector<double> sum(distinct * b, 0.0);
    std::array<double, 4> one{};
    if (distinct == 0) return sum;
    for (std::size_t q = 0; q < symbols.size(); ++q) {
        symbolLlrs(symbols[q], noiseVariance, modulation, one.data());
        double* to = sum.data() + (q % distinct) * b;
        for (std::size_t k = 0; k < b; ++k) to[k] += one[k];
    }
    sum.resize(codedBits);  // the zero bits that completed the last symbol
    return sum;
}

}  // namespace tolvane
