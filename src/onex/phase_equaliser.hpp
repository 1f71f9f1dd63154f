// Phase equaliser: a second-order IIR all-pass (or, with no baseband
// filter, a stored 85-tap FIR response), applied circularly.
#pragma once

#include <complex>
#include <vector>

namespace tolvane {

struct IirCoefficients {
    std::vector<double> b, a;  // three each, a[0] = 1
};

// The digital all-pass at sample rate fs (bilinear, prewarped at 500 kHz).
IirCoefficients eqlrfilt(double fs);

// filterType is the baseband filter the waveform was built with: 4 selects
// the stored FIR response, anything else the all-pass.
std::vector<std::complex<double>> fwdPhaseEq(const std::vector<std::complex<double>>& input, int oversampling,
                                            double filterType);

}  // namespace tolvane
