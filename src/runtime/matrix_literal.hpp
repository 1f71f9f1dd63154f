// Numbers as users type them on the command line: "5", "-10", "1e-3",
// "[1 2 3]", "[1, 2, 3]", "[1 0; 0 1]" (rows separated by semicolons).
#pragma once

#include <string>

#include "runtime/value.hpp"

namespace tolvane {

// Parses a real scalar or matrix literal. Throws Error quoting the text when
// it is not one (ragged rows, stray characters, an empty text).
Value parseMatrixLiteral(const std::string& text);

}  // namespace tolvane
