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

// A set of 64-bit keys with open addressing; grows at half full.
class SegmentSet {
public:
    explicit SegmentSet(std::size_t expected) {
        std::size_t size = 1024;
        while (size < 2 * expected && size < (std::size_t{1} << 26)) size <<= 1;
        slots_.assign(size, 0);
    }
    // True when the key was not there before.
    bool insert(std::uint64_t key) {
        key += 1;  // 0 marks an empty slot
        if (2 * (count_ + 1) > slots_.size()) grow();
        return place(slots_, key);
    }

private:
    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;

    static std::size_t hash(std::uint64_t k) { return static_cast<std::size_t>((k * 0x9E3779B97F4A7C15ull) >> 17); }
    bool place(std::vector<std::uint64_t>& slots, std::uint64_t key) {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = hash(key) & mask;; i = (i + 1) & mask) {
            if (slots[i] == key) return false;
            if (slots[i] == 0) {
                slots[i] = key;
                ++count_;
                return true;
            }
        }
    }
    void grow() {
        std::vector<std::uint64_t> bigger(slots_.size() * 2, 0);
        count_ = 0;
        for (std::uint64_t k : slots_)
            if (k != 0) place(bigger, k);
        slots_.swap(bigger);
    }
};

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
    width = std::clamp<std::size_t>(width, 1, 20000);
    height = std::clamp<std::size_t>(height, 1, 20000);
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

    // Each segment between two pixels is drawn once: an eye diagram lays
    // thousands of traces over the same few pixels, a constellation's line
    // runs the same paths again and again. A segment already drawn moves the
    // pen without drawing (a NaN break in the output).
    const auto wide = static_cast<std::int64_t>(width), high = static_cast<std::int64_t>(height);
    const auto packed = [&](std::int64_t cx, std::int64_t cy) {
        // Cells from one view's width (height) left of (below) the view to
        // one beyond it, so a path leaving the view keeps its shape nearby.
        const auto u = static_cast<std::uint64_t>(std::clamp<std::int64_t>(cx, -wide, 2 * wide) + wide);
        const auto v = static_cast<std::uint64_t>(std::clamp<std::int64_t>(cy, -high, 2 * high) + high);
        return (u << 16) | v;  // 3 x 20000 < 2^16
    };
    SegmentSet drawn(std::min<std::size_t>(size, 1u << 22));

    out.x.reserve(std::min<std::size_t>(size, 1u << 20));
    out.y.reserve(out.x.capacity());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const auto breakLine = [&] {
        if (!out.x.empty() && !std::isnan(out.y.back())) append(out, nan, nan);
    };
    bool have = false;        // a pen position on this piece of the path
    bool penDrawn = false;    // the pen position is already in the output
    double penX = 0, penY = 0;
    std::uint64_t penCell = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const double x = trace.x[i], y = trace.y[i];
        if (std::isnan(x) || std::isnan(y)) {
            breakLine();
            have = false;
            continue;
        }
        const std::uint64_t c = packed(cell(x, xr.min, xScale), cell(y, yr.min, yScale));
        if (!have) {
            have = true;
            penDrawn = false;
            penX = x, penY = y, penCell = c;
            continue;
        }
        if (c == penCell) continue;  // within the pen's pixel
        const std::uint64_t key = penCell < c ? (penCell << 32) | c : (c << 32) | penCell;
        if (drawn.insert(key)) {
            if (!penDrawn) {
                breakLine();
                append(out, penX, penY);
            }
            append(out, x, y);
            penDrawn = true;
        } else {
            penDrawn = false;
        }
        penX = x, penY = y, penCell = c;
    }
    if (!out.y.empty() && std::isnan(out.y.back())) {
        out.x.pop_back();
        out.y.pop_back();
    }
    return out;
}

}  // namespace tolvane::display
