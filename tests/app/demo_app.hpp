// A small application on the test layouts (data/demo.ui, data/child.ui),
// standing in for window logic: its callbacks open a modal child window, ask
// a question, ask for input, choose a file, and echo edits on the console.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/headless/headless_platform.hpp"
#include "app/scripting/script_runner.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app::test {

inline std::string layoutFolder() { return std::string(TOLVANE_TEST_DATA_DIR) + "/../app/data"; }

// On any scriptable platform P constructed from the layout folders (and any
// further arguments), so that the same scripts run on each platform.
template <class P>
struct DemoAppOn {
    P platform;
    WindowId main = 0;
    WindowId child = 0;

    template <class... Extra>
    explicit DemoAppOn(Extra&&... extra)
        : platform(std::vector<std::string>{layoutFolder()}, std::forward<Extra>(extra)...) {
        main = platform.openLayout("demo");
        child = platform.openLayout("child.fig");
        platform.setDispatcher(main, [this](const CallbackEvent& e) { mainCallback(e); });
        platform.setDispatcher(child, [this](const CallbackEvent& e) { childCallback(e); });
        platform.set(main, "demo", "Visible", Value::text("on"));
    }

    void mainCallback(const CallbackEvent& e) {
        auto& p = platform;
        if (e.operation == "pbOpen_Callback") {
            p.set(child, "child", "Visible", Value::text("on"));
            const std::string answer = p.waitModal(child);
            if (p.isWindow(child)) p.set(child, "child", "Visible", Value::text("off"));
            p.console("child answered " + answer + " with " + p.get(child, "txtName", "String").str());
        } else if (e.operation == "pbAsk_Callback") {
            const std::string b = p.questionDialog("Calculate", "Parameters changed.\nCalculate now?",
                                                   {"Yes", "No", "Cancel"}, "Yes");
            p.console("question: " + (b.empty() ? std::string("closed") : b));
        } else if (e.operation == "txtGain12_Callback") {
            p.console("gain " + p.get(main, "txtGain12", "String").str());
        } else if (e.operation == "pdMode_Callback" || e.operation == "chkActive_Callback") {
            p.console(e.tag + " " + std::to_string(static_cast<int>(p.get(main, e.tag, "Value").realAt(0))));
        } else if (e.operation == "sldLevel_Callback") {
            throw Error("the level callback failed");
        } else if (e.operation == "menuFileExit_Callback") {
            const auto inputs = p.inputDialog("Names", {"First", "Second"}, {"a", "b"});
            p.console(inputs ? "input " + (*inputs)[0] + "," + (*inputs)[1] : "input cancelled");
            const FileChoice f = p.saveFileDialog("Save", "*.mat", "untitled.mat");
            p.console(f.cancelled ? "file cancelled" : "file " + f.folder + f.file);
            p.messageBox("Done", "Bye");
        }
    }

    void childCallback(const CallbackEvent& e) {
        if (e.operation == "pbOK_Callback") platform.resumeModal(child, "OK");
        if (e.operation == "pbCancel_Callback" || e.operation == "child_CloseRequestFcn")
            platform.resumeModal(child, "Cancel");
    }

    // Resolves the script's window names to the two windows.
    ScriptRunner runner() {
        return ScriptRunner(platform, [this](const std::string& name) -> WindowId {
            if (name == "demo") return main;
            if (name == "child") return child;
            throw ScriptFault("unknown window '" + name + "'");
        });
    }
};

using DemoApp = DemoAppOn<HeadlessPlatform>;

}  // namespace tolvane::app::test
