// Phase equaliser: a second-order IIR all-pass (or, with no baseband
// filter, a stored 85-tap FIR response), applied circularly.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace tolvane {

struct IirCoefficients {
    std::vector<double> b, a;  // three each, a[0] = 1
};

// The digital all-pass at sample rate fs (bilinear, prewarped at 500 kHz).
IirCoefficients eqlrfilt(double fs);

// The stored 85-tap FIR response, designed at 4 samples per chip.
const std::vector<double>& phaseEqStoredTaps();

// The stored response adapted to `oversampling` samples per chip: every
// fourth or second tap at ratios 1 and 2, all taps at 4, otherwise
// interpolated to lcm(4, ratio) samples per chip and decimated. Ratios above
// 15 give the warning "Oversampling Ratio should be in [2, 15]. Oversampling
// Ratio was forced to 15." and the design for 15.
struct FirEqualiser {
    std::vector<double> b;
    std::size_t filtlen = 0;  // record length of the circular application
    int designRatio = 0;      // the ratio the taps were made for
};
FirEqualiser phaseEqFir(int oversampling);

// filterType is the baseband filter the waveform was built with: 4 selects
// the stored FIR response, anything else the all-pass.
std::vector<std::complex<double>> fwdPhaseEq(const std::vector<std::complex<double>>& input, int oversampling,
                                            double filterType);
// The same on a row the caller gives up: the all-pass runs in place in it.
std::vector<std::complex<double>> fwdPhaseEq(std::vector<std::complex<double>>&& input, int oversampling,
                                            double filterType);

}  // namespace tolvane
