// Units of the generator's entries: a choice-list entry v stands for
// 10^(3 (v - 1)) Hz (Hz, kHz, MHz, GHz), and a stored value is shown in the
// largest unit that keeps it at or above 1.
#pragma once

namespace tolvane::app {

// The factor of entry v of a unit list with `entries` entries (an entry out
// of range counts as the nearest one).
double unitFactor(double entry, int entries);

struct UnitChoice {
    int entry = 1;      // 1-based
    double shown = 0;   // the value in that unit
};

// Below 1000 entry 1, below 10^6 entry 2, ..., the last entry beyond.
UnitChoice chooseUnit(double value, int entries);

}  // namespace tolvane::app
