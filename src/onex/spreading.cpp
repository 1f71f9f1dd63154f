// Quadrature spreading with the short PN sequences, and circular shifts.
#include "onex/spreading.hpp"

#include <algorithm>
#include <cmath>

#include "base/diagnostics.hpp"
#include "onex/bit_source.hpp"
#include "onex/constants.hpp"
#include "onex/walsh.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kPeriod = kPnPeriodChips;

// Generator coefficients in ascending powers, x^0 first, x^15 last.
const std::vector<double> kInPhaseTaps = {1, 0, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1};
const std::vector<double> kQuadratureTaps = {1, 0, 0, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1};

// One 32768-bit period: the 32767-bit register output after a leading 0,
// reversed and rotated right by 15, so that it opens with 15 zeros.
std::vector<double> pnPeriod(const std::vector<double>& taps) {
    std::vector<double> seed(15, 0.0);
    seed.back() = 1.0;
    const std::vector<double> a = lfsr(15, taps, kPeriod - 1, seed);
    std::vector<double> p;
    p.reserve(kPeriod);
    p.push_back(0.0);
    p.insert(p.end(), a.begin(), a.end());
    std::reverse(p.begin(), p.end());
    return circularShiftRight(p, 15);
}

// The periods are fixed: built once, on first use.
const std::vector<double>& inPhasePeriod() {
    static const std::vector<double> period = pnPeriod(kInPhaseTaps);
    return period;
}

const std::vector<double>& quadraturePeriod() {
    static const std::vector<double> period = pnPeriod(kQuadratureTaps);
    return period;
}

// Repeating, reversing and rotating a repeated period gives the repeated
// reversed-and-rotated period, so the sequence for `reps` periods is the
// stored period repeated.
std::vector<double> repeatPeriod(const std::vector<double>& period, long long reps) {
    return repeatSequence(period, reps);
}

}  // namespace

std::vector<double> pnISequence(long long reps) { return repeatPeriod(inPhasePeriod(), reps); }
std::vector<double> pnQSequence(long long reps) { return repeatPeriod(quadraturePeriod(), reps); }

template <typename T>
std::vector<T> circularShiftRight(const std::vector<T>& input, double count) {
    const double shift = std::round(count);
    if (!(shift > 0)) return input;
    if (shift > static_cast<double>(input.size()))
        throw Error("CircularShiftRight: count = " + numberText(shift) + " exceeds the input length " +
                    numberText(static_cast<double>(input.size())) + ".");
    std::vector<T> out(input);
    std::rotate(out.begin(), out.end() - static_cast<std::ptrdiff_t>(shift), out.end());
    return out;
}

template std::vector<double> circularShiftRight(const std::vector<double>&, double);
template std::vector<std::complex<double>> circularShiftRight(const std::vector<std::complex<double>>&, double);

void fwdQuadSpreading(const std::vector<std::complex<double>>& frames, double offsetIndex,
                      std::vector<std::complex<double>>& out) {
    if (frames.size() % kPeriod != 0)
        throw Error("The frames hold " + numberText(static_cast<double>(frames.size())) +
                    " chips; quadrature spreading needs a whole number of " + numberText(kPnPeriodChips) +
                    "-chip frames.");
    const double shift = std::round(64.0 * offsetIndex);
    if (std::isnan(shift) || shift > static_cast<double>(kPeriod))
        throw Error("PN offset index " + numberText(offsetIndex) +
                    " is out of range: the delay must not exceed one frame (512).");
    // The delayed sequences as +-1 (bits 0 -> +1, 1 -> -1): chip k of a
    // frame takes period bit k - delay, wrapping round.
    const auto delay = static_cast<std::size_t>(std::max(shift, 0.0)) % kPeriod;
    const std::vector<double>& bitsI = inPhasePeriod();
    const std::vector<double>& bitsQ = quadraturePeriod();

    out.resize(frames.size());
    for (std::size_t base = 0; base < frames.size(); base += kPeriod) {
        for (std::size_t k = 0; k < kPeriod; ++k) {
            const std::size_t src = k >= delay ? k - delay : k + kPeriod - delay;
            const double pI = 1.0 - 2.0 * bitsI[src];
            const double pQ = 1.0 - 2.0 * bitsQ[src];
            // (I + jQ)(pI + j pQ); the products with +-1 are exact.
            const double re = frames[base + k].real(), im = frames[base + k].imag();
            out[base + k] = {re * pI - im * pQ, re * pQ + im * pI};
        }
    }
}

std::vector<std::complex<double>> fwdQuadSpreading(const std::vector<std::complex<double>>& frames,
                                                   double offsetIndex) {
    std::vector<std::complex<double>> out;
    fwdQuadSpreading(frames, offsetIndex, out);
    return out;
}

template <typename T>
void circularShift(std::vector<T>& data, std::size_t rows, std::size_t cols, long long amount, long long position,
                   bool row) {
    if (row) {
        if (position < 1 || static_cast<std::size_t>(position) > rows) throw Error("Row does not exist");
        if (cols == 0) return;
        const auto c = static_cast<long long>(cols);
        const std::size_t shift = static_cast<std::size_t>(((amount % c) + c) % c);
        std::vector<T> line(cols);
        const std::size_t r = static_cast<std::size_t>(position - 1);
        for (std::size_t k = 0; k < cols; ++k) line[(k + shift) % cols] = data[k * rows + r];
        for (std::size_t k = 0; k < cols; ++k) data[k * rows + r] = line[k];
    } else {
        if (position < 1 || static_cast<std::size_t>(position) > cols) throw Error("Column does not exist");
        if (rows == 0) return;
        const auto r = static_cast<long long>(rows);
        const std::size_t shift = static_cast<std::size_t>(((amount % r) + r) % r);
        auto first = data.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(position - 1) * rows);
        std::rotate(first, first + static_cast<std::ptrdiff_t>(rows - shift), first + static_cast<std::ptrdiff_t>(rows));
    }
}

template void circularShift(std::vector<double>&, std::size_t, std::size_t, long long, long long, bool);
template void circularShift(std::vector<std::complex<double>>&, std::size_t, std::size_t, long long, long long, bool);

}  // namespace tolvane
