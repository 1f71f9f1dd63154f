// Adapters registering the channel interleaver and its symbol permuter by name.
#include <cmath>
#include <limits>
#include <string>

#include "numerics/diagnostics.hpp"
#include "onex/channel_interleaver.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// A whole number that fits an int, or an Error naming the value.
int wholeInt(double v, const std::string& name, const std::string& what) {
    if (!std::isfinite(v) || std::floor(v) != v || std::fabs(v) > std::numeric_limits<int>::max()) {
        throw Error(what + " " + name + " = " + numberText(v) + " is not supported.");
    }
    return static_cast<int>(v);
}

}  // namespace

void registerChannelInterleaver(Registry& reg) {
    define(reg, "OneX_FwdChannelInterleaver", 2, 1, {"input", "modulationParameters"}, {"output"}, [](Call& c) {
        const Value& params = c.in(1);
        const double codeRate = valueScalar(params.field("codeRate"), "codeRate");
        // Rate 1 passes the symbols through untouched, whatever their number.
        if (codeRate == 1.0) {
            c.setOut(0, c.in(0));
            return;
        }
        const std::vector<double> input = argReal(c, 0);
        const int bits = wholeInt(valueScalar(params.field("bits"), "bits"), "bits", "Channel interleaver: packet size");
        c.setOut(0, realRow(fwdChannelInterleaver(input, codeRate, bits)));
    });

    define(reg, "OneX_FwdSymbolPermuter", 4, 1, {"inputBlock", "k", "m", "type"}, {"output"}, [](Call& c) {
        const std::vector<double> block = argReal(c, 0);
        const int k = wholeInt(argScalar(c, 1), "k", "Symbol permuter: row count");
        const int m = wholeInt(argScalar(c, 2), "m", "Symbol permuter: column count");
        const Value& type = c.in(3);
        if (!type.isText())
            throw Error(std::string("Symbol permuter: \"type\" must be the text \"U\" or \"V\", not ") +
                        kindName(type.kind()) + ".");
        c.setOut(0, realRow(fwdSymbolPermuter(block, k, m, type.str())));
    });
}

}  // namespace tolvane
