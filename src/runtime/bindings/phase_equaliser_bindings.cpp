// Adapters registering the phase equaliser and the correction filters'
// design by name.
#include <algorithm>
#include <utility>

#include "base/diagnostics.hpp"
#include "numerics/freq2fir.hpp"
#include "base/limits.hpp"
#include "onex/constants.hpp"
#include "onex/phase_equaliser.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/choice_values.hpp"
#include "runtime/convert.hpp"
#include "runtime/library.hpp"

namespace tolvane {

namespace {

// The baseband filter of the frame configuration, which decides the
// equaliser's filter; the ACP filter (the configuration's default) when
// the configuration is not set or has no such field. The record holds the
// filter as a number.
FilterShape configuredFilterShape() {
    Globals& globals = library().globals();
    if (!globals.declared("parameters")) return FilterShape::Acp;
    const Value parameters = globals.get("parameters");
    if (!parameters.hasField("FilterType")) return FilterShape::Acp;
    return filterShapeOf(valueScalar(parameters.field("FilterType"), "parameters.FilterType"));
}

std::size_t lengthOf(const Value& v) { return v.numel() == 0 ? 0 : std::max(v.rows(), v.cols()); }

void requireVector(const Value& v, const std::string& name) {
    if (!v.isVector())
        throw Error("\"" + name + "\" must be either a 1xN or a Nx1 matrix, not " +
                    numberText(static_cast<double>(v.rows())) + " x " + numberText(static_cast<double>(v.cols())) +
                    ".");
}

}  // namespace

void registerPhaseEqualiser(Registry& reg) {
    define(reg, "OneX_FwdPhaseEq", 2, 1, {"input", "oversamplingRate"}, {"output"}, [](Call& c) {
        const int os = static_cast<int>(argWhole(c, 1, 1, kMaxOversampling));
        std::vector<cplx> input = argComplex(c, 0);
        c.setOut(0, complexResult(fwdPhaseEq(std::move(input), os, configuredFilterShape())));
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
        requireVector(F, "F");
        requireVector(H, "H");
        const long long n = argWhole(c, 0, kWholeMin, kMaxLeastSquaresTaps);
        c.setOut(0, complexResult(createRealFIR(n, argReal(c, 1), argComplex(c, 2), argScalar(c, 3))));
    });
}

}  // namespace tolvane
