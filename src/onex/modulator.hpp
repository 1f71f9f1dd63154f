// Symbol modulator: QPSK, 8PSK and 16QAM points, and the antipodal map.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

// Maps one group of bits (at least bitsPerSymbol(modulation) entries; Error
// otherwise) to a point.
std::complex<double> iqMap(const double* bits, std::size_t count, Modulation modulation);

// Groups the bits (zero-padded to a whole symbol) and maps each group.
std::vector<std::complex<double>> fwdTrfModulator(const std::vector<double>& bits, Modulation modulation);

// 0 -> +1, 1 -> -1, element by element.
std::vector<double> signalMap(const std::vector<double>& bits);

}  // namespace tolvane
