// The analysis's call of the packet decoder.
#include "receiver/packet_call.hpp"

#include "receiver/packet_decoder.hpp"

namespace tolvane::rx {

std::optional<PacketDecodeOutcome> decodeFoundPacket(const std::vector<std::complex<double>>& chips,
                                                     double noiseVariance, int drc, int macIndex, int maxIterations) {
    PacketDecoderOptions options;
    options.maxIterations = maxIterations;
    const DecodedPacket decoded = decodePacket(chips, noiseVariance, drc, macIndex, options);
    PacketDecodeOutcome out;
    out.drc = drc;
    out.fcsOk = decoded.fcsOk;
    out.payload = decoded.payload;
    out.iterations = decoded.iterations;
    return out;
}

}  // namespace tolvane::rx
