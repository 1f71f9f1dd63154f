#include "instrument/waveform_file.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numerics/diagnostics.hpp"
#include "instrument/atomic_file.hpp"

namespace tolvane {

std::vector<std::int16_t> instrumentWaveformWords(const std::vector<std::complex<double>>& waveform, double scale) {
    scale = std::max(std::min(scale, 1.0), 0.00001);
    const std::size_t n = waveform.size();
    double mx = 0.0, mn = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < n; ++k) {
        const auto& z = waveform[k];
        for (double part : {z.real(), z.imag()}) {
            // A NaN or infinity has no 16-bit word; casting one is undefined.
            if (!std::isfinite(part))
                throw Error("Sample " + numberText(double(k + 1)) + " of the waveform is not a finite number (" +
                            numberText(part) + "); the waveform cannot be written as 16-bit words.");
            const double m = std::abs(part);
            mx = std::max(mx, m);
            mn = std::min(mn, m);
        }
    }
    const bool scaleIt = n > 0 && mx != mn;
    std::vector<std::int16_t> words(2 * n);
    auto toWord = [&](double x) {
        const double r = std::round(scaleIt ? x / mx * 32766.0 * scale : x);  // halves away from zero
        if (r > 32767.0 || r < -32768.0)
            throw Error("A waveform component of " + numberText(x) + " does not fit a 16-bit word unscaled.");
        return static_cast<std::int16_t>(r);
    };
    for (std::size_t k = 0; k < n; ++k) {
        words[2 * k] = toWord(waveform[k].real());
        words[2 * k + 1] = toWord(waveform[k].imag());
    }
    return words;
}

void writeInstrumentWaveformFile(const std::string& path, const std::vector<std::complex<double>>& waveform,
                                 double scale) {
    const std::vector<std::int16_t> words = instrumentWaveformWords(waveform, scale);
    std::string bytes(words.size() * 2, '\0');
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto u = static_cast<std::uint16_t>(words[i]);
        bytes[2 * i] = static_cast<char>(u >> 8);
        bytes[2 * i + 1] = static_cast<char>(u & 0xFF);
    }
    writeFileAtomically(path, bytes);
}

}  // namespace tolvane
