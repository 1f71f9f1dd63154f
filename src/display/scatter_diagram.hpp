// The scatter (constellation) diagram: Q against I at every n-th sample,
// optionally over the line through all samples.
#pragma once

#include <complex>
#include <cstddef>
#include <string>
#include <vector>

#include "display/figure.hpp"
#include "display/frame.hpp"

namespace tolvane::display {

struct ScatterArguments {
    std::size_t n = 1;       // samples per symbol: every n-th sample is a dot
    std::size_t offset = 0;  // the first dot
};

// n at least 1 (NaN: 1), offset from 0 to n - 1 (NaN: 0), both rounded to
// whole samples.
ScatterArguments clampScatterArguments(double n, double offset);

// The window "Scatter Diagram " + label with one square axes QV_Scatter.
// traceOn: a cyan line through every sample, then blue dots at samples
// offset, offset + n, ...; otherwise the dots alone in the default colour.
// Throws Error for a waveform without a sample at the offset.
Figure scatterDiagramFigure(const Placement& placement, const std::string& label,
                            const std::vector<std::complex<double>>& iqWave, double n, double offset, bool traceOn);

}  // namespace tolvane::display
