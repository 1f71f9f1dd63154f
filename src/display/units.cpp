#include "display/units.hpp"

#include <cmath>

namespace tolvane::display {

namespace {

// floor(log10(x) / 3), with the cases log10 cannot give (x <= 0, NaN) far
// outside every named range.
double thousands(double x) {
    if (!(x > 0) || !std::isfinite(x)) return -1000;
    return std::floor(std::log10(x) / 3);
}

}  // namespace

FrequencyUnits DetermineFrequencyUnits(double sampleRate) {
    const double k = thousands(sampleRate);
    if (k == 0) return {"Hz", 1};
    if (k == 1) return {"kHz", 1000};
    if (k == 2) return {"MHz", 1000000};
    return {"GHz", 1000000000};
}

TimeUnits DetermineTimeUnits(double x) {
    const double k = thousands(x);
    if (k == 0) return {"S", 1};
    if (k == -1) return {"mS", 1000};
    if (k == -2) return {"uS", 1000000};
    if (k == -3) return {"nS", 1000000000};
    return {"pS", 1000000000000};
}

}  // namespace tolvane::display
