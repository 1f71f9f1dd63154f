// The six displays by name (QV_PlotCCDF, QV_PlotSpectrum, QV_PlotIQTime,
// QV_PlotEyeDiagram, QV_PlotScatterDiagram, QV_PlotWaterfall): their inputs
// by place with the defaults for those left out, and the window each opens.
#pragma once

#include <complex>
#include <functional>
#include <string>
#include <vector>

#include "app/platform/platform.hpp"
#include "base/diagnostics.hpp"
#include "runtime/convert.hpp"
#include "runtime/registry.hpp"

namespace tolvane::app {

// A display by name: its inputs by place, with the defaults for those left out.
struct DisplayInputs {
    const Call& call;
    double number(std::size_t i, double fallback) const { return call.has(i) ? argScalar(call, i) : fallback; }
    std::string label(std::size_t i) const {
        if (!call.has(i)) return "Test Data";
        if (!call.in(i).isText()) throw Error("The label must be a text.");
        return call.in(i).str();
    }
    std::vector<std::complex<double>> wave(std::size_t i) const {
        return call.has(i) ? argComplex(call, i) : std::vector<std::complex<double>>{};
    }
};

// Registers the displays on `reg`. Each call opens its window on the
// platform `platformFor(name)` gives (which throws Error when there is
// none) and returns the window's handle, or an empty value when an eye or
// scatter diagram could not be drawn.
void registerDisplayEntries(Registry& reg, std::function<Platform&(const std::string& name)> platformFor);

}  // namespace tolvane::app
