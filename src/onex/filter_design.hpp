// The equiripple designs of the baseband pulse-shaping filters, computed
// from scratch. The chain takes them from the tables made from these same
// functions when the library is built (filter_tables.hpp), and designs
// only ratios outside those tables at run time.
#pragma once

#include <vector>

namespace tolvane {

// Ratios whose designs are stored in the build.
inline constexpr int kStoredDesignMinRatio = 2;
inline constexpr int kStoredDesignMaxRatio = 30;

// Pass band 0 ... 590 kHz, stop band 740 kHz ... fs/2: 12 * oversampling taps.
std::vector<double> designFilterStd(int oversampling);
// The standard design convolved with a longer lowpass whose stop band
// slopes from 0.005 to 0.001: 26 * oversampling taps.
std::vector<double> designFilterAcp(int oversampling);

}  // namespace tolvane
