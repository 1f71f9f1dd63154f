// Exact circular filtering of complex rows, for waveforms that are played in
// a loop and so must have no seam at the wrap point.
//
// All functions work for any row length N >= 1 (a filter longer than the
// row wraps around it more than once) and return an empty row for N = 0.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace tolvane {

using cplx = std::complex<double>;

// Circular convolution with the taps h, advanced by `delay` samples:
//   y[n] = sum_k h[k] x[(n + delay - k) mod N].
// Short filters run as a direct loop, long ones by FFT block convolution;
// both agree with the closed form to rounding.
std::vector<cplx> circularConvolve(const std::vector<cplx>& x, const std::vector<double>& h, long long delay);
std::vector<cplx> circularConvolve(const std::vector<cplx>& x, const std::vector<cplx>& h, long long delay);
// The same into y (resized to N; every sample is written, and a y that
// already has the capacity is not reallocated). y must not be x.
void circularConvolve(const std::vector<cplx>& x, const std::vector<double>& h, long long delay,
                      std::vector<cplx>& y);

// The same closed form over the zero-stuffed row u of N * factor samples
// (u[m * factor] = chips[m], zero elsewhere), computed from the chips alone
// by a polyphase filter: about 1/factor of the work of filtering u.
std::vector<cplx> circularConvolveUpsampled(const std::vector<cplx>& chips, int factor,
                                            const std::vector<double>& h, long long delay);
// The same into y (resized to N * factor, every sample written), with
// `extended` as the working row of N + about length(h) / factor chips. Both
// keep their capacity, so a caller that filters frame after frame into the
// same two rows allocates nothing large. Neither may be `chips`.
void circularConvolveUpsampled(const std::vector<cplx>& chips, int factor, const std::vector<double>& h,
                               long long delay, std::vector<cplx>& y, std::vector<cplx>& extended);

// Recursive filter b/a (a[0] != 0) applied circularly: the last
// warmup = filtlen - 1 samples of x are put in front, the direct-form filter
// runs from zero state over the extended row, the first warmup outputs are
// dropped, and the N outputs left are rotated left by `advance`:
//   y[n] = filtered[(n + advance) mod N].
// For an FIR filter (a = {1}) with filtlen >= length(b) this equals
// circularConvolve(x, b, advance).
std::vector<cplx> circularIir(const std::vector<cplx>& x, const std::vector<double>& b,
                              const std::vector<double>& a, std::size_t filtlen, long long advance);
// The same, overwriting x (no second row is allocated).
void circularIirInPlace(std::vector<cplx>& x, const std::vector<double>& b, const std::vector<double>& a,
                        std::size_t filtlen, long long advance);

}  // namespace tolvane
