// Band-limited interpolation by an integer factor.
//
// Every r-th output, starting with the first, is the input sample itself;
// the r - 1 samples after it are estimated from the l input samples on
// each side by the least-squares (minimum mean-square error) interpolator
// for signals band-limited to alpha times the Nyquist frequency. At the
// ends the row is continued by point reflection about its end samples
// (2 x[0] - x[m]), which keeps both the value and the slope there.
#pragma once

#include <vector>

namespace tolvane {

struct Interpolation {
    std::vector<double> y;       // r * length(x) samples
    std::vector<double> filter;  // the equivalent symmetric FIR, 2 l r + 1 taps
};

// r must be a whole number >= 1 ("Resampling rate R must be an integer.");
// x needs at least 2 l + 1 samples ("Length of data sequence must be at
// least " and that number); 1 <= l <= kMaxInterpNeighbours, 0 < alpha <= 1;
// the result holds at most kMaxSamples samples.
Interpolation interpolate(const std::vector<double>& x, double r, int l = 4, double alpha = 0.5);

}  // namespace tolvane
