// Adapters registering the traffic channel pipeline, its modulation
// parameters and the encoder front end by name.
#include <string>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"
#include "onex/traffic_channel.hpp"
#include "onex/turbo.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"
#include "runtime/mod_params_value.hpp"

namespace tolvane {

namespace {

// A packet the encoder turbo-codes: the turbo interleaver's length and the
// tail field.
void checkEncoderPacket(const std::vector<double>& packet, const std::string& name) {
    const std::size_t keep = packet.size() > kEncoderTailBits ? packet.size() - kEncoderTailBits : 0;
    if (keep < kTurboMinBits || keep > kTurboMaxBits)
        throw Error("\"" + name + "\" holds " + numberText(static_cast<double>(packet.size())) +
                    " bits; the encoder takes " + numberText(static_cast<double>(kTurboMinBits + kEncoderTailBits)) +
                    " to " + numberText(static_cast<double>(kTurboMaxBits + kEncoderTailBits)) +
                    " (a turbo interleaver packet and the tail field).");
}

}  // namespace

void registerTrafficChannel(Registry& reg) {
    define(reg, "OneX_FwdTrfChnModParams", 1, 1, {"drcValue"}, {"modParams"},
           [](Call& c) { c.setOut(0, modParamsRecord(argScalar(c, 0))); });

    // The record's code rate reaches the turbo coder as the number it holds.
    define(reg, "OneX_FwdEncoder", 2, 1, {"physicalLayerPacket", "modulationParameters"}, {"output"}, [](Call& c) {
        const std::vector<double> packet = argReal(c, 0);
        const double rate = modParamsNumber(c.in(1), "codeRate", inputName(c, 1));
        const std::size_t keep = packet.size() > kEncoderTailBits ? packet.size() - kEncoderTailBits : 0;
        if (rate != 1.0) checkEncoderPacket(packet, inputName(c, 0));
        const std::vector<double> payload(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(keep));
        c.setOut(0, realRow(turboCodeByName(payload, rate, inputName(c, 0))));
    });

    define(reg, "OneX_FwdTrfChn", 6, 1,
           {"data", "modParams", "macIndex", "encoderActive", "scramblerActive", "interleaverActive"}, {"out"},
           [](Call& c) {
               const std::vector<double> data = argReal(c, 0);
               const Value& record = c.in(1);
               TrafficSwitches switches;
               switches.encoder = argTruth(c, 3);
               switches.scrambler = argTruth(c, 4);
               switches.interleaver = argTruth(c, 5);
               // The fields each stage reads, in the order the stages run, so a
               // missing field is reported as the stage that needs it would.
               std::vector<std::string> needed;
               if (switches.encoder) needed.push_back("codeRate");
               if (switches.scrambler) needed.push_back("drcValue");
               if (switches.interleaver) {
                   needed.push_back("codeRate");
                   needed.push_back("bits");
               }
               needed.push_back("modulationType");
               needed.push_back("modulationSymbolsRequired");
               const ModParams params = modParamsFromValue(record, needed, inputName(c, 1));
               if (params.modulationSymbolsRequired > static_cast<long long>(kMaxSamples))
                   throw Error("\"" + inputName(c, 1) + ".modulationSymbolsRequired\" = " +
                               numberText(params.modulationSymbolsRequired) + " exceeds the limit of " +
                               numberText(static_cast<double>(kMaxSamples)) + ".");
               const int macIndex = switches.scrambler ? static_cast<int>(argWhole(c, 2, 0, 63)) : 0;
               if (switches.encoder && params.codeRate != CodeRate::One) checkEncoderPacket(data, inputName(c, 0));
               c.setOut(0, complexResult(fwdTrfChn(data, params, macIndex, switches)));
           });
}

}  // namespace tolvane
