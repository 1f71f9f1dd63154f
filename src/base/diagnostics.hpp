// Errors and warnings shared by every layer.
//
// The signal core reports a violated precondition by throwing tolvane::Error;
// the function registry turns it into the run-time error text the user sees.
// Warnings (a clamped parameter, an unassigned output) go through one
// process-wide sink so that the command line, the tests and the windows can
// each decide where they appear.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace tolvane {

// A run-time error: the message is complete and shown to the user as it is.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The shortest text that reads back as the same double, for messages that
// quote a value the user gave; whole numbers below 2^53 without exponent
// (1000000), non-finite values as "NaN", "Inf" and "-Inf" (the spellings
// the JSON arguments use).
std::string numberText(double value);

using WarningSink = std::function<void(const std::string&)>;

// Emits a warning through the current sink (standard error by default).
void warn(const std::string& message);

// Replaces the warning sink; returns the previous one. An empty sink restores
// the default (standard error, prefixed "Warning: ").
WarningSink setWarningSink(WarningSink sink);

}  // namespace tolvane
