#include "display/scatter_diagram.hpp"

#include <algorithm>
#include <cmath>

#include "display/eye_diagram.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::display {

ScatterArguments clampScatterArguments(double n, double offset) {
    const EyeArguments a = clampEyeArguments(n, 1, offset);
    return {a.n, a.offset};
}

Figure scatterDiagramFigure(const Placement& placement, const std::string& label,
                            const std::vector<std::complex<double>>& iqWave, double nIn, double offsetIn,
                            bool traceOn) {
    const ScatterArguments a = clampScatterArguments(nIn, offsetIn);
    if (iqWave.size() <= a.offset)
        throw Error("The waveform has " + std::to_string(iqWave.size()) + " samples, none at the offset " +
                    std::to_string(a.offset) + ".");

    Figure figure = frameFigure("Scatter Diagram ", label, placement);
    Axes axes;
    axes.tag = "QV_Scatter";
    axes.title = "Scatter Diagram";
    axes.xLabel = "In-Phase";
    axes.yLabel = "Quadrature";
    axes.xGrid = axes.yGrid = true;
    axes.equalAspect = true;
    axes.position = adjustAxesPosition(kDefaultAxesPosition);

    double peak = 0;
    for (const auto& z : iqWave) peak = std::max({peak, std::abs(z.real()), std::abs(z.imag())});
    // A little room so that the outermost dots are drawn whole.
    const double edge = peak > 0 ? peak * 1.1 : 1;
    axes.x = {-edge, edge};
    axes.y = {-edge, edge};

    if (traceOn) {
        Trace line;
        line.xAscending = false;
        line.color = kCyan;
        line.x.reserve(iqWave.size());
        line.y.reserve(iqWave.size());
        for (const auto& z : iqWave) {
            line.x.push_back(z.real());
            line.y.push_back(z.imag());
        }
        axes.traces.push_back(std::move(line));
    }
    Trace dots;
    dots.xAscending = false;
    dots.line = LineStyle::None;
    dots.marker = MarkerStyle::Dot;
    dots.color = traceOn ? kBlue : kDefaultLineColor;
    for (std::size_t s = a.offset; s < iqWave.size(); s += a.n) {
        dots.x.push_back(iqWave[s].real());
        dots.y.push_back(iqWave[s].imag());
    }
    axes.traces.push_back(std::move(dots));
    figure.axes.push_back(std::move(axes));
    return figure;
}

}  // namespace tolvane::display
