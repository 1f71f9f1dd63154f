// Least-squares FIR design from a sampled frequency response, as used for
// the instrument's correction filters.
#pragma once

#include <complex>
#include <vector>

namespace tolvane {

// Taps h[k], k = -m ... m (n = 2m + 1 odd, 1 <= n <= kMaxLeastSquaresTaps,
// length(F) within the limits.hpp bounds on the design), minimising
// sum_p |sum_k h[k] exp(-2 pi i F[p] k / SR) - conj(H[p])|^2.
// Errors: "F must be the same size as H", "N must be greater than 1.",
// "N must be an odd integer", "SR must be greater than 2*max{F}.".
std::vector<std::complex<double>> freq2fir(long long n, const std::vector<double>& F,
                                           const std::vector<std::complex<double>>& H, double SR);

// The inverse of a measured response as an FIR filter of n taps (n raised
// to at least 3 and to the next odd number): the frequency axis is centred,
// points beyond SR/2 are cut off at both ends, the response is resampled
// linearly at 5000 points and inverted, then designed by freq2fir (so n is
// at most kMaxLeastSquaresTaps after raising).
// Errors: "F must be the same size as H", "SR > 0 The sample rate must be
// greater than zero.".
std::vector<std::complex<double>> createRealFIR(long long n, const std::vector<double>& F,
                                                const std::vector<std::complex<double>>& H, double SR);

}  // namespace tolvane
