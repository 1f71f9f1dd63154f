// Phase equaliser: a second-order IIR all-pass (or, with no baseband
// filter, a stored 85-tap FIR response), applied circularly.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

struct IirCoefficients {
    std::vector<double> b, a;  // three each, a[0] = 1
};

// The digital all-pass at sample rate fs (bilinear, prewarped at 500 kHz);
// fs must exceed 1 MHz (Error otherwise).
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

// `shape` is the baseband filter the waveform was built with: without one
// (FilterShape::None) the stored FIR response applies, after any other the
// all-pass. The ratio runs from 1 to kMaxOversampling (Error otherwise).
std::vector<std::complex<double>> fwdPhaseEq(const std::vector<std::complex<double>>& input, int oversampling,
                                            FilterShape shape);
// The same on a row the caller gives up: the all-pass runs in place in it.
std::vector<std::complex<double>> fwdPhaseEq(std::vector<std::complex<double>>&& input, int oversampling,
                                            FilterShape shape);
// The same on `row` in place. The stored FIR response is computed into
// `scratch` and the two rows are swapped, so both keep their capacity.
void fwdPhaseEqInPlace(std::vector<std::complex<double>>& row, int oversampling, FilterShape shape,
                       std::vector<std::complex<double>>& scratch);

}  // namespace tolvane
