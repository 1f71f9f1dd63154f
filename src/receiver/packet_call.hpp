// The analysis's call of the packet decoder, kept apart so that the packet
// search is built and tested on its own.
#pragma once

#include <complex>
#include <optional>
#include <vector>

namespace tolvane::rx {

struct PacketDecodeOutcome {
    int drc = 0;
    bool fcsOk = false;
    std::vector<int> payload;
    int iterations = 0;
};

// Decodes the data chips of a packet of `drc` and `macIndex`; nothing when
// no decoder is available.
std::optional<PacketDecodeOutcome> decodeFoundPacket(const std::vector<std::complex<double>>& chips,
                                                     double noiseVariance, int drc, int macIndex, int maxIterations);

}  // namespace tolvane::rx
