// Opening the signal displays from the Plot menu: each request becomes a
// figure (computed by the display functions) shown in a new window over the
// main window.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "app/platform/platform.hpp"
#include "display/code_domain.hpp"
#include "display/frame.hpp"
#include "receiver/analysis.hpp"

namespace tolvane::app {

enum class DisplayKind { Spectrum, Waterfall, IQTime, IQTimeOverlay, Eye, Scatter, CCDF };

struct DisplayRequest {
    DisplayKind kind = DisplayKind::Spectrum;
    WindowId parent = 0;      // the window the display is placed over (0: none)
    std::string label;        // appended to the display's window name
    double sampleRate = 1;    // Hz
    double period = 0;        // waterfall: seconds per snapshot; eye: seconds per trace
    double samplesPerTrace = 1;  // eye: samples per trace; scatter: samples per symbol
    double offset = 0;        // eye and scatter: start offset in samples
    bool traceOn = true;      // scatter: join the samples with a line
};

// Where a display opens over the parent window (0: none).
display::Placement placementOver(Platform& platform, WindowId parent);

// Opens the display and returns its window. An eye or scatter diagram that
// cannot be drawn shows the "Plot Error" dialog and returns 0.
WindowId openDisplayWindow(Platform& platform, const DisplayRequest& request,
                           const std::vector<std::complex<double>>& samples);

// The code-domain display's view of an analysis: each MAC index's level
// from the Walsh code it rides (even indices: in-phase code i/2; odd ones:
// quadrature code 32 + (i - 1)/2) and the headline numbers.
display::CodeDomainView codeDomainView(const AnalysisReport& report);

// Opens "Code Domain Power " + label over `parent` (0: none).
WindowId openCodeDomainWindow(Platform& platform, WindowId parent, const std::string& label,
                              const AnalysisReport& report);

}  // namespace tolvane::app
