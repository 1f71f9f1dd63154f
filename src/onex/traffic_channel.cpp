// Traffic channel pipeline: optional encoder, scrambler and channel
// interleaver, then modulator, repetition and the 16-way Walsh-covered sum.
#include "onex/traffic_channel.hpp"

#include "onex/channel_interleaver.hpp"
#include "onex/modulator.hpp"
#include "onex/scrambler.hpp"
#include "onex/turbo.hpp"
#include "onex/walsh.hpp"

namespace tolvane {

std::vector<double> fwdEncoder(const std::vector<double>& packet, const ModParams& params) {
    // The last bits are the tail field; the turbo coder adds its own.
    const std::size_t keep = packet.size() > kEncoderTailBits ? packet.size() - kEncoderTailBits : 0;
    const std::vector<double> input(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(keep));
    return turboCoder(input, params.codeRate);
}

std::vector<std::complex<double>> fwdTrfChn(const std::vector<double>& bits, const ModParams& params,
                                            int macIndex, TrafficSwitches switches) {
    const std::vector<double>* coded = &bits;
    std::vector<double> stage;
    if (switches.encoder) {
        stage = fwdEncoder(*coded, params);
        coded = &stage;
    }
    if (switches.scrambler) {
        stage = fwdScrambler(*coded, params.drcValue, macIndex);
        coded = &stage;
    }
    if (switches.interleaver) {
        stage = fwdChannelInterleaver(*coded, params.codeRate, params.bits);
        coded = &stage;
    }
    const cvec symbols = fwdTrfModulator(*coded, params.modulationType);
    if (static_cast<long long>(symbols.size()) == params.modulationSymbolsRequired)
        return fwdTrfCoverAndSum(symbols);
    return fwdTrfCoverAndSum(fwdTrfRepSeq(symbols, params.modulationSymbolsRequired));
}

}  // namespace tolvane
