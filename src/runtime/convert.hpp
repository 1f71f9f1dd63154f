// Conversions between values and the typed signal core, used by the
// adapters that register the core's functions by name. Every conversion
// that can fail names the input it was reading.
#pragma once

#include <string>
#include <vector>

#include "runtime/registry.hpp"
#include "runtime/value.hpp"

namespace tolvane {

// Name of input place i of the call (its declared name, or "input<i+1>").
std::string inputName(const Call& c, std::size_t i);

// A numeric input read as a scalar (its first element); errors for an empty
// or non-numeric value.
double argScalar(const Call& c, std::size_t i);
// A numeric scalar that must be a whole number.
long long argInteger(const Call& c, std::size_t i);
// Every element of a real numeric input, in linear (column-major) order.
std::vector<double> argReal(const Call& c, std::size_t i);
// Every element of a numeric input as complex numbers, in linear order.
std::vector<cplx> argComplex(const Call& c, std::size_t i);
// True when the input holds a value that counts as true: non-empty and all
// elements non-zero.
bool argTruth(const Call& c, std::size_t i);

// Same, on a plain value with an explicit name for messages.
double valueScalar(const Value& v, const std::string& name);
std::vector<double> valueReal(const Value& v, const std::string& name);
std::vector<cplx> valueComplex(const Value& v, const std::string& name);
bool valueTruth(const Value& v);

// Results: a complex row keeps its imaginary parts only when one is non-zero,
// as the numeric runtime does after arithmetic.
Value complexResult(std::vector<cplx> values);
Value realRow(std::vector<double> values);

// Registers a main function on `reg` in one line per function.
void define(Registry& reg, std::string name, int inputs, int outputs, std::vector<std::string> inputNames,
            std::vector<std::string> outputNames, Body body);

}  // namespace tolvane
