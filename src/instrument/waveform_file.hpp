// The instrument's waveform file: headerless 16-bit two's-complement words,
// most significant byte first, interleaved I1 Q1 I2 Q2 ...
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvane {

// The words of the file: the largest component magnitude scaled to
// 32766 * scale (scale clamped to 0.00001 ... 1), rounded half away from
// zero. An all-zero waveform gives zero words. Throws Error naming the
// sample when a component is not a finite number.
std::vector<std::int16_t> instrumentWaveformWords(const std::vector<std::complex<double>>& waveform, double scale);

// Writes the file whole or not at all (a temporary file in the same folder,
// then renamed over the target). Throws Error naming the file on failure.
void writeInstrumentWaveformFile(const std::string& path, const std::vector<std::complex<double>>& waveform,
                                 double scale = 1.0);

}  // namespace tolvane
