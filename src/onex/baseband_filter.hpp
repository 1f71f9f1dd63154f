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

// Equiripple designs at `oversampling` samples per chip.
std::vector<double> filterCoeffStd(int oversampling);  // 12 * os taps
std::vector<double> filterCoeffAcp(int oversampling);  // 26 * os taps

// Filter choice: a number (1 rect, 2 std, 3 acp, 4 none, other std) or a
// text ("IS95-STD", "IS95-ACP", "IS95-EVM", other rect).
using FilterType = std::variant<double, std::string>;

cvec basebandFilter(const cvec& frame, int oversampling, const FilterType& type);

// Circular convolution with h, advanced by floor(length(h)/2) samples:
// y[n] = sum_k h[k] x[(n + D - k) mod N].
cvec circfilt(const cvec& x, const std::vector<double>& h);

}  // namespace tolvane
