// Adapters registering the channel interleaver and its symbol permuter by name.
#include <string>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"
#include "onex/channel_interleaver.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/choice_values.hpp"
#include "runtime/convert.hpp"
#include "runtime/mod_params_value.hpp"

namespace tolvane {

void registerChannelInterleaver(Registry& reg) {
    define(reg, "OneX_FwdChannelInterleaver", 2, 1, {"input", "modulationParameters"}, {"output"}, [](Call& c) {
        const std::string params = inputName(c, 1);
        const double rate = modParamsNumber(c.in(1), "codeRate", params);
        // Rate 1 passes the symbols through untouched, whatever their number.
        if (rate == 1.0) {
            c.setOut(0, c.in(0));
            return;
        }
        const CodeRate codeRate = codeRateOf(rate, params + ".codeRate");
        const std::vector<double> input = argReal(c, 0);
        // The packet sizes are 1024 .. 4096; the interleaver names the ones
        // in between it does not support.
        const long long bits = wholeNumber(modParamsNumber(c.in(1), "bits", params), params + ".bits", 1024, 4096);
        c.setOut(0, realRow(fwdChannelInterleaver(input, codeRate, static_cast<int>(bits))));
    });

    define(reg, "OneX_FwdSymbolPermuter", 4, 1, {"inputBlock", "k", "m", "type"}, {"output"}, [](Call& c) {
        const std::vector<double> block = argReal(c, 0);
        const auto most = static_cast<long long>(kMaxSamples);
        const int k = static_cast<int>(argWhole(c, 1, 1, most));
        const int m = static_cast<int>(argWhole(c, 2, 1, most));
        const Value& type = c.in(3);
        if (!type.isText())
            throw Error(std::string("Symbol permuter: \"type\" must be the text \"U\" or \"V\", not ") +
                        kindName(type.kind()) + ".");
        c.setOut(0, realRow(fwdSymbolPermuter(block, k, m, type.str())));
    });
}

}  // namespace tolvane
