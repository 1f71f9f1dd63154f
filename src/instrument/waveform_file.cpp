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
    const double* parts = reinterpret_cast<const double*>(waveform.data());
    std::size_t firstMisfit = 2 * n;
    for (std::size_t i = 0; i < 2 * n; ++i) {
        const double v = scaleIt ? parts[i] / mx * 32766.0 * scale : parts[i];
        // Rounds half away from zero, as std::round does, without a library
        // call: the truncation and its remainder are exact for |v| < 2^31.
        const double clipped = std::clamp(v, -65536.0, 65536.0);
        long r = static_cast<long>(clipped);
        const double rest = clipped - static_cast<double>(r);
        r += (rest >= 0.5) - (rest <= -0.5);
        if ((r > 32767 || r < -32768) && firstMisfit == 2 * n) firstMisfit = i;
        words[i] = static_cast<std::int16_t>(r);
    }
    if (firstMisfit < 2 * n)
        throw Error("A waveform component of " + numberText(parts[firstMisfit]) +
                    " does not fit a 16-bit word unscaled.");
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
