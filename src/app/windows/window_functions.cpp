#include "app/windows/window_functions.hpp"

#include <functional>
#include <string>

#include "app/window_utils.hpp"
#include "app/windows/advanced_settings.hpp"
#include "app/windows/framework.hpp"
#include "app/windows/main_window.hpp"
#include "app/windows/rpc_setup.hpp"
#include "app/windows/sig_gen_connection.hpp"
#include "app/windows/slot_setup.hpp"
#include "app/windows/sig_gen_panel.hpp"
#include "app/windows/display_windows.hpp"
#include "base/diagnostics.hpp"
#include "runtime/convert.hpp"
#include "runtime/library.hpp"

namespace tolvane::app {

namespace {

std::unique_ptr<WindowModules>& current() {
    static std::unique_ptr<WindowModules> modules;
    return modules;
}

// The window's console, reached through whichever module is present.
void report(const std::string& text) { warn(text); }

void addModule(Registry& reg, const std::string& name,
               std::function<void(WindowModules&, const std::string& op)> run) {
    FunctionSpec entry;
    entry.name = name;
    entry.inputs = -1;
    entry.outputs = 1;
    entry.inputNames = {"varargin"};
    entry.outputNames = {"varargout"};
    entry.body = [run, name](Call& c) {
        c.setOut(0, Value::empty());
        const auto& args = c.varargin();
        if (args.empty() || !args[0].isText()) return;
        WindowModules* m = current().get();
        if (!m) throw Error(name + ": the application is not running.");
        try {
            run(*m, args[0].str());
        } catch (const Error& e) {
            report(e.what());
        }
    };
    reg.add(std::move(entry));
}

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

void addDisplay(Registry& reg, const std::string& name, int inputs, std::vector<std::string> inputNames,
                std::function<DisplayRequest(const DisplayInputs&)> request, std::size_t waveInput) {
    FunctionSpec entry;
    entry.name = name;
    entry.inputs = inputs;
    entry.outputs = 1;
    entry.inputNames = std::move(inputNames);
    entry.outputNames = {"fig"};
    entry.body = [name, request, waveInput](Call& c) {
        WindowModules* m = current().get();
        if (!m || !m->platform) throw Error(name + ": the application is not running.");
        const DisplayInputs in{c};
        DisplayRequest r = request(in);
        r.parent = static_cast<WindowId>(in.number(0, 0));
        r.label = in.label(1);
        const WindowId w = openDisplayWindow(*m->platform, r, in.wave(waveInput));
        c.setOut(0, w != 0 ? Value::handle(w) : Value::empty());
    };
    reg.add(std::move(entry));
}

void addDisplays(Registry& reg) {
    addDisplay(reg, "QV_PlotCCDF", 3, {"hParent", "label", "iqWave"}, [](const DisplayInputs&) {
        DisplayRequest r;
        r.kind = DisplayKind::CCDF;
        return r;
    }, 2);
    addDisplay(reg, "QV_PlotSpectrum", 4, {"hParent", "label", "sampleRate", "iqWave"}, [](const DisplayInputs& in) {
        DisplayRequest r;
        r.kind = DisplayKind::Spectrum;
        r.sampleRate = in.number(2, 1);
        return r;
    }, 3);
    addDisplay(reg, "QV_PlotIQTime", 5, {"hParent", "label", "sampleRate", "overlay", "iqWave"},
               [](const DisplayInputs& in) {
                   DisplayRequest r;
                   r.kind = in.number(3, 0) != 0 ? DisplayKind::IQTimeOverlay : DisplayKind::IQTime;
                   r.sampleRate = in.number(2, 1);
                   return r;
               }, 4);
    addDisplay(reg, "QV_PlotEyeDiagram", 6, {"hParent", "label", "iqWave", "n", "period", "offset"},
               [](const DisplayInputs& in) {
                   DisplayRequest r;
                   r.kind = DisplayKind::Eye;
                   r.samplesPerTrace = in.number(3, 1);
                   r.period = in.number(4, 0);
                   r.offset = in.number(5, 0);
                   return r;
               }, 2);
    addDisplay(reg, "QV_PlotScatterDiagram", 6, {"hParent", "label", "iqWave", "n", "offset", "traceOn"},
               [](const DisplayInputs& in) {
                   DisplayRequest r;
                   r.kind = DisplayKind::Scatter;
                   r.samplesPerTrace = in.number(3, 1);
                   r.offset = in.number(4, 0);
                   r.traceOn = in.number(5, 1) != 0;
                   return r;
               }, 2);
    addDisplay(reg, "QV_PlotWaterfall", 5, {"hParent", "label", "sampleRate", "period", "iqWave"},
               [](const DisplayInputs& in) {
                   DisplayRequest r;
                   r.kind = DisplayKind::Waterfall;
                   r.sampleRate = in.number(2, 1);
                   r.period = in.number(3, 0);
                   return r;
               }, 4);
}

}  // namespace

WindowModules* runningWindowModules() { return current().get(); }

void setWindowModules(std::unique_ptr<WindowModules> modules) {
    current() = std::move(modules);
    if (!current() || !library().initialised()) return;
    Registry& reg = library().registry();
    addDisplays(reg);
    addModule(reg, "OneX_Fwd_GUI_c", [](WindowModules& m, const std::string& op) { m.mainWindow->dispatch(op); });
    addModule(reg, "rfCommonUI", [](WindowModules& m, const std::string& op) { m.framework->dispatch(op); });
    addModule(reg, "KLTconfig_c", [](WindowModules& m, const std::string& op) { m.panel->dispatch(op); });
    addModule(reg, "KltConfigAdv_c", [](WindowModules& m, const std::string& op) { m.advanced->dispatch(op); });
    // The setup windows take their callbacks by name as the events of their
    // own window that the names stand for; other names do nothing there.
    addModule(reg, "OneX_Fwd_GUI_SlotSetup", [](WindowModules& m, const std::string& op) {
        if (auto e = callbackEvent(op, m.slot->window(), SlotSetup::kWindowTag)) m.slot->dispatch(*e);
    });
    addModule(reg, "OneX_Fwd_GUI_RPCsetup", [](WindowModules& m, const std::string& op) {
        if (auto e = callbackEvent(op, m.rpc->window(), RpcSetup::kWindowTag)) m.rpc->dispatch(*e);
    });
    addModule(reg, "QV_SigGen", [](WindowModules& m, const std::string& op) {
        if (auto e = callbackEvent(op, m.connection->window(), SigGenConnection::kWindowTag))
            m.connection->dispatch(*e);
    });
}

}  // namespace tolvane::app
