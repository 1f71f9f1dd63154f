#include "app/windows/generator_entry.hpp"

#include <cmath>

namespace tolvane::app {

double unitFactor(double entry, int entries) {
    int v = std::isfinite(entry) ? static_cast<int>(std::lround(entry)) : 1;
    if (v < 1) v = 1;
    if (v > entries) v = entries;
    return std::pow(10.0, 3.0 * (v - 1));
}

UnitChoice chooseUnit(double value, int entries) {
    UnitChoice c;
    double limit = 1000;
    for (c.entry = 1; c.entry < entries && !(value < limit); ++c.entry) limit *= 1000;
    c.shown = value / unitFactor(c.entry, entries);
    return c;
}

}  // namespace tolvane::app
