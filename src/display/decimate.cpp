#include "display/decimate.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace tolvane::display {

namespace {

Trace emptyLike(const Trace& trace) {
    Trace out;
    out.color = trace.color;
    out.line = trace.line;
    out.marker = trace.marker;
    out.xAscending = trace.xAscending;
    return out;
}

void append(Trace& out, double x, double y) {
    out.x.push_back(x);
    out.y.push_back(y);
}

}  // namespace

Trace decimateMinMax(const Trace& trace, double xMin, double xMax, std::size_t columns) {
    Trace out = emptyLike(trace);
    const std::size_t size = std::min(trace.x.size(), trace.y.size());
    if (size == 0) return out;
    columns = std::max<std::size_t>(columns, 1);
    if (!(xMax > xMin)) xMax = xMin + 1;

    // The points within the range, and one neighbour on either side.
    const auto xEnd = trace.x.begin() + static_cast<std::ptrdiff_t>(size);
    std::size_t first = static_cast<std::size_t>(std::lower_bound(trace.x.begin(), xEnd, xMin) - trace.x.begin());
    std::size_t last = static_cast<std::size_t>(std::upper_bound(trace.x.begin(), xEnd, xMax) - trace.x.begin());
    if (first > 0) --first;
    if (last < size) ++last;

    if (last - first <= 2 * columns) {
        out.x.assign(trace.x.begin() + static_cast<std::ptrdiff_t>(first), trace.x.begin() + static_cast<std::ptrdiff_t>(last));
        out.y.assign(trace.y.begin() + static_cast<std::ptrdiff_t>(first), trace.y.begin() + static_cast<std::ptrdiff_t>(last));
        return out;
    }
    out.x.reserve(2 * columns + 4);
    out.y.reserve(2 * columns + 4);

    const double width = (xMax - xMin) / static_cast<double>(columns);
    const auto columnOf = [&](double x) -> std::int64_t {
        const double c = std::floor((x - xMin) / width);
        if (!(c >= 0)) return -1;  // left of the range (or NaN)
        if (c >= static_cast<double>(columns)) return static_cast<std::int64_t>(columns);  // right of it
        return static_cast<std::int64_t>(c);
    };

    std::size_t i = first;
    while (i < last) {
        const std::int64_t column = columnOf(trace.x[i]);
        std::size_t lo = SIZE_MAX, hi = SIZE_MAX;
        bool gap = false;
        const std::size_t runStart = i;
        for (; i < last && columnOf(trace.x[i]) == column; ++i) {
            const double y = trace.y[i];
            if (std::isnan(y)) {
                gap = true;
                continue;
            }
            if (lo == SIZE_MAX || y < trace.y[lo]) lo = i;
            if (hi == SIZE_MAX || y > trace.y[hi]) hi = i;
        }
        if (lo != SIZE_MAX) {
            const std::size_t a = std::min(lo, hi), b = std::max(lo, hi);
            append(out, trace.x[a], trace.y[a]);
            if (b != a) append(out, trace.x[b], trace.y[b]);
        }
        if (gap) append(out, trace.x[runStart], std::numeric_limits<double>::quiet_NaN());
    }
    return out;
}

Trace thinPath(const Trace& trace, const Range& xr, const Range& yr, std::size_t width, std::size_t height) {
    Trace out = emptyLike(trace);
    const std::size_t size = std::min(trace.x.size(), trace.y.size());
    if (size == 0) return out;
    width = std::max<std::size_t>(width, 1);
    height = std::max<std::size_t>(height, 1);
    const double xSpan = xr.max > xr.min ? xr.max - xr.min : 1;
    const double ySpan = yr.max > yr.min ? yr.max - yr.min : 1;
    const double xScale = static_cast<double>(width) / xSpan, yScale = static_cast<double>(height) / ySpan;
    // Pixel cells, far-off points clamped to a border well outside the view.
    const auto cell = [](double v, double lo, double scale) {
        const double c = std::floor((v - lo) * scale);
        return static_cast<std::int64_t>(std::clamp(c, -1e9, 1e9));
    };

    if (trace.line == LineStyle::None) {
        std::vector<bool> taken(width * height, false);
        for (std::size_t i = 0; i < size; ++i) {
            const double x = trace.x[i], y = trace.y[i];
            if (!(x >= xr.min && x <= xr.max && y >= yr.min && y <= yr.max)) continue;
            const auto cx = std::min<std::int64_t>(cell(x, xr.min, xScale), static_cast<std::int64_t>(width) - 1);
            const auto cy = std::min<std::int64_t>(cell(y, yr.min, yScale), static_cast<std::int64_t>(height) - 1);
            const std::size_t at = static_cast<std::size_t>(cy) * width + static_cast<std::size_t>(cx);
            if (taken[at]) continue;
            taken[at] = true;
            append(out, x, y);
        }
        return out;
    }

    out.x.reserve(std::min<std::size_t>(size, 4 * width * height));
    out.y.reserve(out.x.capacity());
    bool havePrevious = false, previousGap = false;
    std::int64_t px = 0, py = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const double x = trace.x[i], y = trace.y[i];
        if (std::isnan(x) || std::isnan(y)) {
            if (!previousGap && havePrevious) append(out, x, y);
            previousGap = true;
            havePrevious = false;
            continue;
        }
        const std::int64_t cx = cell(x, xr.min, xScale), cy = cell(y, yr.min, yScale);
        const bool lastPoint = i + 1 == size;
        if (havePrevious && cx == px && cy == py && !lastPoint) continue;
        append(out, x, y);
        havePrevious = true;
        previousGap = false;
        px = cx;
        py = cy;
    }
    return out;
}

}  // namespace tolvane::display
