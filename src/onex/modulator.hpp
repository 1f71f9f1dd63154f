// Symbol modulator: QPSK (1), 8PSK (2), 16QAM (3), and the antipodal map.
#pragma once

#include <complex>
#include <vector>

namespace tolvane {

constexpr int MOD_QPSK = 1;
constexpr int MOD_8PSK = 2;
constexpr int MOD_16QAM = 3;

// Bits per symbol of a modulation type; throws Error for other types.
int bitsPerSymbol(int modulationType);

// Maps one group of bits (at least bitsPerSymbol entries) to a point.
std::complex<double> iqMap(const double* bits, std::size_t count, int modulationType);

// Groups the bits (zero-padded to a whole symbol) and maps each group.
std::vector<std::complex<double>> fwdTrfModulator(const std::vector<double>& bits, int modulationType);

// 0 -> +1, 1 -> -1, element by element.
std::vector<double> signalMap(const std::vector<double>& bits);

}  // namespace tolvane
