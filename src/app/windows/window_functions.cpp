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
#include "app/windows/display_entries.hpp"
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

}  // namespace

WindowModules* runningWindowModules() { return current().get(); }

void setWindowModules(std::unique_ptr<WindowModules> modules) {
    current() = std::move(modules);
    if (!current() || !library().initialised()) return;
    Registry& reg = library().registry();
    registerDisplayEntries(reg, [](const std::string& name) -> Platform& {
        WindowModules* m = current().get();
        if (!m || !m->platform) throw Error(name + ": the application is not running.");
        return *m->platform;
    });
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
