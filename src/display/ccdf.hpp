// The CCDF display: how often the instantaneous power of a waveform lies at
// least X dB above its average power, beside the curve of Gaussian noise.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "display/figure.hpp"
#include "display/frame.hpp"

namespace tolvane::display {

struct CcdfCurve {
    std::vector<double> x;          // dB above average: 0 .. maxX in 200 steps
    std::vector<double> y;          // percent of samples at or above x
    std::vector<double> reference;  // percent for Gaussian noise of the same kind
    double maxX = 20;
    double yMin = 0.001;            // lower limit of the logarithmic axis
    bool realWave = false;          // no sample has an imaginary part
};

// The 1000-point test signal shown for an empty waveform: an envelope of
// 1.5 + cos(a) turning ten times around the origin.
std::vector<std::complex<double>> ccdfTestSignal();

// The curve of `iqWave` (the test signal when it is empty). The axis reaches
// at least 20 dB, or 1.01 times the peak above 20 dB; the reference is the
// complex Gaussian 100 exp(-10^(x/10)), or for a real waveform the real
// Gaussian 100 erfc(10^(x/20) / sqrt 2). Zero powers and zero counts are
// floored at 1e-300 so every value is finite and positive.
CcdfCurve ccdfCurve(const std::vector<std::complex<double>>& iqWave);

// The window "CCDF " + label with one logarithmic axes tagged QV_CCDF.
Figure ccdfFigure(const Placement& placement, const std::string& label,
                  const std::vector<std::complex<double>>& iqWave);

}  // namespace tolvane::display
