// The spectrum display: the magnitude spectrum of the whole waveform, one
// FFT over all samples, its peak at 0 dB, against a frequency axis centred
// on 0 Hz.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "display/figure.hpp"
#include "display/frame.hpp"

namespace tolvane::display {

// The FFT bins reordered so that negative frequencies come first: bins
// round(N/2) .. N, then 1 .. round(N/2 - 1), counted from 1 and rounded half
// away from zero. For even N the first element is bin N/2 - 1 (from 0), for
// odd N the blocks have (N+1)/2 and (N-1)/2 elements; always N elements.
template <class T>
std::vector<T> reorderSpectrum(const std::vector<T>& bins);

// Axis limits in whole tens of dB around the values, at most 100 dB apart:
// max = 10 ceil(max/10), min = 10 floor(min/10) raised to max - 100. Only
// finite values count; with none the range is [-100 0].
Range decibelLimits(const std::vector<double>& values);

struct SpectrumView {
    std::vector<double> f;          // frequency of each point, in `units`
    std::vector<double> magnitude;  // dB, the peak at 0
    std::string units;              // "Hz", "kHz", "MHz", "GHz"
    Range frequency;                // [-fMax fMax]
    Range level;                    // decibelLimits(magnitude)
};

// The spectrum of `iqWave` at `sampleRate` Hz (<= 0, or not finite: 1). An
// empty waveform gives the ten-point test spectrum. Exact zeros in the power
// spectrum are lifted by 1e-20 of its peak (1e-20 when all are zero).
SpectrumView spectrumView(double sampleRate, const std::vector<std::complex<double>>& iqWave);

// The window "Magnitude Spectrum " + label (at [50 480 300 300] pixels when
// it has no parent).
Figure spectrumFigure(const Placement& placement, const std::string& label, double sampleRate,
                      const std::vector<std::complex<double>>& iqWave);

// points values from -fMax to fMax inclusive (a single point: -fMax).
std::vector<double> symmetricAxis(double fMax, std::size_t points);

// sampleRate as the displays use it: not above 0 or not finite becomes 1.
double displaySampleRate(double sampleRate);

template <class T>
std::vector<T> reorderSpectrum(const std::vector<T>& bins) {
    const std::size_t n = bins.size();
    if (n == 0) return {};
    // round(n/2) and round(n/2 - 1), half away from zero, as 1-based ends.
    const std::size_t firstStart = (n + 1) / 2;                    // round(n/2) >= 1
    const std::size_t secondEnd = n % 2 == 0 ? n / 2 - 1 : n / 2;  // round(n/2 - 1), 0 for n = 1
    std::vector<T> out;
    out.reserve(n);
    out.insert(out.end(), bins.begin() + static_cast<std::ptrdiff_t>(firstStart - 1), bins.end());
    out.insert(out.end(), bins.begin(), bins.begin() + static_cast<std::ptrdiff_t>(secondEnd));
    return out;
}

}  // namespace tolvane::display
