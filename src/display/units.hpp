// The units a display's frequency and time axes are labelled in.
#pragma once

#include <string>

namespace tolvane::display {

struct FrequencyUnits {
    std::string units;  // "Hz", "kHz", "MHz", "GHz"
    double divider;     // hertz per unit
};

struct TimeUnits {
    std::string units;  // "S", "mS", "uS", "nS", "pS"
    double multiplier;  // units per second
};

// By the thousands of the sample rate: k = floor(log10(rate) / 3); 0 "Hz",
// 1 "kHz", 2 "MHz", anything else (below 1 Hz too) "GHz".
FrequencyUnits DetermineFrequencyUnits(double sampleRate);

// By the thousands of x seconds: k = floor(log10(x) / 3); 0 "S", -1 "mS",
// -2 "uS", -3 "nS", anything else "pS".
TimeUnits DetermineTimeUnits(double x);

}  // namespace tolvane::display
