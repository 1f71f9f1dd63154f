// Reducing large traces to what a screen can show, so that a display of a
// million samples draws as quickly as one of a thousand. The drawing
// reduces again for the visible range whenever it changes.
#pragma once

#include <cstddef>

#include "display/figure.hpp"

namespace tolvane::display {

// A trace whose x never decreases, drawn over [xMin xMax] in `columns`
// pixel columns: the points inside the range reduced to each column's
// minimum and maximum (in the order they occur), so the drawn line covers
// exactly the same pixels of every column; a column holding a NaN keeps a
// NaN after them, so a gap stays a gap. The nearest point on either side of
// the range is kept so the line runs to the edges. A trace with at most two
// points per column comes back as it is (within the range and neighbours).
// Colour and style are kept.
Trace decimateMinMax(const Trace& trace, double xMin, double xMax, std::size_t columns);

// A path (or a set of dots) drawn over the ranges into width x height
// pixels. For a line: the points that fall in the same pixel as the point
// kept before them are dropped (the last point of the path stays), and
// runs of NaN shrink to one. For dots (no line): one dot per pixel, and
// none outside the ranges.
Trace thinPath(const Trace& trace, const Range& x, const Range& y, std::size_t width, std::size_t height);

}  // namespace tolvane::display
