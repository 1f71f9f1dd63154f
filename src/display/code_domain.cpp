#include "display/code_domain.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tolvane::display {

namespace {

std::string fixed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string rhoText(const std::optional<double>& rho) { return rho ? fixed("%.5f", *rho) : "-"; }

}  // namespace

std::vector<std::string> codeDomainTable(const CodeDomainView& view) {
    return {
        "PN offset    " + std::to_string(view.pnOffset),
        "Freq error   " + fixed("%.1f Hz", view.frequencyErrorHz),
        "Rho pilot    " + rhoText(view.rhoPilot),
        "Rho MAC      " + rhoText(view.rhoMac),
        "Rho data     " + rhoText(view.rhoData),
        "Rho overall  " + fixed("%.5f", view.rhoOverall),
        "EVM rms      " + (view.evmRmsPercent ? fixed("%.2f %%", *view.evmRmsPercent) : std::string("-")),
    };
}

Figure codeDomainFigure(const Placement& placement, const std::string& label, const CodeDomainView& view) {
    Figure figure = frameFigure("Code Domain Power ", label, placement, {150, 150, 560, 340});

    Axes axes;
    axes.tag = "QV_CodeDomain";
    axes.title = "MAC Code Domain Power";
    axes.xLabel = "MAC index";
    axes.yLabel = "dB relative to MAC power";
    axes.labelColor = kBlack;
    axes.x = {-1, 64};
    axes.y = {kCodeDomainFloorDb, 0};
    axes.yGrid = true;
    axes.gridStyle = LineStyle::Dotted;
    for (double tick = 0; tick <= 64; tick += 8) axes.xTicks.push_back(tick);
    // The plot box leaves the right third of the window to the table.
    axes.position = adjustAxesPosition({0.1, 0.11, 0.58, 0.815});

    Trace inPhase, quadrature;
    for (Trace* t : {&inPhase, &quadrature}) {
        t->kind = TraceKind::Bars;
        t->barWidth = 0.8;
        t->barBase = kCodeDomainFloorDb;
        t->line = LineStyle::None;
    }
    inPhase.color = kBlue;
    quadrature.color = kMagenta;
    for (int index = 0; index < 64; ++index) {
        const double db = view.macIndexDb[static_cast<std::size_t>(index)];
        // A code below the floor (or with no power at all) is drawn as no bar.
        const double level = std::isnan(db) ? kCodeDomainFloorDb : std::clamp(db, kCodeDomainFloorDb, 0.0);
        Trace& t = index % 2 == 0 ? inPhase : quadrature;
        t.x.push_back(index);
        t.y.push_back(level);
    }
    axes.traces = {std::move(inPhase), std::move(quadrature)};
    figure.axes.push_back(std::move(axes));

    TextBlock table;
    table.left = 0.74;
    table.top = 0.15;
    table.lines = codeDomainTable(view);
    figure.texts.push_back(std::move(table));
    return figure;
}

}  // namespace tolvane::display
