#include "app/windows/display_entries.hpp"

#include <complex>
#include <vector>

#include "app/windows/display_windows.hpp"
#include "base/diagnostics.hpp"
#include "runtime/convert.hpp"

namespace tolvane::app {

namespace {

using PlatformFor = std::function<Platform&(const std::string& name)>;

void addDisplay(Registry& reg, const PlatformFor& platformFor, const std::string& name, int inputs,
                std::vector<std::string> inputNames, std::function<DisplayRequest(const DisplayInputs&)> request,
                std::size_t waveInput) {
    define(reg, name, inputs, 1, std::move(inputNames), {"fig"}, [platformFor, name, request, waveInput](Call& c) {
        Platform& p = platformFor(name);
        const DisplayInputs in{c};
        DisplayRequest r = request(in);
        r.parent = static_cast<WindowId>(in.number(0, 0));
        r.label = in.label(1);
        const WindowId w = openDisplayWindow(p, r, in.wave(waveInput));
        c.setOut(0, w != 0 ? Value::handle(w) : Value::empty());
    });
}

}  // namespace

void registerDisplayEntries(Registry& reg, std::function<Platform&(const std::string& name)> platformFor) {
    addDisplay(reg, platformFor, "QV_PlotCCDF", 3, {"hParent", "label", "iqWave"}, [](const DisplayInputs&) {
        DisplayRequest r;
        r.kind = DisplayKind::CCDF;
        return r;
    }, 2);
    addDisplay(reg, platformFor, "QV_PlotSpectrum", 4, {"hParent", "label", "sampleRate", "iqWave"}, [](const DisplayInputs& in) {
        DisplayRequest r;
        r.kind = DisplayKind::Spectrum;
        r.sampleRate = in.number(2, 1);
        return r;
    }, 3);
    addDisplay(reg, platformFor, "QV_PlotIQTime", 5, {"hParent", "label", "sampleRate", "overlay", "iqWave"},
               [](const DisplayInputs& in) {
                   DisplayRequest r;
                   r.kind = in.number(3, 0) != 0 ? DisplayKind::IQTimeOverlay : DisplayKind::IQTime;
                   r.sampleRate = in.number(2, 1);
                   return r;
               }, 4);
    addDisplay(reg, platformFor, "QV_PlotEyeDiagram", 6, {"hParent", "label", "iqWave", "n", "period", "offset"},
               [](const DisplayInputs& in) {
                   DisplayRequest r;
                   r.kind = DisplayKind::Eye;
                   r.samplesPerTrace = in.number(3, 1);
                   r.period = in.number(4, 0);
                   r.offset = in.number(5, 0);
                   return r;
               }, 2);
    addDisplay(reg, platformFor, "QV_PlotScatterDiagram", 6, {"hParent", "label", "iqWave", "n", "offset", "traceOn"},
               [](const DisplayInputs& in) {
                   DisplayRequest r;
                   r.kind = DisplayKind::Scatter;
                   r.samplesPerTrace = in.number(3, 1);
                   r.offset = in.number(4, 0);
                   r.traceOn = in.number(5, 1) != 0;
                   return r;
               }, 2);
    addDisplay(reg, platformFor, "QV_PlotWaterfall", 5, {"hParent", "label", "sampleRate", "period", "iqWave"},
               [](const DisplayInputs& in) {
                   DisplayRequest r;
                   r.kind = DisplayKind::Waterfall;
                   r.sampleRate = in.number(2, 1);
                   r.period = in.number(3, 0);
                   return r;
               }, 4);
}

}  // namespace tolvane::app
