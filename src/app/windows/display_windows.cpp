#include "app/windows/display_windows.hpp"

#include "display/ccdf.hpp"
#include "display/eye_diagram.hpp"
#include "display/iq_time.hpp"
#include "display/scatter_diagram.hpp"
#include "display/spectrum.hpp"
#include "display/waterfall.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

display::Placement placementOver(Platform& platform, WindowId parent) {
    display::Placement placement;
    if (parent == 0 || !platform.isWindow(parent)) return placement;
    const std::string tag = platform.windowTag(parent);
    const Value position = platform.get(parent, tag, "Position");
    const Value units = platform.get(parent, tag, "Units");
    if (position.isReal() && position.numel() == 4)
        placement.parent = std::array<double, 4>{position.realAt(0), position.realAt(1), position.realAt(2),
                                                 position.realAt(3)};
    if (units.isText()) placement.units = units.str();
    return placement;
}

WindowId openDisplayWindow(Platform& platform, const DisplayRequest& r,
                           const std::vector<std::complex<double>>& samples) {
    const display::Placement placement = placementOver(platform, r.parent);
    switch (r.kind) {
        case DisplayKind::Spectrum:
            return platform.showFigure(display::spectrumFigure(placement, r.label, r.sampleRate, samples));
        case DisplayKind::Waterfall:
            return platform.showFigure(display::waterfallFigure(placement, r.label, r.sampleRate, r.period, samples));
        case DisplayKind::IQTime:
        case DisplayKind::IQTimeOverlay:
            return platform.showFigure(display::iqTimeFigure(placement, r.label, r.sampleRate,
                                                             r.kind == DisplayKind::IQTimeOverlay, samples));
        case DisplayKind::CCDF:
            return platform.showFigure(display::ccdfFigure(placement, r.label, samples));
        case DisplayKind::Eye:
        case DisplayKind::Scatter: {
            const bool eye = r.kind == DisplayKind::Eye;
            // The eye and scatter drawings report what they cannot draw in a
            // dialog of their own; the caller then records no window.
            try {
                return platform.showFigure(
                    eye ? display::eyeDiagramFigure(placement, r.label, samples, r.samplesPerTrace, r.period, r.offset)
                        : display::scatterDiagramFigure(placement, r.label, samples, r.samplesPerTrace, r.offset,
                                                        r.traceOn));
            } catch (const Error& e) {
                platform.errorDialog("Plot Error", std::string(eye ? "Unable to Plot Eye Diagram" :
                                                                     "Unable to Plot Scatter Diagram") +
                                                       "\n" + e.what());
                return 0;
            }
        }
    }
    throw Error("Unknown display.");
}

display::CodeDomainView codeDomainView(const AnalysisReport& report) {
    display::CodeDomainView v;
    for (std::size_t index = 0; index < 64; ++index)
        v.macIndexDb[index] = index % 2 == 0 ? report.codeDomain.macI[index / 2]
                                             : report.codeDomain.macQ[32 + (index - 1) / 2];
    v.pnOffset = report.pnOffset;
    v.frequencyErrorHz = report.frequencyErrorHz;
    v.rhoPilot = report.rho.pilot;
    v.rhoMac = report.rho.mac;
    v.rhoData = report.rho.data;
    v.rhoOverall = report.rho.overall;
    v.evmRmsPercent = report.evmRmsPercent;
    return v;
}

WindowId openCodeDomainWindow(Platform& platform, WindowId parent, const std::string& label,
                              const AnalysisReport& report) {
    return platform.showFigure(display::codeDomainFigure(placementOver(platform, parent), label, codeDomainView(report)));
}

}  // namespace tolvane::app
