// Ceilings on the sizes a call may ask for. Every size that multiplies into
// an allocation or into the running time is checked against one of these
// before anything is allocated, and a refusal names the size and its
// ceiling. Each ceiling is far above any real use: a frame at the highest
// oversampling the windows offer (30) is 983,040 samples.
#pragma once

#include <cstddef>

namespace tolvane {

// Elements of any row or matrix a function creates (16,777,216; 256 MiB of
// complex samples).
constexpr std::size_t kMaxSamples = std::size_t{1} << 24;

// Taps of a least-squares FIR design from a sampled response (freq2fir,
// createRealFIR), and the work of one design (points * taps^2; createRealFIR
// always uses 5000 points, about half a minute at 1023 taps). The design
// matrix (points * taps) stays within kMaxSamples as well.
constexpr long long kMaxLeastSquaresTaps = 1023;
constexpr double kMaxLeastSquaresWork = 5000.0 * 1023.0 * 1023.0;

// Coefficients of an analog transfer function for the bilinear transform
// (an order-63 prototype): the transform's cost grows as n^3, and beyond a
// few dozen the powers of the frequency scale overflow anyway.
constexpr std::size_t kMaxAnalogCoefficients = 64;

// Neighbours on each side of the band-limited interpolator (interp's l):
// the design solves a 2l x 2l system per phase.
constexpr int kMaxInterpNeighbours = 64;

// Register steps of the general shift register (order * outputs): a
// register of order 1024 may produce 2^20 bits, one of order 64 or less
// the full kMaxSamples.
constexpr std::size_t kMaxRegisterSteps = std::size_t{1} << 30;

}  // namespace tolvane
