// The process-wide normal random generator and white Gaussian noise.
//
// One generator serves the whole process so that successive calls give
// fresh noise. Seeded, it reproduces a waveform exactly on every platform:
// a 64-bit Mersenne Twister (whose output sequence is fixed by the C++
// standard) feeds the Marsaglia polar method written out here, instead of
// std::normal_distribution whose algorithm differs between libraries.
// Unseeded, it starts from std::random_device entropy.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

namespace tolvane {

void seedNoise(std::uint64_t seed);
double standardNormal();

// Complex white Gaussian noise, `count` samples of total power
// 10^(powerDbW/10) split equally between real and imaginary parts.
std::vector<std::complex<double>> complexWhiteNoise(std::size_t count, double powerDbW);

// Checks the noise generator's arguments as the user gave them; throws Error
// with "The required dimensions must be real, integer scalars > 1." or
// "The power value must be a real scalar.".
void checkNoiseDimensions(const std::vector<double>& dims, bool dimsAreReal);
void checkNoisePower(std::size_t powerElements, bool powerIsReal);

}  // namespace tolvane
