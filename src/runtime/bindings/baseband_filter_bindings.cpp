// Adapters registering upsampling, the baseband filters and circular
// filtering by name.
#include "numerics/circular_filter.hpp"
#include "base/diagnostics.hpp"
#include "base/limits.hpp"
#include "onex/baseband_filter.hpp"
#include "onex/constants.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/choice_values.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// An upsampled column stays a column (an empty column too).
bool isColumn(const Value& v) { return v.isNumeric() && v.cols() == 1 && v.rows() != 1; }

Value shaped(std::vector<cplx> values, bool column) {
    const std::size_t count = values.size();
    Value v = column ? Value::complexMatrix(count, 1, std::move(values)) : Value::complexRow(std::move(values));
    v.simplify();
    return v;
}

// An upsampling factor: a whole number whose product with the input's
// length stays within kMaxSamples.
int factorArg(const Call& c, std::size_t i, long long lowest) {
    const long long factor = argWhole(c, i, lowest, static_cast<long long>(kMaxSamples));
    checkResultSize(static_cast<double>(c.in(0).numel()) * static_cast<double>(factor), inputName(c, i));
    return static_cast<int>(factor);
}

int designOversampling(const Call& c, std::size_t i) {
    return static_cast<int>(argWhole(c, i, kMinDesignOversampling, kMaxOversampling));
}

}  // namespace

void registerBasebandFilter(Registry& reg) {
    define(reg, "upsample", 2, 1, {"x", "n"}, {"y"}, [](Call& c) {
        const int n = factorArg(c, 1, 1);
        c.setOut(0, shaped(upsample(argComplex(c, 0), n), isColumn(c.in(0))));
    });
    define(reg, "upsampleMarker", 2, 1, {"in", "ratio"}, {"out"}, [](Call& c) {
        const int ratio = factorArg(c, 1, 0);
        c.setOut(0, realRow(upsampleMarker(argReal(c, 0), ratio)));
    });
    define(reg, "OneX_BasebandFilter", 3, 1, {"frame", "oversamplingRate", "filterType"}, {"output"},
           [](Call& c) {
               const FilterShape shape = filterShapeOf(c.in(2), "filterType");
               const int os = static_cast<int>(argWhole(c, 1, lowestOversampling(shape), kMaxOversampling));
               c.setOut(0, complexResult(basebandFilter(argComplex(c, 0), os, shape)));
           });
    define(reg, "FilterCoeff_IS95_Std", 1, 1, {"oversmpl"}, {"h"},
           [](Call& c) { c.setOut(0, realRow(filterCoeffStd(designOversampling(c, 0)))); });
    define(reg, "FilterCoeff_IS95_Acp", 1, 1, {"oversmpl"}, {"h"},
           [](Call& c) { c.setOut(0, realRow(filterCoeffAcp(designOversampling(c, 0)))); });
    define(reg, "circfilt", 2, 1, {"x", "h"}, {"y"}, [](Call& c) {
        const Value& h = c.in(1);
        if (h.isComplex()) {
            const std::vector<cplx> taps = argComplex(c, 1);
            c.setOut(0, complexResult(circularConvolve(argComplex(c, 0), taps,
                                                       static_cast<long long>(taps.size() / 2))));
        } else {
            c.setOut(0, complexResult(circfilt(argComplex(c, 0), argReal(c, 1))));
        }
    });
}

}  // namespace tolvane
