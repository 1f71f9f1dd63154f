// Adapters registering the symbol modulator and the antipodal map by name.
#include <string>

#include "numerics/diagnostics.hpp"
#include "onex/modulator.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// The modulation type of `format`, or 0 when it is not exactly 1, 2 or 3.
int formatOf(double format) {
    if (format == MOD_QPSK || format == MOD_8PSK || format == MOD_16QAM) return static_cast<int>(format);
    return 0;
}

}  // namespace

void registerModulator(Registry& reg) {
    define(reg, "OneX_FwdTrfModulator", 2, 1, {"input", "format"}, {"output"}, [](Call& c) {
        const double format = argScalar(c, 1);
        const int type = formatOf(format);
        if (type == 0)
            throw Error("\"format\" = " + std::to_string(format) +
                        " is not a supported modulation (1 QPSK, 2 8PSK, 3 16QAM).");
        c.setOut(0, complexResult(fwdTrfModulator(argReal(c, 0), type)));
    });

    // An unsupported format maps nothing: iqvalue stays unassigned.
    define(reg, "OneX_IQmap", 2, 1, {"data", "format"}, {"iqvalue"}, [](Call& c) {
        const int type = formatOf(argScalar(c, 1));
        if (type == 0) return;
        const std::vector<double> bits = argReal(c, 0);
        c.setOut(0, complexResult({iqMap(bits.data(), bits.size(), type)}));
    });

    define(reg, "OneX_SignalMap", 2, 1, {"input", "second"}, {"output"}, [](Call& c) {
        Value out = c.in(0);
        if (out.isReal()) {
            for (double& x : out.realData()) x = 1.0 - 2.0 * x;
        } else if (out.isComplex()) {
            for (cplx& z : out.complexData()) z = 1.0 - 2.0 * z;
            out.simplify();
        } else {
            throw Error("\"input\" must be numeric, not " + std::string(kindName(out.kind())) + ".");
        }
        c.setOut(0, std::move(out));
    });
}

}  // namespace tolvane
