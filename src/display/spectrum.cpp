#include "display/spectrum.hpp"

#include <algorithm>
#include <cmath>

#include "display/units.hpp"
#include "numerics/fft.hpp"

namespace tolvane::display {

double displaySampleRate(double sampleRate) {
    return sampleRate > 0 && std::isfinite(sampleRate) ? sampleRate : 1;
}

Range decibelLimits(const std::vector<double>& values) {
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    bool any = false;
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        any = true;
    }
    if (!any) return {-100, 0};
    // -Inf values (all-zero bins) lie below every finite one and so end up
    // at the 100 dB floor.
    const bool belowAll = std::any_of(values.begin(), values.end(), [](double v) { return v == -HUGE_VAL; });
    const double top = 10 * std::ceil(hi / 10);
    double bottom = belowAll ? top - 100 : 10 * std::floor(lo / 10);
    if (bottom < top - 100) bottom = top - 100;
    return {bottom, top};
}

std::vector<double> symmetricAxis(double fMax, std::size_t points) {
    std::vector<double> axis(points);
    if (points == 0) return axis;
    if (points == 1) {
        axis[0] = -fMax;
        return axis;
    }
    const double step = 2 * fMax / static_cast<double>(points - 1);
    for (std::size_t i = 0; i < points; ++i) axis[i] = -fMax + static_cast<double>(i) * step;
    axis.back() = fMax;
    return axis;
}

SpectrumView spectrumView(double sampleRate, const std::vector<std::complex<double>>& iqWave) {
    sampleRate = displaySampleRate(sampleRate);
    std::vector<double> power;
    if (iqWave.empty()) {
        power = {0.001, 0.01, 0.1, 0.5, 1, 1, 0.5, 0.1, 0.01, 0.001};
        for (double& p : power) p *= p;
    } else {
        const auto bins = reorderSpectrum(fft(iqWave));
        power.resize(bins.size());
        for (std::size_t i = 0; i < bins.size(); ++i)
            power[i] = bins[i].real() * bins[i].real() + bins[i].imag() * bins[i].imag();
    }
    if (*std::min_element(power.begin(), power.end()) == 0) {
        const double peak = *std::max_element(power.begin(), power.end());
        const double floor = peak != 0 ? 1e-20 * peak : 1e-20;
        for (double& p : power) p += floor;
    }

    SpectrumView view;
    view.magnitude.resize(power.size());
    for (std::size_t i = 0; i < power.size(); ++i) view.magnitude[i] = 10 * std::log10(power[i]);
    const double peak = *std::max_element(view.magnitude.begin(), view.magnitude.end());
    if (std::isfinite(peak))
        for (double& m : view.magnitude) m -= peak;
    view.level = decibelLimits(view.magnitude);

    const FrequencyUnits units = DetermineFrequencyUnits(sampleRate);
    const double fMax = sampleRate / (2 * units.divider);
    view.units = units.units;
    view.frequency = {-fMax, fMax};
    view.f = symmetricAxis(fMax, view.magnitude.size());
    return view;
}

Figure spectrumFigure(const Placement& placement, const std::string& label, double sampleRate,
                      const std::vector<std::complex<double>>& iqWave) {
    SpectrumView view = spectrumView(sampleRate, iqWave);
    Figure figure = frameFigure("Magnitude Spectrum ", label, placement, {50, 480, 300, 300});

    Axes axes;
    axes.tag = "QV_Spectrum";
    axes.title = "Spectrum";
    axes.xLabel = "Frequency (" + view.units + ")";
    axes.yLabel = "LogMag (dB)";
    axes.x = view.frequency;
    axes.y = view.level;
    axes.xGrid = axes.yGrid = true;
    axes.position = adjustAxesPosition(kDefaultAxesPosition);
    Trace trace;
    trace.x = std::move(view.f);
    trace.y = std::move(view.magnitude);
    axes.traces.push_back(std::move(trace));
    figure.axes.push_back(std::move(axes));
    return figure;
}

}  // namespace tolvane::display
