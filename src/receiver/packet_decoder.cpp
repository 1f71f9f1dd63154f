// Decoding one forward traffic packet: the transmit chain of onex run
// backwards on soft values.
//
// The transmitter turbo-codes the packet (less its tail field), scrambles
// the code bits, interleaves them, maps them to symbols, repeats the symbols
// back to back to fill the packet's chips and puts 16 symbols at a time
// under the 16 Walsh codes. Here the chips are de-covered, each symbol's
// bits get their log-likelihood ratios, the copies of a symbol are added,
// the ratios go back through the interleaver's permutation, their signs are
// flipped where the scrambler's bit is 1, and the turbo decoder runs until
// the frame check sequence checks or the iterations are used up.
#include "receiver/packet_decoder.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>

#include "base/diagnostics.hpp"
#include "onex/channel_interleaver.hpp"
#include "onex/mod_params.hpp"
#include "onex/packets.hpp"
#include "onex/scrambler.hpp"
#include "onex/traffic_channel.hpp"
#include "receiver/soft_demod.hpp"
#include "receiver/turbo_decoder.hpp"

namespace tolvane {

namespace {

constexpr int kMaxDecoderIterations = 16;
constexpr double kMinNoiseVariance = 1e-6;

// What decoding a packet of one DRC needs besides its chips: where the
// channel interleaver moved each code bit, and a turbo decoder with its
// buffers. Built on the first packet of that DRC in each thread and kept, so
// that a stream of packets neither recomputes the permutations nor asks the
// system for fresh pages every time (at most a few MB per thread for all
// twelve).
struct DrcPlan {
    std::vector<std::uint32_t> deinterleave;  // received code bit j is code bit deinterleave[j]
    TurboDecoder decoder;
    std::vector<float> llr;
    std::vector<std::uint8_t> decided;
    int scramblerMac = -1;  // the MAC index `scrambler` belongs to
    std::vector<std::uint8_t> scrambler;

    explicit DrcPlan(const ModParams& params)
        // The encoder leaves out the packet's tail field: it codes the payload and the FCS.
        : decoder(static_cast<std::size_t>(params.bits) - kEncoderTailBits, params.codeRate) {
        const std::size_t codedBits = static_cast<std::size_t>(symbolsPerBit(params.codeRate)) *
                                      static_cast<std::size_t>(params.bits);
        // The interleaver only moves values: run it on the positions to learn
        // where each code bit went.
        std::vector<double> position(codedBits);
        for (std::size_t i = 0; i < codedBits; ++i) position[i] = static_cast<double>(i);
        const std::vector<double> moved = fwdChannelInterleaver(position, params.codeRate, params.bits);
        deinterleave.resize(codedBits);
        for (std::size_t j = 0; j < codedBits; ++j) deinterleave[j] = static_cast<std::uint32_t>(moved[j]);
        llr.resize(codedBits);
    }
};

DrcPlan& planFor(const ModParams& params) {
    thread_local std::array<std::unique_ptr<DrcPlan>, 12> plans;
    std::unique_ptr<DrcPlan>& plan = plans[static_cast<std::size_t>(params.drcValue - 1)];
    if (!plan) plan = std::make_unique<DrcPlan>(params);
    return *plan;
}

}  // namespace

DecodedPacket decodePacket(const std::vector<std::complex<double>>& chips, double noiseVariance, int drc,
                           int macIndex, const PacketDecoderOptions& options) {
    if (drc < 1 || drc > 12)
        throw Error("Packet decoder: DRC " + numberText(drc) + " is not a data rate (1 to 12).");
    if (macIndex < 0 || macIndex > 63)
        throw Error("Packet decoder: MAC index " + numberText(macIndex) + " is outside 0 to 63.");
    if (!(std::isfinite(noiseVariance) && noiseVariance > 0))
        throw Error("Packet decoder: noise variance " + numberText(noiseVariance) +
                    " must be a positive finite number.");
    if (options.maxIterations < 1 || options.maxIterations > kMaxDecoderIterations)
        throw Error("Packet decoder: iterations " + numberText(options.maxIterations) + " is outside 1 to 16.");
    const ModParams params = *fwdTrfChnModParams(drc);
    // The chain's output: the required symbols in whole 16-symbol columns.
    const std::size_t packetChips = (static_cast<std::size_t>(params.modulationSymbolsRequired) + 15) / 16 * 16;
    if (chips.size() > packetChips)
        throw Error("Packet decoder: " + numberText(static_cast<double>(chips.size())) + " chips given; a DRC " +
                    numberText(drc) + " packet has " + numberText(static_cast<double>(packetChips)) + ".");
    for (std::size_t i = 0; i < chips.size(); ++i)
        if (!std::isfinite(chips[i].real()) || !std::isfinite(chips[i].imag()))
            throw Error("Packet decoder: chip " + numberText(static_cast<double>(i + 1)) + " is not a finite number.");

    const std::size_t codedBits = static_cast<std::size_t>(symbolsPerBit(params.codeRate)) * static_cast<std::size_t>(params.bits);

    // Symbols beyond the required count are the zero padding of the last column.
    std::vector<std::complex<double>> symbols = walshDecover(chips.data(), chips.size());
    if (symbols.size() > static_cast<std::size_t>(params.modulationSymbolsRequired))
        symbols.resize(static_cast<std::size_t>(params.modulationSymbolsRequired));
    // Below 1e-6 the ratios of a clean symbol already exceed anything the
    // turbo decoder takes (it holds them to 1e4); a smaller variance would
    // only push their exponentials out of range.
    const double variance = std::max(noiseVariance, kMinNoiseVariance);
    const std::vector<double> received = combinedLlrs(symbols, codedBits, variance, params.modulationType);

    DrcPlan& plan = planFor(params);
    if (plan.scramblerMac != macIndex) {
        // The scrambler's own sequence: what it makes of all-zero bits.
        const std::vector<double> sequence = fwdScrambler(std::vector<double>(codedBits, 0.0), drc, macIndex);
        plan.scrambler.assign(sequence.begin(), sequence.end());
        plan.scramblerMac = macIndex;
    }
    std::vector<float>& llr = plan.llr;
    for (std::size_t j = 0; j < codedBits; ++j) {
        const std::uint32_t i = plan.deinterleave[j];
        const double v = plan.scrambler[i] != 0 ? -received[j] : received[j];
        // Held within the float range (NaN, from chips too large to square,
        // stays NaN: erased).
        llr[i] = static_cast<float>(std::clamp(v, -1e6, 1e6));
    }
    TurboDecoder& decoder = plan.decoder;

    const std::size_t payloadBits = static_cast<std::size_t>(packetPayloadBits(drc));
    std::vector<double> payload(payloadBits);
    const auto fcsChecks = [&](std::span<const std::uint8_t> bits) {
        for (std::size_t i = 0; i < payloadBits; ++i) payload[i] = bits[i];
        const std::array<double, kFcsBits> fcs = packetFcs(payload);
        for (std::size_t i = 0; i < kFcsBits; ++i)
            if (fcs[i] != static_cast<double>(bits[payloadBits + i])) return false;
        return true;
    };
    std::vector<std::uint8_t>& decided = plan.decided;
    TurboDecodeOptions turbo;
    turbo.maxIterations = options.maxIterations;
    turbo.logMap = options.logMap;
    const TurboDecodeResult run = decoder.decode(llr, decided, turbo, fcsChecks);

    DecodedPacket out;
    out.fcsOk = run.stopped;
    out.iterations = run.iterations;
    out.payload.assign(decided.begin(), decided.begin() + static_cast<std::ptrdiff_t>(payloadBits));
    return out;
}

}  // namespace tolvane
