// Upsampling, the baseband pulse-shaping filters and circular filtering.
#pragma once

#include <complex>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

using cvec = std::vector<std::complex<double>>;

cvec upsample(const cvec& x, int factor);
std::vector<double> upsampleMarker(const std::vector<double>& in, int ratio);
// The same into `out`, which keeps its capacity (out must not be in).
void upsampleMarker(const std::vector<double>& in, int ratio, std::vector<double>& out);

// The equiripple designs need at least this many samples per chip: below
// it their stop band edge lies beyond the Nyquist frequency.
constexpr int kMinDesignOversampling = 2;

// The lowest oversampling ratio a shape works at: kMinDesignOversampling
// for the equiripple shapes, 1 for the others.
int lowestOversampling(FilterShape shape);

// Equiripple designs at `oversampling` samples per chip,
// kMinDesignOversampling .. kMaxOversampling (Error otherwise). Each design
// is made once per ratio and kept for the life of the process; one that did
// not converge is used after a warning naming it.
std::vector<double> filterCoeffStd(int oversampling);  // 12 * os taps
std::vector<double> filterCoeffAcp(int oversampling);  // 26 * os taps

// Shapes the upsampled (zero-stuffed) frame; the result has its length.
// A zero-stuffed frame is filtered by the fast polyphase path. The ratio
// runs from lowestOversampling(shape) to kMaxOversampling (Error otherwise).
cvec basebandFilter(const cvec& frame, int oversampling, FilterShape shape);

// The same result from the chip-rate row: equal to
// basebandFilter(upsample(chips, oversampling), oversampling, shape) without
// building the zero-stuffed row.
cvec basebandFilterChips(const cvec& chips, int oversampling, FilterShape shape);
// The same into `out`, with `scratch` as the filter's working row; both keep
// their capacity from call to call, and neither may be `chips`.
void basebandFilterChips(const cvec& chips, int oversampling, FilterShape shape, cvec& out, cvec& scratch);

// Circular convolution with h, advanced by floor(length(h)/2) samples:
// y[n] = sum_k h[k] x[(n + D - k) mod N].
cvec circfilt(const cvec& x, const std::vector<double>& h);

}  // namespace tolvane
