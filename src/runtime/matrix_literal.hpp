// Numbers as users type them on the command line: "5", "-10", "1e-3",
// "[1 2 3]", "[1, 2, 3]", "[1 0; 0 1]" (rows separated by semicolons, a
// trailing semicolon allowed).
//
// Numbers are plain decimals: an optional sign, digits with an optional
// decimal point, an optional exponent ("-2.5e3"). Hexadecimal, "Inf", "NaN"
// and words are refused, as are commas without a number on each side
// ("4,", ",4", "[1,,2]").
#pragma once

#include <string>

#include "runtime/value.hpp"

namespace tolvane {

// Parses a real scalar or matrix literal. Throws Error quoting the text when
// it is not one (ragged rows, stray characters, an empty text, a text longer
// than limits::kMaxLiteralChars).
Value parseMatrixLiteral(const std::string& text);

}  // namespace tolvane
