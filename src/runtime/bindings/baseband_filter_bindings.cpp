// Adapters registering this family's functions by name.
#include "numerics/circular_filter.hpp"
#include "numerics/diagnostics.hpp"
#include "onex/baseband_filter.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

bool isColumn(const Value& v) { return v.isNumeric() && v.cols() == 1 && v.rows() != 1; }

int positiveInteger(const Call& c, std::size_t i) {
    const long long n = argInteger(c, i);
    if (n < 1) throw Error("\"" + inputName(c, i) + "\" must be a positive integer.");
    return static_cast<int>(n);
}

Value shaped(std::vector<cplx> values, bool column) {
    const std::size_t count = values.size();
    Value v = column ? Value::complexMatrix(count, 1, std::move(values)) : Value::complexRow(std::move(values));
    v.simplify();
    return v;
}

FilterType filterTypeArg(const Call& c, std::size_t i) {
    const Value& v = c.in(i);
    if (v.isText()) return v.str();
    return argScalar(c, i);
}

}  // namespace

void registerBasebandFilter(Registry& reg) {
    define(reg, "upsample", 2, 1, {"x", "n"}, {"y"}, [](Call& c) {
        const int n = positiveInteger(c, 1);
        c.setOut(0, shaped(upsample(argComplex(c, 0), n), isColumn(c.in(0))));
    });
    define(reg, "upsampleMarker", 2, 1, {"in", "ratio"}, {"out"}, [](Call& c) {
        const long long ratio = argInteger(c, 1);
        if (ratio < 0) throw Error("\"ratio\" must not be negative.");
        c.setOut(0, realRow(upsampleMarker(argReal(c, 0), static_cast<int>(ratio))));
    });
    define(reg, "OneX_BasebandFilter", 3, 1, {"frame", "oversamplingRate", "filterType"}, {"output"},
           [](Call& c) {
               const FilterType type = filterTypeArg(c, 2);
               const int os = positiveInteger(c, 1);
               c.setOut(0, complexResult(basebandFilter(argComplex(c, 0), os, type)));
           });
    define(reg, "FilterCoeff_IS95_Std", 1, 1, {"oversmpl"}, {"h"},
           [](Call& c) { c.setOut(0, realRow(filterCoeffStd(positiveInteger(c, 0)))); });
    define(reg, "FilterCoeff_IS95_Acp", 1, 1, {"oversmpl"}, {"h"},
           [](Call& c) { c.setOut(0, realRow(filterCoeffAcp(positiveInteger(c, 0)))); });
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
