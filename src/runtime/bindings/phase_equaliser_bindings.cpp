// Adapters registering this family's functions by name.
#include <algorithm>
#include <utility>

#include "numerics/diagnostics.hpp"
#include "numerics/freq2fir.hpp"
#include "onex/phase_equaliser.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"
#include "runtime/library.hpp"

namespace tolvane {

namespace {

// The baseband filter type of the frame configuration, which decides the
// equaliser's filter; 3 (the ACP filter, the configuration's default) when
// the configuration is not set or has no such field.
double configuredFilterType() {
    Globals& globals = library().globals();
    if (!globals.declared("parameters")) return 3.0;
    const Value& parameters = globals.at("parameters");
    if (!parameters.hasField("FilterType")) return 3.0;
    return valueScalar(parameters.field("FilterType"), "parameters.FilterType");
}

std::size_t lengthOf(const Value& v) { return v.numel() == 0 ? 0 : std::max(v.rows(), v.cols()); }

}  // namespace

void registerPhaseEqualiser(Registry& reg) {
    define(reg, "OneX_FwdPhaseEq", 2, 1, {"input", "oversamplingRate"}, {"output"}, [](Call& c) {
        const long long os = argInteger(c, 1);
        if (os < 1) throw Error("\"oversamplingRate\" must be a positive integer.");
        std::vector<cplx> input = argComplex(c, 0);
        c.setOut(0, complexResult(fwdPhaseEq(std::move(input), static_cast<int>(os), configuredFilterType())));
    });
    define(reg, "eqlrfilt", 1, 2, {"Fs"}, {"b", "a"}, [](Call& c) {
        const IirCoefficients f = eqlrfilt(argScalar(c, 0));
        c.setOut(0, realRow(f.b));
        c.setOut(1, realRow(f.a));
    });
    // The correction filters' design (the inverse of a measured response).
    define(reg, "createRealFIR", 4, 1, {"n", "F", "H", "SR"}, {"h"}, [](Call& c) {
        if (c.nargin() != 4) throw Error("You must have 4 inputs to createRealFIR.");
        const Value& F = c.in(1);
        const Value& H = c.in(2);
        if (lengthOf(F) != lengthOf(H)) throw Error("F must be the same size as H");
        if (!F.isVector() || !H.isVector()) throw Error("F and H must be either a 1xN or a Nx1 matrix.");
        c.setOut(0, complexResult(createRealFIR(argInteger(c, 0), argReal(c, 1), argComplex(c, 2), argScalar(c, 3))));
    });
}

}  // namespace tolvane
