// Adapters registering the symbol modulator and the antipodal map by name.
#include <string>

#include "base/diagnostics.hpp"
#include "onex/modulator.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/choice_values.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

void registerModulator(Registry& reg) {
    define(reg, "OneX_FwdTrfModulator", 2, 1, {"input", "format"}, {"output"}, [](Call& c) {
        const Modulation modulation = modulationOf(argScalar(c, 1), inputName(c, 1));
        c.setOut(0, complexResult(fwdTrfModulator(argReal(c, 0), modulation)));
    });

    // An unsupported format maps nothing: iqvalue stays unassigned.
    define(reg, "OneX_IQmap", 2, 1, {"data", "format"}, {"iqvalue"}, [](Call& c) {
        const std::optional<Modulation> modulation = modulationOf(argScalar(c, 1));
        if (!modulation) return;
        const std::vector<double> bits = argReal(c, 0);
        c.setOut(0, complexResult({iqMap(bits.data(), bits.size(), *modulation)}));
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
