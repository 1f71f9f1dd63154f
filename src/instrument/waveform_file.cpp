#include "instrument/waveform_file.hpp"

#include <algorithm>
#include <cmath>

#include "base/diagnostics.hpp"
#include "base/atomic_file.hpp"

namespace tolvane {

std::vector<std::int16_t> instrumentWaveformWords(const std::vector<std::complex<double>>& waveform, double scale) {
    scale = std::max(std::min(scale, 1.0), 0.00001);
    const std::size_t n = waveform.size();
    double mx = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        const auto& z = waveform[k];
        for (double part : {z.real(), z.imag()}) {
            // A NaN or infinity has no 16-bit word; casting one is undefined.
            if (!std::isfinite(part))
                throw Error("Sample " + numberText(double(k + 1)) + " of the waveform is not a finite number (" +
                            numberText(part) + "); the waveform cannot be written as 16-bit words.");
            mx = std::max(mx, std::abs(part));
        }
    }
    // Scaled whenever there is a peak: a waveform whose components all have
    // one magnitude (constant envelope) must not be written as words of +-1.
    std::vector<std::int16_t> words(2 * n);
    const double* parts = reinterpret_cast<const double*>(waveform.data());
    for (std::size_t i = 0; i < 2 * n; ++i) {
        const double v = mx > 0 ? parts[i] / mx * 32766.0 * scale : 0.0;
        // Rounds half away from zero, as std::round does, without a library
        // call: |v| <= 32766, so the truncation and its remainder are exact.
        long r = static_cast<long>(v);
        const double rest = v - static_cast<double>(r);
        r += (rest >= 0.5) - (rest <= -0.5);
        words[i] = static_cast<std::int16_t>(r);
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
