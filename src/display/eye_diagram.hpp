// The eye diagram: the waveform cut into traces of n samples from a start
// offset, all traces overlaid, I above and Q below.
#pragma once

#include <complex>
#include <cstddef>
#include <string>
#include <vector>

#include "display/figure.hpp"
#include "display/frame.hpp"

namespace tolvane::display {

struct EyeArguments {
    std::size_t n = 1;       // samples per trace
    double period = 1;       // duration of one trace, seconds
    std::size_t offset = 0;  // samples skipped before the first trace
};

// n at least 1 (NaN: 1), offset from 0 to n - 1 (NaN: 0), both rounded to
// whole samples; a period of 0 becomes 1. Throws Error for a period that is
// negative or not finite.
EyeArguments clampEyeArguments(double n, double period, double offset);

// The window "Eye Diagram " + label: axes QV_EyeI (I) above and QV_EyeQ (Q)
// below, time 0 .. period across. Each trace is one segment of the axes'
// single trace (segments separated by NaN): the n samples from
// offset + k n, joined to the first sample of the next trace when there is
// one, so the eye closes at the right edge. Throws Error when the waveform
// holds no whole trace after the offset.
Figure eyeDiagramFigure(const Placement& placement, const std::string& label,
                        const std::vector<std::complex<double>>& iqWave, double n, double period, double offset);

}  // namespace tolvane::display
