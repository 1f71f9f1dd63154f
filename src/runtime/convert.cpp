#include "runtime/convert.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"

namespace tolvane {

namespace {

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

std::string notNumeric(const Value& v, const std::string& name) {
    return quoted(name) + " must be numeric, not " + kindName(v.kind()) + ".";
}

}  // namespace

std::string inputName(const Call& c, std::size_t i) {
    const FunctionSpec* def = c.definition();
    if (i < def->inputNames.size()) return def->inputNames[i];
    return "input " + numberText(static_cast<double>(i + 1));
}

double valueScalar(const Value& v, const std::string& name) {
    if (!v.isNumeric() && !v.isHandle()) throw Error(notNumeric(v, name));
    if (v.numel() == 0) throw Error(quoted(name) + " must not be empty.");
    if (v.isComplex())
        for (const cplx& z : v.complexData())
            if (z.imag() != 0.0)
                throw Error(quoted(name) + " must be a real number, not complex (imaginary part " +
                            numberText(z.imag()) + ").");
    return v.realAt(0);
}

double argScalar(const Call& c, std::size_t i) { return valueScalar(c.in(i), inputName(c, i)); }

long long wholeNumber(double x, const std::string& name, long long lo, long long hi) {
    lo = std::max(lo, kWholeMin);
    hi = std::min(hi, kWholeMax);
    if (std::isfinite(x) && std::floor(x) == x && x >= static_cast<double>(lo) && x <= static_cast<double>(hi))
        return static_cast<long long>(x);
    std::string range;
    if (lo > kWholeMin && hi < kWholeMax)
        range = " from " + numberText(static_cast<double>(lo)) + " to " + numberText(static_cast<double>(hi));
    else if (lo > kWholeMin)
        range = " of at least " + numberText(static_cast<double>(lo));
    else if (hi < kWholeMax)
        range = " of at most " + numberText(static_cast<double>(hi));
    throw Error(quoted(name) + " = " + numberText(x) + " must be a whole number" + range + ".");
}

long long valueWhole(const Value& v, const std::string& name, long long lo, long long hi) {
    return wholeNumber(valueScalar(v, name), name, lo, hi);
}

long long argWhole(const Call& c, std::size_t i, long long lo, long long hi) {
    return valueWhole(c.in(i), inputName(c, i), lo, hi);
}

std::size_t valueCount(const Value& v, const std::string& name, std::size_t max) {
    const double x = valueScalar(v, name);
    if (!std::isfinite(x)) throw Error(quoted(name) + " must be a finite number, not " + numberText(x) + ".");
    if (x >= static_cast<double>(max) + 1.0)
        throw Error(quoted(name) + " = " + numberText(x) + " exceeds the limit of " +
                    numberText(static_cast<double>(max)) + ".");
    return x > 0.0 ? static_cast<std::size_t>(std::floor(x)) : 0;
}

std::size_t argCount(const Call& c, std::size_t i, std::size_t max) {
    return valueCount(c.in(i), inputName(c, i), max);
}

void checkResultSize(double elements, const std::string& what) {
    if (elements > static_cast<double>(kMaxSamples))
        throw Error(quoted(what) + " asks for " + numberText(elements) + " elements; a result holds at most " +
                    numberText(static_cast<double>(kMaxSamples)) + ".");
}

std::vector<double> valueReal(const Value& v, const std::string& name) {
    if (v.isReal()) return v.realData();
    if (v.isComplex()) {
        std::vector<double> out;
        out.reserve(v.numel());
        for (const auto& z : v.complexData()) out.push_back(z.real());
        return out;
    }
    throw Error(notNumeric(v, name));
}

const Value& valueRecord(const Value& v, const std::string& name) {
    if (!v.isRecord()) throw Error(quoted(name) + " must be a record, not " + kindName(v.kind()) + ".");
    return v;
}

std::vector<double> argReal(const Call& c, std::size_t i) { return valueReal(c.in(i), inputName(c, i)); }

std::vector<cplx> valueComplex(const Value& v, const std::string& name) {
    if (!v.isNumeric()) throw Error(notNumeric(v, name));
    return v.toComplex();
}

std::vector<cplx> argComplex(const Call& c, std::size_t i) { return valueComplex(c.in(i), inputName(c, i)); }

bool argTruth(const Call& c, std::size_t i) {
    const Value& v = c.in(i);
    if (!v.isNumeric() || v.numel() == 0) return false;
    for (std::size_t k = 0; k < v.numel(); ++k)
        if (v.complexAt(k) == cplx(0.0, 0.0)) return false;
    return true;
}

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
