// Discrete Fourier transforms of any length, computed by FFTW.
//
// Forward:  X[k] = sum_n x[n] exp(-2 pi i k n / N)
// Inverse:  x[n] = (1/N) sum_k X[k] exp(+2 pi i k n / N)
//
// A plan is made once per (length, direction, placement, alignment) and kept
// for reuse; all plans are destroyed by releaseFftPlans() or at process exit.
// Not thread-safe: the library runs on one thread.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace tolvane {

enum class FftDirection { Forward, Inverse };

std::vector<std::complex<double>> fft(const std::vector<std::complex<double>>& x);
std::vector<std::complex<double>> fft(const std::vector<double>& x);
std::vector<std::complex<double>> ifft(const std::vector<std::complex<double>>& spectrum);

// In place, same conventions (the inverse includes the 1/N scaling).
void fftInPlace(std::vector<std::complex<double>>& x);
void ifftInPlace(std::vector<std::complex<double>>& x);

// Unnormalised transform of n points from `in` to `out` (which may be the
// same array). The building block for the functions above and for block
// convolution.
void dft(const std::complex<double>* in, std::complex<double>* out, std::size_t n, FftDirection direction);

// Number of plans currently kept, and their release.
std::size_t fftPlanCount();
void releaseFftPlans();

}  // namespace tolvane
