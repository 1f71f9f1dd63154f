// Quadrature spreading with the short PN sequences, and circular shifts.
#pragma once

#include <complex>
#include <string>
#include <vector>

namespace tolvane {

// 32768 * reps bits of the in-phase / quadrature short PN sequence.
std::vector<double> pnISequence(long long reps);
std::vector<double> pnQSequence(long long reps);

// Rotates right by round(count) when positive; unchanged otherwise.
template <typename T>
std::vector<T> circularShiftRight(const std::vector<T>& input, double count);

// Multiplies the chips (a whole number of 32768-chip frames) by the complex
// PN sequence delayed by 64 * offsetIndex chips.
std::vector<std::complex<double>> fwdQuadSpreading(const std::vector<std::complex<double>>& frames,
                                                   int offsetIndex);

}  // namespace tolvane
