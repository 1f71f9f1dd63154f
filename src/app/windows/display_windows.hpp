// Opening the signal displays from the Plot menu: each request becomes a
// figure (computed by the display functions) shown in a new window over the
// main window.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "app/platform/platform.hpp"
#include "display/frame.hpp"

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

}  // namespace tolvane::app
