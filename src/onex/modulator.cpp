// Symbol modulator: QPSK, 8PSK and 16QAM points, and the antipodal map.
#include "onex/modulator.hpp"

#include <string>

#include "numerics/diagnostics.hpp"

namespace tolvane {

namespace {

// cos(pi/8), sin(pi/8) and 1/sqrt(10) to double precision.
constexpr double kCos8 = 0.9238795325112867;
constexpr double kSin8 = 0.3826834323650898;
constexpr double kRootTen = 3.1622776601683795;

// Antipodal value of a bit: 0 -> +1, 1 -> -1.
double antipodal(double bit) { return 1.0 - 2.0 * bit; }

}  // namespace

int bitsPerSymbol(int modulationType) {
    switch (modulationType) {
        case MOD_QPSK:
            return 2;
        case MOD_8PSK:
            return 3;
        case MOD_16QAM:
            return 4;
        default:
            throw Error("Modulation type " + std::to_string(modulationType) +
                        " is not supported (1 QPSK, 2 8PSK, 3 16QAM).");
    }
}

std::complex<double> iqMap(const double* bits, std::size_t count, int modulationType) {
    const int need = bitsPerSymbol(modulationType);
    if (count < static_cast<std::size_t>(need))
        throw Error("A symbol of modulation type " + std::to_string(modulationType) + " needs " +
                    std::to_string(need) + " bits, but only " + std::to_string(count) + " were given.");
    switch (modulationType) {
        case MOD_QPSK:
            return {antipodal(bits[0]), antipodal(bits[1])};
        case MOD_8PSK: {
            // The first bit picks the point nearer the I axis or the Q axis,
            // the other two the signs.
            const bool nearI = bits[0] == 0.0;
            const double baseI = nearI ? kCos8 : kSin8;
            const double baseQ = nearI ? kSin8 : kCos8;
            return {antipodal(bits[1]) * baseI, antipodal(bits[2]) * baseQ};
        }
        default: {
            // First bit of each pair the magnitude (0 -> 3, 1 -> 1), second the sign.
            const double i = antipodal(bits[1]) * (3.0 - 2.0 * bits[0]);
            const double q = antipodal(bits[3]) * (3.0 - 2.0 * bits[2]);
            return {i / kRootTen, q / kRootTen};
        }
    }
}

std::vector<std::complex<double>> fwdTrfModulator(const std::vector<double>& bits, int modulationType) {
    const std::size_t b = static_cast<std::size_t>(bitsPerSymbol(modulationType));
    const std::size_t whole = bits.size() / b;
    std::vector<std::complex<double>> out;
    out.reserve(whole + 1);
    for (std::size_t s = 0; s < whole; ++s) out.push_back(iqMap(bits.data() + s * b, b, modulationType));
    if (bits.size() % b != 0) {
        // The last, short group is completed with zeros.
        double group[4] = {0.0, 0.0, 0.0, 0.0};
        for (std::size_t k = whole * b; k < bits.size(); ++k) group[k - whole * b] = bits[k];
        out.push_back(iqMap(group, b, modulationType));
    }
    return out;
}

std::vector<double> signalMap(const std::vector<double>& bits) {
    std::vector<double> out(bits.size());
    for (std::size_t i = 0; i < bits.size(); ++i) out[i] = antipodal(bits[i]);
    return out;
}

}  // namespace tolvane
