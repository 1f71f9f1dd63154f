#include "display/iq_time.hpp"

#include <cmath>
#include <numbers>

#include "display/spectrum.hpp"
#include "display/units.hpp"

namespace tolvane::display {

std::vector<double> rampAxis(double end, std::size_t points) {
    std::vector<double> axis(points);
    if (points < 2) return axis;
    const double step = end / static_cast<double>(points - 1);
    for (std::size_t k = 0; k < points; ++k) axis[k] = static_cast<double>(k) * step;
    axis.back() = end;
    return axis;
}

IqTimeView iqTimeView(double sampleRate, const std::vector<std::complex<double>>& iqWave) {
    sampleRate = displaySampleRate(sampleRate);
    IqTimeView view;
    if (iqWave.empty()) {
        constexpr std::size_t points = 100;
        const double pi = std::numbers::pi;
        view.noData = true;
        view.i.resize(points);
        view.q.resize(points);
        for (std::size_t k = 0; k < points; ++k) {
            const double a = -2 * pi + static_cast<double>(k) * (4 * pi / (points - 1));
            view.i[k] = std::cos(a);
            view.q[k] = std::sin(a);
        }
    } else {
        view.i.resize(iqWave.size());
        view.q.resize(iqWave.size());
        for (std::size_t k = 0; k < iqWave.size(); ++k) {
            view.i[k] = iqWave[k].real();
            view.q[k] = iqWave[k].imag();
        }
    }
    double iMax = 0;
    for (const auto* row : {&view.i, &view.q})
        for (double v : *row)
            if (std::abs(v) > iMax) iMax = std::abs(v);  // NaN never wins
    view.amplitude = {-iMax, iMax};

    const std::size_t points = view.i.size();
    const double period = static_cast<double>(points) / sampleRate;
    const TimeUnits units = DetermineTimeUnits(period);
    view.units = units.units;
    view.time = {0, period * units.multiplier};
    view.t = rampAxis(view.time.max, points);
    return view;
}

Figure iqTimeFigure(const Placement& placement, const std::string& label, double sampleRate, bool overlay,
                    const std::vector<std::complex<double>>& iqWave) {
    IqTimeView view = iqTimeView(sampleRate, iqWave);
    Figure figure = frameFigure("I(t) Q(t) ", view.noData ? "No Data" : label, placement);
    const std::string timeLabel = "Time (" + view.units + ")";

    auto makeAxes = [&](const char* tag, const char* title, const std::string& xLabel) {
        Axes axes;
        axes.tag = tag;
        axes.title = title;
        axes.yLabel = "Amplitude (V)";
        axes.xLabel = xLabel;
        axes.x = view.time;
        axes.y = view.amplitude;
        return axes;
    };
    // The samples move into the traces; each trace keeps its own times.
    auto makeTrace = [&](std::vector<double>& values, Rgb color) {
        Trace trace;
        trace.x = view.t;
        trace.y = std::move(values);
        trace.color = color;
        return trace;
    };

    if (overlay) {
        Axes axes = makeAxes("QV_IQwave", "I(t) Q(t)", timeLabel);
        axes.position = adjustAxesPosition(kDefaultAxesPosition);
        axes.traces.push_back(makeTrace(view.i, kDefaultLineColor));
        axes.traces.push_back(makeTrace(view.q, kMagenta));
        figure.axes.push_back(std::move(axes));
    } else {
        Axes upper = makeAxes("QV_Iwave", "I(t)", "");
        upper.position = adjustAxesPosition(kUpperAxesPosition, 1.0);
        upper.traces.push_back(makeTrace(view.i, kDefaultLineColor));
        Axes lower = makeAxes("QV_Qwave", "Q(t)", timeLabel);
        lower.position = adjustAxesPosition(kLowerAxesPosition, 1.2);
        lower.traces.push_back(makeTrace(view.q, kDefaultLineColor));
        figure.axes.push_back(std::move(upper));
        figure.axes.push_back(std::move(lower));
    }
    return figure;
}

}  // namespace tolvane::display
