// Adapters registering the traffic channel pipeline, its modulation
// parameters and the encoder front end by name.
#include <string>

#include "numerics/diagnostics.hpp"
#include "onex/traffic_channel.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"
#include "runtime/mod_params_value.hpp"

namespace tolvane {

void registerTrafficChannel(Registry& reg) {
    define(reg, "OneX_FwdTrfChnModParams", 1, 1, {"drcValue"}, {"modParams"},
           [](Call& c) { c.setOut(0, modParamsRecord(argScalar(c, 0))); });

    define(reg, "OneX_FwdEncoder", 2, 1, {"physicalLayerPacket", "modulationParameters"}, {"output"}, [](Call& c) {
        const std::vector<double> packet = argReal(c, 0);
        const ModParams params = modParamsFromValue(c.in(1), {"codeRate"}, "modulationParameters");
        c.setOut(0, realRow(fwdEncoder(packet, params)));
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
               const ModParams params = modParamsFromValue(record, needed);
               int macIndex = 0;
               if (switches.scrambler) {
                   const long long mac = argInteger(c, 2);
                   if (mac < 0 || mac > 63)
                       throw Error("\"macIndex\" = " + std::to_string(mac) + " must be a MAC index from 0 to 63.");
                   macIndex = static_cast<int>(mac);
               }
               c.setOut(0, complexResult(fwdTrfChn(data, params, macIndex, switches)));
           });
}

}  // namespace tolvane
