// The typed choices of the chain read from the numbers and texts callers
// give. This is the only place where a number or a text becomes a
// FilterShape, Modulation, CodeRate or DataSource; the chain itself only
// sees the typed choices.
#pragma once

#include <optional>
#include <string>

#include "onex/choices.hpp"
#include "runtime/value.hpp"

namespace tolvane {

// Filter shape of a number: 1 rectangular, 3 ACP, 4 none, and any other
// number (2, but also 7, 0 or NaN) the standard filter.
FilterShape filterShapeOf(double number);
// Of a value: the texts "IS95-STD", "IS95-ACP" and "IS95-EVM" (exactly so)
// the standard, ACP and no filter, any other text the rectangular one; a
// number as above, read as the scalar `name`.
FilterShape filterShapeOf(const Value& v, const std::string& name);

// Exactly 1, 2 or 3; std::nullopt for any other number.
std::optional<Modulation> modulationOf(double number);
// The same, refusing any other number with an Error naming `name`.
Modulation modulationOf(double number, const std::string& name);

// Exactly 1, 0.5, 1/3 (as the double 1.0/3.0), 0.25 or 0.2; std::nullopt
// for any other number.
std::optional<CodeRate> codeRateOf(double number);
// The same, refusing any other number with an Error naming `name`.
CodeRate codeRateOf(double number, const std::string& name);

// Exactly 1 .. 8; std::nullopt for any other number.
std::optional<DataSource> dataSourceOf(double number);

}  // namespace tolvane
