#include "display/waterfall.hpp"

#include <algorithm>
#include <cmath>

#include "display/spectrum.hpp"
#include "display/units.hpp"
#include "numerics/fft.hpp"

namespace tolvane::display {

WaterfallSplit waterfallSplit(double sampleRate, double period, std::size_t points) {
    sampleRate = displaySampleRate(sampleRate);
    const double shortest = 10 / sampleRate;
    if (!(period > 0)) period = shortest;
    period = std::max(period, shortest);
    const double cap = static_cast<double>(std::max<std::size_t>(points, 10));
    // Rounded up (a hair of rounding error aside), so that the snapshots of
    // the period never outnumber what it asks for: a two-hundredth of the
    // waveform gives 200 snapshots, not 200 and a sliver.
    const double samples = std::min(std::ceil(period * sampleRate * (1 - 1e-12)), cap);
    WaterfallSplit split;
    split.n = std::max<std::size_t>(10, static_cast<std::size_t>(samples));
    split.m = (points + split.n - 1) / split.n;
    return split;
}

WaterfallView waterfallView(double sampleRate, double period, const std::vector<std::complex<double>>& iqWave) {
    sampleRate = displaySampleRate(sampleRate);
    WaterfallView view;
    std::size_t n = 0, m = 0;
    std::vector<double>& z = view.surface.z;
    if (iqWave.empty()) {
        n = 10;
        m = 5;
        z.assign(n * m, 0.0);
        const double half = 10 * std::log10(0.5 * 0.5);
        for (std::size_t row = 0; row < m; ++row)
            for (std::size_t col = 0; col < n; ++col)
                if (row == (m + 1) / 2 - 1 || col == (n + 1) / 2 - 1) z[row * n + col] = half;
    } else {
        const WaterfallSplit split = waterfallSplit(sampleRate, period, iqWave.size());
        n = split.n;
        m = split.m;
        z.resize(n * m);
        std::vector<std::complex<double>> snapshot(n);
        std::vector<double> level(n);
        for (std::size_t row = 0; row < m; ++row) {
            const std::size_t start = row * n;
            const std::size_t available = std::min(n, iqWave.size() - start);
            std::copy_n(iqWave.begin() + static_cast<std::ptrdiff_t>(start), available, snapshot.begin());
            std::fill(snapshot.begin() + static_cast<std::ptrdiff_t>(available), snapshot.end(), 0.0);
            fftInPlace(snapshot);
            for (std::size_t k = 0; k < n; ++k) level[k] = 10 * std::log10(snapshot[k].real() * snapshot[k].real());
            const auto ordered = reorderSpectrum(level);
            std::copy(ordered.begin(), ordered.end(), z.begin() + static_cast<std::ptrdiff_t>(start));
        }
    }
    view.level = decibelLimits(z);

    const FrequencyUnits f = DetermineFrequencyUnits(sampleRate);
    const double fMax = sampleRate / (2 * f.divider);
    view.frequencyUnits = f.units;
    view.frequency = {-fMax, fMax};
    view.surface.x = symmetricAxis(fMax, n);

    const double total = static_cast<double>(n) * static_cast<double>(m) / sampleRate;
    const TimeUnits t = DetermineTimeUnits(total);
    const double step = static_cast<double>(n) * t.multiplier / sampleRate;
    view.timeUnits = t.units;
    view.surface.y.resize(m);
    for (std::size_t row = 0; row < m; ++row) view.surface.y[row] = static_cast<double>(row) * step;
    view.time = {0, static_cast<double>(m - 1) * step};
    return view;
}

std::array<double, 4> waterfallPosition(const Placement& placement) {
    if (placement.parent) {
        const auto& p = *placement.parent;
        const double width = p[2] * 0.8, height = p[3] * 0.8;
        return {p[0] + 0.2 * width, p[1] - 0.2 * height, width, height};
    }
    if (placement.units == "pixels") return {100, 100, 300, 300};
    return {0, 0, 0.5, 0.5};
}

Figure waterfallFigure(const Placement& placement, const std::string& label, double sampleRate, double period,
                       const std::vector<std::complex<double>>& iqWave) {
    WaterfallView view = waterfallView(sampleRate, period, iqWave);
    Figure figure;
    figure.name = "Spectrum Waterfall " + label;
    figure.units = placement.units;
    figure.position = waterfallPosition(placement);
    figure.displayMenus = false;

    Axes axes;
    axes.tag = "QV_Waterfall";
    axes.title = "Spectrum";
    axes.xLabel = "Frequency (" + view.frequencyUnits + ")";
    axes.yLabel = "Time (" + view.timeUnits + ")";
    axes.zLabel = "LogMag (dB)";
    axes.x = view.frequency;
    axes.y = view.time;
    axes.z = view.level;
    // Room on the right for the colour scale of the levels.
    axes.position = {0.13, 0.11, 0.62, 0.815};
    axes.surface = std::move(view.surface);
    figure.axes.push_back(std::move(axes));
    return figure;
}

}  // namespace tolvane::display
