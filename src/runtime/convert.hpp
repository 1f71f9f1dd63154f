// Conversions between values and the typed signal core, used by the
// adapters that register the core's functions by name. Every conversion
// that can fail names the input it was reading and, for numbers, the values
// it accepts.
//
// Numbers an adapter reads come in three kinds, each with one contract:
//   scalars       argScalar / valueScalar: the first element of a numeric
//                 value. A complex value whose imaginary parts are not all
//                 zero is refused: a setting is a real number.
//   whole numbers argWhole / valueWhole: a scalar that is finite, has no
//                 fraction and lies in [lo, hi]; anything else is refused
//                 with the allowed range. Ranges stay within +-2^53, where
//                 every whole number is a double, so nothing wraps or rounds.
//   sizes         argCount / valueCount: a length or count. As sizes always
//                 have, the whole part of the value is taken (a negative
//                 value is 0); a value that is not finite or lies above the
//                 ceiling given is refused, naming the ceiling.
// Sizes whose product makes a result (a row repeated n times, m x n noise)
// go through checkResultSize: no call creates more than kMaxSamples
// elements (base/limits.hpp, where the smaller ceilings on filter
// lengths and orders are documented too).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "runtime/registry.hpp"
#include "runtime/value.hpp"

namespace tolvane {

// Name of input place i of the call (its declared name, or "input <i+1>").
std::string inputName(const Call& c, std::size_t i);

double argScalar(const Call& c, std::size_t i);
double valueScalar(const Value& v, const std::string& name);

// The widest range a whole number may be read in: +-2^53. A bound at one
// of these ends leaves that side open in messages ("of at most 1023").
constexpr long long kWholeMin = -(1LL << 53);
constexpr long long kWholeMax = 1LL << 53;

long long argWhole(const Call& c, std::size_t i, long long lo, long long hi);
long long valueWhole(const Value& v, const std::string& name, long long lo, long long hi);
// The check behind valueWhole, for a number already read.
long long wholeNumber(double x, const std::string& name, long long lo, long long hi);

std::size_t argCount(const Call& c, std::size_t i, std::size_t max);
std::size_t valueCount(const Value& v, const std::string& name, std::size_t max);

// Refuses a result of `elements` elements above kMaxSamples; `what` names
// the argument that asked for it. The count is a double so that products of
// sizes cannot wrap.
void checkResultSize(double elements, const std::string& what);

// Every element of a real numeric input, in linear (column-major) order
// (the real parts of a complex one).
std::vector<double> argReal(const Call& c, std::size_t i);
// Every element of a numeric input as complex numbers, in linear order.
std::vector<cplx> argComplex(const Call& c, std::size_t i);
// True when the input holds a value that counts as true: non-empty and all
// elements non-zero.
bool argTruth(const Call& c, std::size_t i);

// Same, on a plain value with an explicit name for messages.
std::vector<double> valueReal(const Value& v, const std::string& name);
std::vector<cplx> valueComplex(const Value& v, const std::string& name);

// The record a value must be; anything else is refused naming it.
const Value& valueRecord(const Value& v, const std::string& name);

// Results: a complex row keeps its imaginary parts only when one is non-zero,
// as the numeric runtime does after arithmetic.
Value complexResult(std::vector<cplx> values);
Value realRow(std::vector<double> values);

// Registers a main function on `reg` in one line per function.
void define(Registry& reg, std::string name, int inputs, int outputs, std::vector<std::string> inputNames,
            std::vector<std::string> outputNames, Body body);

}  // namespace tolvane
