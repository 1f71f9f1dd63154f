// Upsampling, the baseband pulse-shaping filters and circular filtering.
#pragma once

#include <complex>
#include <string>
#include <variant>
#include <vector>

namespace tolvane {

using cvec = std::vector<std::complex<double>>;

cvec upsample(const cvec& x, int factor);
std::vector<double> upsampleMarker(const std::vector<double>& in, int ratio);

// Equiripple designs at `oversampling` (>= 1) samples per chip. Each design
// is made once per ratio and kept for the life of the process.
std::vector<double> filterCoeffStd(int oversampling);  // 12 * os taps
std::vector<double> filterCoeffAcp(int oversampling);  // 26 * os taps

// Filter choice: a number (1 rect, 2 std, 3 acp, 4 none, other std) or a
// text ("IS95-STD", "IS95-ACP", "IS95-EVM", other rect).
using FilterType = std::variant<double, std::string>;

// Shapes the upsampled (zero-stuffed) frame; the result has its length.
// A zero-stuffed frame is filtered by the fast polyphase path.
cvec basebandFilter(const cvec& frame, int oversampling, const FilterType& type);

// The same result from the chip-rate row: equal to
// basebandFilter(upsample(chips, oversampling), oversampling, type) without
// building the zero-stuffed row.
cvec basebandFilterChips(const cvec& chips, int oversampling, const FilterType& type);

// Circular convolution with h, advanced by floor(length(h)/2) samples:
// y[n] = sum_k h[k] x[(n + D - k) mod N].
cvec circfilt(const cvec& x, const std::vector<double>& h);

}  // namespace tolvane
