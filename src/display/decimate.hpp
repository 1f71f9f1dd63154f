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
// pixels (each at most 20000). For a line: the points that fall in the same
// pixel as the point before them are dropped, and each segment between two
// pixels is kept once: a segment drawn before (in either direction) becomes
// a break (NaN) in the output, as do the breaks of the path. For dots (no
// line): one dot per pixel, and none outside the ranges.
Trace thinPath(const Trace& trace, const Range& x, const Range& y, std::size_t width, std::size_t height);

}  // namespace tolvane::display
