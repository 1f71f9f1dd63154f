// Symbol modulator: QPSK, 8PSK and 16QAM points, and the antipodal map.
#include "onex/modulator.hpp"

#include "base/diagnostics.hpp"

namespace tolvane {

namespace {

// cos(pi/8), sin(pi/8) and 1/sqrt(10) to double precision.
constexpr double kCos8 = 0.9238795325112867;
constexpr double kSin8 = 0.3826834323650898;
constexpr double kRootTen = 3.1622776601683795;

// Antipodal value of a bit: 0 -> +1, 1 -> -1.
double antipodal(double bit) { return 1.0 - 2.0 * bit; }

}  // namespace

std::complex<double> iqMap(const double* bits, std::size_t count, Modulation modulation) {
    const int need = bitsPerSymbol(modulation);
    if (count < static_cast<std::size_t>(need))
        throw Error("A symbol of modulation type " + numberText(static_cast<int>(modulation)) + " needs " +
                    numberText(need) + " bits, but only " + numberText(static_cast<double>(count)) +
                    " were given.");
    switch (modulation) {
        case Modulation::Qpsk:
            return {antipodal(bits[0]), antipodal(bits[1])};
        case Modulation::Psk8: {
            // The first bit picks the point nearer the I axis or the Q axis,
            // the other two the signs.
            const bool nearI = bits[0] == 0.0;
            const double baseI = nearI ? kCos8 : kSin8;
            const double baseQ = nearI ? kSin8 : kCos8;
            return {antipodal(bits[1]) * baseI, antipodal(bits[2]) * baseQ};
        }
        case Modulation::Qam16: {
            // First bit of each pair the magnitude (0 -> 3, 1 -> 1), second the sign.
            const double i = antipodal(bits[1]) * (3.0 - 2.0 * bits[0]);
            const double q = antipodal(bits[3]) * (3.0 - 2.0 * bits[2]);
            return {i / kRootTen, q / kRootTen};
        }
    }
    return {};
}

std::vector<std::complex<double>> fwdTrfModulator(const std::vector<double>& bits, Modulation modulation) {
    const std::size_t b = static_cast<std::size_t>(bitsPerSymbol(modulation));
    const std::size_t whole = bits.size() / b;
    std::vector<std::complex<double>> out;
    out.reserve(whole + 1);
    for (std::size_t s = 0; s < whole; ++s) out.push_back(iqMap(bits.data() + s * b, b, modulation));
    if (bits.size() % b != 0) {
        // The last, short group is completed with zeros.
        double group[4] = {0.0, 0.0, 0.0, 0.0};
        for (std::size_t k = whole * b; k < bits.size(); ++k) group[k - whole * b] = bits[k];
        out.push_back(iqMap(group, b, modulation));
    }
    return out;
}

std::vector<double> signalMap(const std::vector<double>& bits) {
    std::vector<double> out(bits.size());
    for (std::size_t i = 0; i < bits.size(); ++i) out[i] = antipodal(bits[i]);
    return out;
}

}  // namespace tolvane
