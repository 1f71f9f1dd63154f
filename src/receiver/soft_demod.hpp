// Soft demodulation of the forward traffic channel: the 16-way Walsh
// de-cover of the chips, the bits' log-likelihood ratios of each symbol,
// and the combining of repeated symbols.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

// The symbols under the Walsh cover: symbol 16n + i is a quarter of the
// correlation of chips 16n .. 16n + 15 with Walsh code i of length 16 (the
// transmitter adds the 16 covered symbols at a quarter amplitude). Only
// whole groups of 16 chips are de-covered; a short last group is left out,
// since its symbols cannot be separated. Complex noise of variance v per
// chip leaves noise of variance v on each symbol.
std::vector<std::complex<double>> walshDecover(const std::complex<double>* chips, std::size_t count);

// The exact log-likelihood ratios log(P(b = 0 | r) / P(b = 1 | r)) of the
// bits of one received symbol `r` (unit-energy constellation, complex
// Gaussian noise of variance `noiseVariance`), first bit first, into
// `out[0 .. bitsPerSymbol(modulation) - 1]`.
void symbolLlrs(std::complex<double> r, double noiseVariance, Modulation modulation, double* out);

// The log-likelihood ratios of the `codedBits` code bits behind `symbols`,
// where the transmitter sent the ceil(codedBits / bits per symbol) distinct
// symbols repeated back to back (and cut) to fill the received row: the
// ratios of every copy of a symbol add up, and a bit no copy reached gets 0.
std::vector<double> combinedLlrs(const std::vector<std::complex<double>>& symbols, std::size_t codedBits,
                                 double noiseVariance, Modulation modulation);

}  // namespace tolvane
