// Traffic channel pipeline: optional encoder, scrambler and channel
// interleaver, then modulator, repetition, demux, Walsh cover, gain, summer.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "onex/mod_params.hpp"

namespace tolvane {

// Bits of the packet's tail field, which the encoder drops.
constexpr std::size_t kEncoderTailBits = 6;

struct TrafficSwitches {
    bool encoder = false;
    bool scrambler = false;
    bool interleaver = false;
};

// Returns exactly params.modulationSymbolsRequired (rounded up to a whole
// number of 16-symbol columns) complex chips.
std::vector<std::complex<double>> fwdTrfChn(const std::vector<double>& bits, const ModParams& params,
                                            int macIndex, TrafficSwitches switches);

// Encoder front end: drops the tail field, turbo-codes the rest.
std::vector<double> fwdEncoder(const std::vector<double>& packet, const ModParams& params);

}  // namespace tolvane
