#include "numerics/diagnostics.hpp"

#include <cmath>

#include <charconv>
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
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
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
