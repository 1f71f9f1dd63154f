#include "base/diagnostics.hpp"

#include <charconv>
#include <cmath>
#include <iostream>
#include <utility>

namespace tolvane {

namespace {

void defaultSink(const std::string& message) {
    std::cerr << "Warning: " << message << '\n';
}

WarningSink& currentSink() {
    static WarningSink sink = defaultSink;
    return sink;
}

}  // namespace

std::string numberText(double value) {
    // Non-finite numbers as the runtime shows them everywhere else.
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buf[32];
    // Whole numbers as people type them (1000000, not 1e+06) as long as
    // every digit is exact.
    const bool whole = std::floor(value) == value && std::fabs(value) < 9007199254740992.0;
    const auto end = whole ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed).ptr
                           : std::to_chars(buf, buf + sizeof buf, value).ptr;
    return std::string(buf, end);
}

void warn(const std::string& message) {
    currentSink()(message);
}

WarningSink setWarningSink(WarningSink sink) {
    WarningSink previous = std::move(currentSink());
    currentSink() = sink ? std::move(sink) : WarningSink(defaultSink);
    return previous;
}

}  // namespace tolvane
