// Decoding one forward traffic packet from its received data chips: soft
// demodulation, combining of the repeated symbols, de-interleaving,
// descrambling and turbo decoding, checked by the frame check sequence.
#pragma once

#include <complex>
#include <vector>

namespace tolvane {

struct PacketDecoderOptions {
    int maxIterations = 8;  // turbo iterations, 1 .. 16; stops early when the FCS checks
    bool logMap = false;    // the exact log-MAP instead of max-log-MAP
};

struct DecodedPacket {
    bool fcsOk = false;
    std::vector<int> payload;  // payload bits (0/1), as many as packetPayloadBits(drc)
    int iterations = 0;        // turbo iterations run
};

// `chips` are a packet's data chips after its preamble, in the order the
// frame carries them (the data portions of its slots one after the other,
// preamble chips left out), with the PN spreading removed and the channel's
// gain and phase taken out, so that a clean chip equals the transmitter's:
// the traffic chain's output for the packet (encoder, scrambler and
// interleaver on), QPSK scaled to unit symbol energy like 8PSK and 16QAM.
// The frame may hold fewer chips than the chain's output; the rest count as
// erased. `noiseVariance` is the noise power per complex chip (> 0).
// `drc` is 1 .. 12 and `macIndex` 0 .. 63. Throws Error for arguments out of
// range or more chips than the packet has.
DecodedPacket decodePacket(const std::vector<std::complex<double>>& chips, double noiseVariance, int drc,
                           int macIndex, const PacketDecoderOptions& options = {});

}  // namespace tolvane
