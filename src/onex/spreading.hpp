// Quadrature spreading with the short PN sequences, and circular shifts.
#pragma once

#include <complex>
#include <string>
#include <vector>

namespace tolvane {

// 32768 * reps bits of the in-phase / quadrature short PN sequence.
std::vector<double> pnISequence(long long reps);
std::vector<double> pnQSequence(long long reps);

// Rotates right by round(count) when positive; unchanged otherwise. Throws
// Error when the count exceeds the length.
template <typename T>
std::vector<T> circularShiftRight(const std::vector<T>& input, double count);

// Multiplies the chips (a whole number of 32768-chip frames) by the complex
// PN sequence delayed by round(64 * offsetIndex) chips. offsetIndex 0..512
// (a negative one means no delay); throws Error for a partial frame or a
// delay beyond one frame.
std::vector<std::complex<double>> fwdQuadSpreading(const std::vector<std::complex<double>>& frames,
                                                   double offsetIndex);
// The same into `out`, which keeps its capacity (out must not be frames).
void fwdQuadSpreading(const std::vector<std::complex<double>>& frames, double offsetIndex,
                      std::vector<std::complex<double>>& out);

// Rotates one row of a rows x cols column-major matrix right (row == true),
// or one column down, by `amount` taken modulo that row's or column's
// length (a negative amount rotates the other way). `position` is 1-based;
// throws Error "Row does not exist" / "Column does not exist" outside the
// matrix.
template <typename T>
void circularShift(std::vector<T>& data, std::size_t rows, std::size_t cols, long long amount, long long position,
                   bool row);

}  // namespace tolvane
