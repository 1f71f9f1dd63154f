// The spectrum waterfall: the waveform cut into consecutive snapshots, the
// spectrum of each one a row of a time-frequency picture coloured by level.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <string>
#include <vector>

#include "display/figure.hpp"
#include "display/frame.hpp"

namespace tolvane::display {

// How the waveform is cut. A snapshot is n consecutive samples (also the FFT
// length), n = ceil(period * sampleRate) and at least 10; it is capped at
// the waveform's length (at least 10), so a long period cannot ask for a
// transform larger than the waveform. m = ceil(points / n) snapshots; the
// last is filled with zeros up to n samples. The time axis advances by
// n / sampleRate per snapshot.
struct WaterfallSplit {
    std::size_t n = 10;  // samples per snapshot
    std::size_t m = 0;   // snapshots
};

// sampleRate <= 0 (or not finite) counts as 1; a period <= 0 (or NaN) as
// 10 samples, and never less than 10 samples.
WaterfallSplit waterfallSplit(double sampleRate, double period, std::size_t points);

struct WaterfallView {
    Surface surface;        // x: frequency (n), y: snapshot start time (m), z: dB
    std::string frequencyUnits;
    std::string timeUnits;
    Range frequency;        // [-fMax fMax]
    Range time;             // [0 (m-1) t]
    Range level;            // decibelLimits of z
};

// The snapshots' spectra: 10 log10 of the squared real part of each FFT bin,
// reordered as the spectrum display's bins. An empty waveform gives a 5 by
// 10 test picture of 0 dB crossed by a row and a column at -6 dB.
WaterfallView waterfallView(double sampleRate, double period, const std::vector<std::complex<double>>& iqWave);

// Over a parent: the parent's position with width and height times 0.8,
// moved right by 0.2 and down by 0.2 of the new size; otherwise
// [100 100 300 300] in pixels, [0 0 0.5 0.5] in other units.
std::array<double, 4> waterfallPosition(const Placement& placement);

// The window "Spectrum Waterfall " + label, with the toolkit's standard
// menus and one axes QV_Waterfall holding the surface.
Figure waterfallFigure(const Placement& placement, const std::string& label, double sampleRate, double period,
                       const std::vector<std::complex<double>>& iqWave);

}  // namespace tolvane::display
