// What a display window shows, independent of any drawing toolkit.
//
// The display functions (CCDF, spectrum, I/Q against time, eye, scatter,
// waterfall) compute a Figure: the window's name and place, its menus, and
// one or more axes with their traces or surface, limits, scales, grids,
// labels and tags. A front end draws a Figure (the desktop with its plotting
// widget, the command line into an image file); the headless platform only
// opens a window with the Figure's name.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::display {

struct Rgb {
    double r = 0, g = 0, b = 0;  // each 0..1
};

// The default line colour of a plot, and the named colours the displays use.
inline constexpr Rgb kDefaultLineColor{0.0, 0.447, 0.741};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kBlue{0, 0, 1};
inline constexpr Rgb kCyan{0, 1, 1};
inline constexpr Rgb kMagenta{1, 0, 1};

enum class LineStyle { Solid, Dotted, None };
enum class MarkerStyle { None, Dot };
// A trace drawn as a line through its points, or as one bar per point.
enum class TraceKind { Line, Bars };

// One curve or set of points: y against x. A NaN in y (or x) breaks the
// line there, so one trace can hold many separate segments.
struct Trace {
    std::vector<double> x;
    std::vector<double> y;
    Rgb color = kDefaultLineColor;
    LineStyle line = LineStyle::Solid;
    MarkerStyle marker = MarkerStyle::None;
    // True when x never decreases (a function of x, such as a spectrum);
    // false for a path drawn point to point in the order given (the eye
    // traces, the scatter's line).
    bool xAscending = true;
    // Bars: each point is a filled bar of `barWidth` (in x units) centred on
    // x, reaching from `barBase` to y (so a bar of dB values rises from the
    // axis floor rather than from zero).
    TraceKind kind = TraceKind::Line;
    double barWidth = 1;
    double barBase = 0;
};

// A surface sampled on a grid: z[row * columns + column] over the row
// coordinates y (one per row) and column coordinates x (one per column).
struct Surface {
    std::vector<double> x;  // columns
    std::vector<double> y;  // rows
    std::vector<double> z;  // rows * columns, row-major; may hold -Inf
};

struct Range {
    double min = 0;
    double max = 1;
};

struct Axes {
    std::string tag;     // the axes' tag ("QV_CCDF", "QV_Iwave", ...)
    std::string title;
    std::string xLabel;
    std::string yLabel;
    std::string zLabel;  // surfaces only
    Rgb labelColor{0, 0, 0};
    Range x;
    Range y;
    std::optional<Range> z;  // surfaces only
    bool logY = false;
    bool xGrid = false;
    bool yGrid = false;
    LineStyle gridStyle = LineStyle::Dotted;
    std::vector<double> xTicks;  // empty: automatic
    std::vector<Trace> traces;
    std::optional<Surface> surface;
    // Both axes drawn with the same scale (a constellation stays round).
    bool equalAspect = false;
    // Place of the plot box in the window, as fractions of its width and
    // height: [left bottom width height], bottom counted from the window's
    // lower edge. Tick labels, axis labels and the title lie outside it.
    std::array<double, 4> position{0.13, 0.11, 0.775, 0.815};
};

// Lines of text in a fixed-width font, placed on the window: the top-left
// corner at (left, top) as fractions of the window's width and height, top
// counted from the window's upper edge.
struct TextBlock {
    double left = 0;
    double top = 0;
    std::vector<std::string> lines;
};

struct Figure {
    std::string name;  // window title
    // [left bottom width height] in `units` ("pixels" or "normalized"), in
    // the platform's convention for a window's Position.
    std::array<double, 4> position{150, 150, 340, 340};
    std::string units = "pixels";
    // The display menus (File: Print, Print Setup, Close; Edit: Copy;
    // Tools: Zoom, Rotate (disabled), Zoom Reset); the waterfall keeps the
    // toolkit's standard menus instead.
    bool displayMenus = true;
    std::vector<Axes> axes;
    std::vector<TextBlock> texts;
};

}  // namespace tolvane::display
