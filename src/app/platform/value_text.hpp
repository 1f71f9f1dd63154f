// The text a person reads for a property value, as the script transcript
// prints it.
#pragma once

#include <string>

#include "runtime/value.hpp"

namespace tolvane::app {

// Text as it is; a number as its shortest text (1, 0.5, -20, NaN); a
// numeric matrix in brackets, rows separated by "; " ("[0 0 300 200]");
// a cell list of texts as its items separated by "|"; an unset or empty
// value as "".
std::string displayText(const Value& value);

// The text on one transcript line: a line break becomes the two characters
// "\n", a carriage return "\r".
std::string oneLine(const std::string& text);

}  // namespace tolvane::app
