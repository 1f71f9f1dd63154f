// The window platform in memory, for tests and scripted runs.
//
// Windows are read from ".ui" layout files in the given folders. Nothing is
// drawn; what a person would see is written to the scripting core's
// transcript (its lines: scriptable_platform.hpp).
//
// Dialogs take their answers from the scripting core's queues; a dialog
// with no queued answer takes its default button (a message or error its
// only button, a question its default, an input dialog OK with its default
// texts, a file dialog Cancel).
//
// A modal wait runs the pump (the script's following actions) until a
// callback resumes the window. Pauses return at once, but advance the
// stopwatch by the time paused, so waits such as the splash's are skipped.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/platform/platform.hpp"
#include "app/scripting/scripting_core.hpp"

namespace tolvane::app {

class HeadlessPlatform : public ScriptingCore {
public:
    explicit HeadlessPlatform(std::vector<std::string> layoutFolders);

    // --- Platform
    WindowId openLayout(const std::string& layoutName) override;
    bool isWindow(WindowId window) const override;
    void deleteWindow(WindowId window) override;
    std::string windowTag(WindowId window) const override;
    std::vector<std::string> controlTags(WindowId window) const override;
    bool hasControl(WindowId window, const std::string& tag) const override;
    Value get(WindowId window, const std::string& tag, const std::string& property) const override;
    void set(WindowId window, const std::string& tag, const std::string& property, Value value) override;
    void setDispatcher(WindowId window, Dispatcher dispatcher) override;
    void addMenuItem(WindowId window, const MenuItem& item) override;
    std::string waitModal(WindowId window) override;
    void resumeModal(WindowId window, const std::string& answer) override;
    void messageBox(const std::string& title, const std::string& text) override;
    void errorDialog(const std::string& title, const std::string& text) override;
    std::string questionDialog(const std::string& title, const std::string& text,
                               const std::vector<std::string>& buttons, const std::string& defaultButton) override;
    std::optional<std::vector<std::string>> inputDialog(const std::string& title,
                                                        const std::vector<std::string>& prompts,
                                                        const std::vector<std::string>& defaults) override;
    FileChoice openFileDialog(const std::string& title, const std::string& filter,
                              const std::string& startFolder = "") override;
    FileChoice saveFileDialog(const std::string& title, const std::string& filter,
                              const std::string& defaultName) override;
    void pause(double seconds) override;
    void showImage(WindowId window, const std::string& tag, const std::string& path) override;
    WindowId showFigure(const display::Figure& figure) override;
    ScreenFacts screen() const override { return screen_; }
    bool openInBrowser(const std::string& path) override;
    bool showHelpPage(const std::string& path) override;

    // --- what a person does
    // Runs the control's callback (tag + "_Callback") as a click would. A
    // disabled or hidden control, or one of a hidden window, does nothing, as
    // for a person. Errors (tolvane::Error) of the callback go to the console.
    // Returns false when nothing happened for that reason.
    bool activate(WindowId window, const std::string& tag) override;
    // Whether a person could use the control now (see activate).
    bool reachable(WindowId window, const std::string& tag) const override;
    bool isMenuItem(WindowId window, const std::string& tag) const override;
    // The close button of the window: its dispatcher gets TAG_CloseRequestFcn;
    // a window without a dispatcher is hidden and a wait on it answers "Cancel".
    void requestClose(WindowId window) override;
    // The open window with that tag, or 0.
    WindowId findWindow(const std::string& tag) const override;

    // --- for the program and the tests
    void setScreen(ScreenFacts facts) { screen_ = facts; }
    const std::vector<std::string>& browserRequests() const { return browser_; }
    // A machine without a browser: openInBrowser records the request and
    // answers false.
    void setBrowserAvailable(bool available) { browserAvailable_ = available; }
    // The pages shown in the help window, in order.
    const std::vector<std::string>& helpPages() const { return helpPages_; }
    // The start folder of the last open-file dialog.
    const std::string& lastDialogFolder() const { return lastDialogFolder_; }
    // The figures shown, in order (their windows may be gone).
    const std::vector<display::Figure>& figures() const { return figures_; }

private:
    struct Control {
        std::string widgetClass;
        std::string parentTag;
        bool isMenuItem = false;
        bool separatorAbove = false;
        std::map<std::string, Value> props;
    };
    struct Window {
        std::string layout;
        std::string tag;
        std::map<std::string, Value> props;
        std::vector<std::string> order;
        std::map<std::string, Control> controls;
        Dispatcher dispatcher;
        bool resumed = false;
        std::string answer;
    };

    Window& window(WindowId id);
    const Window& window(WindowId id) const;
    std::string title(const Window& w) const;

    std::vector<std::string> folders_;
    std::map<WindowId, Window> windows_;
    WindowId next_ = 1;
    std::vector<std::string> browser_;
    bool browserAvailable_ = true;
    std::vector<std::string> helpPages_;
    std::vector<display::Figure> figures_;
    std::string lastDialogFolder_;
    ScreenFacts screen_ = kScriptedScreen;
};

}  // namespace tolvane::app
