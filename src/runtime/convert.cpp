#include "runtime/convert.hpp"

#include <cmath>
#include <utility>

#include "numerics/diagnostics.hpp"

namespace tolvane {

std::string inputName(const Call& c, std::size_t i) {
    const FunctionSpec* def = c.definition();
    if (i < def->inputNames.size()) return def->inputNames[i];
    return "input " + std::to_string(i + 1);
}

double valueScalar(const Value& v, const std::string& name) {
    if (!v.isNumeric() && !v.isHandle())
        throw Error("\"" + name + "\" must be numeric, not " + kindName(v.kind()) + ".");
    if (v.numel() == 0) throw Error("\"" + name + "\" must not be empty.");
    return v.realAt(0);
}

std::vector<double> valueReal(const Value& v, const std::string& name) {
    if (v.isReal()) return v.realData();
    if (v.isComplex()) {
        std::vector<double> out;
        out.reserve(v.numel());
        for (const auto& z : v.complexData()) out.push_back(z.real());
        return out;
    }
    throw Error("\"" + name + "\" must be numeric, not " + kindName(v.kind()) + ".");
}

std::vector<cplx> valueComplex(const Value& v, const std::string& name) {
    if (!v.isNumeric()) throw Error("\"" + name + "\" must be numeric, not " + kindName(v.kind()) + ".");
    return v.toComplex();
}

bool valueTruth(const Value& v) {
    if (!v.isNumeric() || v.numel() == 0) return false;
    for (std::size_t i = 0; i < v.numel(); ++i)
        if (v.complexAt(i) == cplx(0.0, 0.0)) return false;
    return true;
}


double argScalar(const Call& c, std::size_t i) { return valueScalar(c.in(i), inputName(c, i)); }

long long argInteger(const Call& c, std::size_t i) {
    const double x = argScalar(c, i);
    // Whole numbers beyond +-2^53 are not needed anywhere and would not
    // convert safely to an integer.
    if (!std::isfinite(x) || std::floor(x) != x || std::abs(x) > 9007199254740992.0)
        throw Error("\"" + inputName(c, i) + "\" must be a whole number.");
    return static_cast<long long>(x);
}

std::vector<double> argReal(const Call& c, std::size_t i) { return valueReal(c.in(i), inputName(c, i)); }

std::vector<cplx> argComplex(const Call& c, std::size_t i) {
    return valueComplex(c.in(i), inputName(c, i));
}

bool argTruth(const Call& c, std::size_t i) { return valueTruth(c.in(i)); }

Value complexResult(std::vector<cplx> values) {
    Value v = Value::complexRow(std::move(values));
    v.simplify();
    return v;
}

Value realRow(std::vector<double> values) { return Value::row(std::move(values)); }

void define(Registry& reg, std::string name, int inputs, int outputs, std::vector<std::string> inputNames,
            std::vector<std::string> outputNames, Body body) {
    FunctionSpec def;
    def.name = std::move(name);
    def.inputs = inputs;
    def.outputs = outputs;
    def.inputNames = std::move(inputNames);
    def.outputNames = std::move(outputNames);
    def.body = std::move(body);
    reg.add(std::move(def));
}

}  // namespace tolvane
