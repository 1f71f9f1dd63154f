#include "display/eye_diagram.hpp"

#include <cmath>
#include <limits>

#include "display/units.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::display {

namespace {

// A count of samples from a double: NaN and anything below `low` give
// `low`; rounded half away from zero; capped far above any waveform.
std::size_t wholeSamples(double value, double low) {
    if (std::isnan(value) || value < low) value = low;
    value = std::round(value);
    constexpr double cap = 1e15;
    return static_cast<std::size_t>(value < cap ? value : cap);
}

}  // namespace

EyeArguments clampEyeArguments(double n, double period, double offset) {
    EyeArguments a;
    a.n = wholeSamples(n, 1);
    a.offset = std::min(wholeSamples(offset, 0), a.n - 1);
    if (period == 0) period = 1;
    if (!(period > 0) || !std::isfinite(period))
        throw Error("The trace period " + numberText(period) + " must be a positive number of seconds.");
    a.period = period;
    return a;
}

Figure eyeDiagramFigure(const Placement& placement, const std::string& label,
                        const std::vector<std::complex<double>>& iqWave, double nIn, double periodIn,
                        double offsetIn) {
    const EyeArguments a = clampEyeArguments(nIn, periodIn, offsetIn);
    const std::size_t points = iqWave.size();
    if (points < a.offset + a.n)
        throw Error("The waveform has " + std::to_string(points) + " samples, not one trace of " +
                    std::to_string(a.n) + " samples after an offset of " + std::to_string(a.offset) + ".");
    const std::size_t traces = (points - a.offset) / a.n;

    const TimeUnits units = DetermineTimeUnits(a.period);
    const double step = a.period * units.multiplier / static_cast<double>(a.n);
    const double nan = std::numeric_limits<double>::quiet_NaN();

    Trace iTrace, qTrace;
    iTrace.xAscending = qTrace.xAscending = false;
    const std::size_t perTrace = a.n + 2;  // n samples, the joining sample, the break
    for (Trace* t : {&iTrace, &qTrace}) {
        t->x.reserve(traces * perTrace);
        t->y.reserve(traces * perTrace);
    }
    double iMax = 0;
    for (std::size_t k = 0; k < traces; ++k) {
        const std::size_t start = a.offset + k * a.n;
        const std::size_t end = std::min(start + a.n + 1, points);  // with the joining sample
        for (std::size_t s = start; s < end; ++s) {
            const double x = static_cast<double>(s - start) * step;
            const double i = iqWave[s].real(), q = iqWave[s].imag();
            iTrace.x.push_back(x);
            iTrace.y.push_back(i);
            qTrace.x.push_back(x);
            qTrace.y.push_back(q);
            if (std::abs(i) > iMax) iMax = std::abs(i);
            if (std::abs(q) > iMax) iMax = std::abs(q);
        }
        if (k + 1 < traces) {
            for (Trace* t : {&iTrace, &qTrace}) {
                t->x.push_back(nan);
                t->y.push_back(nan);
            }
        }
    }

    Figure figure = frameFigure("Eye Diagram ", label, placement);
    auto makeAxes = [&](const char* tag, const char* title, std::string xLabel, Trace trace,
                        const std::array<double, 4>& position, double bottomFactor) {
        Axes axes;
        axes.tag = tag;
        axes.title = title;
        axes.xLabel = std::move(xLabel);
        axes.yLabel = "Amplitude (V)";
        axes.x = {0, a.period * units.multiplier};
        axes.y = {-iMax, iMax};
        axes.xGrid = axes.yGrid = true;
        axes.position = adjustAxesPosition(position, bottomFactor);
        axes.traces.push_back(std::move(trace));
        return axes;
    };
    figure.axes.push_back(makeAxes("QV_EyeI", "Eye Diagram: I", "", std::move(iTrace), kUpperAxesPosition, 1.0));
    figure.axes.push_back(makeAxes("QV_EyeQ", "Eye Diagram: Q", "Time (" + units.units + ")", std::move(qTrace),
                                   kLowerAxesPosition, 1.2));
    return figure;
}

}  // namespace tolvane::display
