#include "display/ccdf.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tolvane::display {

std::vector<std::complex<double>> ccdfTestSignal() {
    constexpr std::size_t points = 1000;
    const double pi = std::numbers::pi;
    std::vector<std::complex<double>> wave(points);
    for (std::size_t i = 0; i < points; ++i) {
        const double a = -pi + static_cast<double>(i) * (2 * pi / (points - 1));
        const double b = -10 * pi + static_cast<double>(i) * (20 * pi / (points - 1));
        const double am = 1.5 + std::cos(a);
        wave[i] = {am * std::cos(b), am * std::sin(b)};
    }
    return wave;
}

CcdfCurve ccdfCurve(const std::vector<std::complex<double>>& input) {
    const std::vector<std::complex<double>> testSignal = input.empty() ? ccdfTestSignal() : std::vector<std::complex<double>>{};
    const auto& wave = input.empty() ? testSignal : input;
    const std::size_t points = wave.size();
    CcdfCurve c;

    c.realWave = std::all_of(wave.begin(), wave.end(), [](const std::complex<double>& z) { return z.imag() == 0; });

    // Instantaneous power, floored so that its logarithm stays finite.
    std::vector<double> power(points);
    for (std::size_t i = 0; i < points; ++i) power[i] = std::norm(wave[i]);
    if (*std::min_element(power.begin(), power.end()) == 0)
        for (double& p : power) p += 1e-300;
    double sum = 0;
    for (double p : power) sum += p;
    if (sum == 0) sum = 1e-300;
    const double rmsDb = 10 * std::log10(sum / static_cast<double>(points));

    std::vector<double> relPwr(points);
    for (std::size_t i = 0; i < points; ++i) relPwr[i] = 10 * std::log10(power[i]) - rmsDb;

    double peak = -HUGE_VAL;
    for (double r : relPwr)
        if (r > peak) peak = r;  // NaN never wins
    c.maxX = std::max(peak, 20.0);
    if (c.maxX > 20) c.maxX *= 1.01;

    constexpr std::size_t steps = 200;
    c.x.resize(steps + 1);
    for (std::size_t i = 0; i <= steps; ++i) c.x[i] = c.maxX * static_cast<double>(i) / steps;
    c.x[steps] = c.maxX;

    // Ascending, NaN (a non-finite sample) last; a NaN is never at or above
    // any level.
    const auto finiteEnd = std::partition(relPwr.begin(), relPwr.end(), [](double r) { return !std::isnan(r); });
    std::sort(relPwr.begin(), finiteEnd);
    // The count at each level only shrinks, so each level searches the tail
    // that held the previous count.
    c.y.resize(c.x.size());
    std::ptrdiff_t count = finiteEnd - relPwr.begin();
    for (std::size_t i = 0; i < c.x.size(); ++i) {
        const auto first = std::lower_bound(finiteEnd - count, finiteEnd, c.x[i]);
        count = finiteEnd - first;
        c.y[i] = static_cast<double>(count) * 100 / static_cast<double>(points);
    }

    c.reference.resize(c.x.size());
    for (std::size_t i = 0; i < c.x.size(); ++i)
        c.reference[i] = c.realWave ? 100 * std::erfc(std::pow(10.0, c.x[i] / 20) / std::numbers::sqrt2)
                                    : 100 * std::exp(-std::pow(10.0, c.x[i] / 10));

    c.yMin = *std::min_element(c.y.begin(), c.y.end());
    if (c.yMin == 0) {
        // The smallest non-zero count (the curve never rises); 1e-300 when
        // every count is zero, which only a waveform of NaNs gives.
        const auto positive = static_cast<std::size_t>(std::count_if(c.y.begin(), c.y.end(), [](double v) { return v > 0; }));
        c.yMin = positive > 0 ? c.y[positive - 1] : 1e-300;
        for (double& v : c.y) v += 1e-300;
    }
    if (c.yMin > 0.001) c.yMin = 0.001;
    return c;
}

Figure ccdfFigure(const Placement& placement, const std::string& label,
                  const std::vector<std::complex<double>>& iqWave) {
    const CcdfCurve c = ccdfCurve(iqWave);
    Figure figure = frameFigure("CCDF ", label, placement);

    Axes axes;
    axes.tag = "QV_CCDF";
    axes.title = "CCDF";
    axes.yLabel = "Frequency of occurence (%)";
    axes.xLabel = "dB above Average";
    axes.labelColor = kBlack;
    axes.x = {0, c.maxX};
    axes.y = {c.yMin, 100};
    axes.logY = true;
    axes.xGrid = axes.yGrid = true;
    axes.gridStyle = LineStyle::Dotted;
    for (double tick = 0; tick <= c.maxX; tick += 2) axes.xTicks.push_back(tick);
    axes.position = adjustAxesPosition(kDefaultAxesPosition);

    Trace curve;
    curve.x = c.x;
    curve.y = c.y;
    Trace reference;
    reference.x = c.x;
    reference.y = c.reference;
    reference.color = {0.7, 0.7, 0.7};
    axes.traces = {std::move(curve), std::move(reference)};
    figure.axes.push_back(std::move(axes));
    return figure;
}

}  // namespace tolvane::display
