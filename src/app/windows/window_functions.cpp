#include "app/windows/window_functions.hpp"

#include <functional>
#include <string>

#include "app/windows/advanced_settings.hpp"
#include "app/windows/framework.hpp"
#include "app/windows/main_window.hpp"
#include "app/windows/rpc_setup.hpp"
#include "app/windows/sig_gen_connection.hpp"
#include "app/windows/slot_setup.hpp"
#include "app/windows/sig_gen_panel.hpp"
#include "numerics/diagnostics.hpp"
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
    FunctionSpec spec;
    spec.name = name;
    spec.inputs = -1;
    spec.outputs = 1;
    spec.inputNames = {"varargin"};
    spec.outputNames = {"varargout"};
    spec.body = [run, name](Call& c) {
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
    reg.add(std::move(spec));
}

}  // namespace

void setWindowModules(std::unique_ptr<WindowModules> modules) {
    current() = std::move(modules);
    if (!current() || !library().initialised()) return;
    Registry& reg = library().registry();
    addModule(reg, "OneX_Fwd_GUI_c", [](WindowModules& m, const std::string& op) { m.mainWindow->dispatch(op); });
    addModule(reg, "rfCommonUI", [](WindowModules& m, const std::string& op) { m.framework->dispatch(op); });
    addModule(reg, "KLTconfig_c", [](WindowModules& m, const std::string& op) { m.panel->dispatch(op); });
    addModule(reg, "KltConfigAdv_c", [](WindowModules& m, const std::string& op) { m.advanced->dispatch(op); });
    // The setup windows take their callbacks as events of their own window.
    addModule(reg, "OneX_Fwd_GUI_SlotSetup", [](WindowModules& m, const std::string& op) {
        m.slot->dispatch(CallbackEvent{op, m.slot->window(), ""});
    });
    addModule(reg, "OneX_Fwd_GUI_RPCsetup", [](WindowModules& m, const std::string& op) {
        m.rpc->dispatch(CallbackEvent{op, m.rpc->window(), ""});
    });
    addModule(reg, "QV_SigGen", [](WindowModules& m, const std::string& op) {
        m.connection->dispatch(CallbackEvent{op, m.connection->window(), ""});
    });
}

}  // namespace tolvane::app
