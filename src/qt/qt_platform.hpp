// The window platform on Qt 6 widgets.
//
// Windows are built from the ".ui" layout files in the given folders with
// QUiLoader (after the layout reader of the application layer has checked
// the file within its bounds); an open instance of a layout is reused and a
// new window starts hidden. A control's tag is its objectName; a menu of the
// layout is addressed by its own name.
//
// Properties map onto the widgets as the headless platform holds them:
//   Value          pop-up and list: current entry, 1-based; check box, radio
//                  and checkable buttons: 0/1; slider and spin box: value;
//                  any other widget keeps the number given
//   String         the text (edits, labels, buttons, group box titles, menu
//                  labels with their "&" mnemonics); pop-ups and lists: a cell
//                  list of the items (a text sets items split at "|")
//   Enable, Visible  the control's own state ("on"/"off"), not its window's
//   TooltipString, Checked (menu items show the check mark), Max (sliders)
//   Name           the window title
//   Pointer        "arrow" or "watch" (any case): the busy cursor on the window
//   Position       windows: [left bottom width height] in pixels, the bottom
//                  measured up from the bottom of the screen; controls: their
//                  rectangle in the parent [x y width height] as the layout
//                  file writes it; "normalized" Units: fractions of the screen
//                  or the parent
//   Units, Color ([r g b] 0..1, the background), FontSize (points), Tag
// A value that the widget shows in its own way (a number given as a text, a
// cell list given to a label) reads back as it was given while the widget
// still shows it.
//
// Callbacks, all to the window's dispatcher: a button's click, a pop-up's
// activation, a check box's click, an edit's Return or the end of an edit
// that changed the text (once per edit), a slider moved by the person, a menu
// item chosen, a menu opened, and the window's close button
// (TAG_CloseRequestFcn; the window stays open unless the logic closes it).
// Errors (tolvane::Error) of a callback go to the console.
//
// Dialogs are Qt's message boxes and dialogs with the given titles, texts,
// buttons and default. Their answers may be queued beforehand as on the
// headless platform; a queued answer is given to the dialog shown, as the
// person would (the button clicked, the texts typed). With nothing queued,
// an interactive platform waits for the person, a scripted one takes the
// default button. Every dialog, console text and window shown or hidden is
// written to the transcript exactly as the headless platform writes it.
//
// A modal wait is a nested event loop until a callback resumes the window;
// with a pump set (a script running), the pump runs the script's actions
// instead, with the events processed between them. A window shown before
// the wait is never unmapped for it: the platform keeps the person's input
// from its other windows and the waiting window on top and active.
//
// A vertical scroll bar that its layout draws upside down (maximum at the
// top) runs as an ordinary scroll bar, its Value turned round.
//
// Windows and dialogs are made wide enough for their title (fitTitle); the
// help window is a text browser reading the HTML page.
//
// The transcript, the answer queues, the pump and the stopwatch are the
// scripting core's (app/scripting), shared with the headless platform. The
// platform's own parts: qt_platform.cpp (windows, the modal wait, time,
// images and figures), qt_layouts.cpp (a window from its layout),
// qt_properties (widget <-> value), qt_callbacks.cpp (signals to the
// dispatcher, a script's actions), qt_menus.cpp, qt_platform_dialogs.cpp
// (dialogs and their scripted answers) and qt_busy.cpp (long work).
#pragma once

#include <QObject>
#include <QPointer>

#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/scripting/scripting_core.hpp"
#include "display/figure.hpp"
#include "qt/qt_properties.hpp"

class QAction;
class QEventLoop;
class QMenuBar;
class QWidget;

namespace tolvane::qt {

using app::CallbackEvent;
using app::Dispatcher;
using app::FileChoice;
using app::MenuItem;
using app::ScreenFacts;
using app::WindowId;

class QtPlatform : public QObject, public app::ScriptingCore {
public:
    enum class Mode {
        Interactive,  // dialogs without a queued answer wait for the person
        Scripted,     // they take their default; pauses return at once; the browser is not started;
                      // the screen and a layout window's position and fonts are the headless ones
    };

    // A QApplication must exist.
    explicit QtPlatform(std::vector<std::string> layoutFolders, Mode mode = Mode::Interactive);
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

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
    bool runBusy(const std::string& what, bool cancellable, const std::function<void(app::Progress&)>& work) override;
    ScreenFacts screen() const override;
    bool openInBrowser(const std::string& path) override;
    bool showHelpPage(const std::string& path) override;

    // --- ScriptablePlatform
    bool activate(WindowId window, const std::string& tag) override;
    bool reachable(WindowId window, const std::string& tag) const override;
    bool isMenuItem(WindowId window, const std::string& tag) const override;
    void requestClose(WindowId window) override;
    WindowId findWindow(const std::string& tag) const override;
    // The transcript, answers and pump are the scripting core's; an
    // interactive platform's transcript keeps the latest few thousand lines.

    // --- for the program and the tests
    Mode mode() const { return mode_; }
    // The window's widget and a control's widget or menu action (nullptr when
    // there is none).
    QWidget* widget(WindowId window) const;
    QObject* controlObject(WindowId window, const std::string& tag) const;
    // Replaces the screen's facts (scripted runs report the headless
    // platform's screen, so that positions in transcripts agree).
    void setScreen(ScreenFacts facts) { screenOverride_ = facts; }
    // The browser requests of a scripted platform, which starts no browser.
    const std::vector<std::string>& browserRequests() const { return browser_; }
    // A machine without a browser: openInBrowser records the request and
    // answers false without trying (an interactive platform also answers
    // false when the system finds no browser or launcher).
    void setBrowserAvailable(bool available) { browserAvailable_ = available; }
    // The application's own help window (a text browser), once shown.
    QWidget* helpWindow() const;
    // The pages shown in the help window, in order.
    const std::vector<std::string>& helpPages() const { return helpPages_; }
    // The start folder given to the last open-file dialog.
    const std::string& lastDialogFolder() const { return lastDialogFolder_; }
    // The figures a scripted platform has shown, in order (their windows may
    // be gone); an interactive one keeps none, as a long session would pile
    // up their samples.
    const std::vector<display::Figure>& figures() const { return figures_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Control = QtControl;
    struct Window {
        std::string layout;
        std::string tag;
        QPointer<QWidget> widget;
        QPointer<QMenuBar> menuBar;
        std::vector<std::string> order;
        std::map<std::string, Control> controls;
        std::map<std::string, Value> stored;  // the window's properties its widget does not hold
        bool shown = false;
        Dispatcher dispatcher;
        bool resumed = false;
        std::string answer;
        QEventLoop* loop = nullptr;  // the nested event loop of its wait
    };

    Window& window(WindowId id);
    const Window& window(WindowId id) const;
    Control& control(Window& w, const std::string& tag);
    const Control& control(const Window& w, const std::string& tag) const;
    std::string title(const Window& w) const;
    WindowId idOf(const QObject* windowWidget) const;

    void connectControl(WindowId id, const std::string& tag, Control& c);
    void connectAction(WindowId id, const std::string& tag, QAction* action);
    // Runs the window's dispatcher for the operation. tolvane::Error goes to
    // the console; another exception is kept for the script action that
    // caused it (see ActionScope) or, without one, goes to the console too.
    void dispatch(WindowId id, const std::string& operation, const std::string& tag);
    void userClose(WindowId id);
    QMenuBar* menuBar(Window& w);

    // The window's properties: Visible and Tag here, the rest in qt_properties.
    Value windowValue(const Window& w, const std::string& property) const;
    void setWindowValue(Window& w, const std::string& property, Value value);

    // Dialogs.
    QWidget* dialogParent() const;
    FileChoice fileDialog(bool save, const std::string& title, const std::string& filter,
                          const std::string& defaultName, const std::string& startFolder);

    // Keeps the person's input (clicks, keys, the close button) from the
    // platform's windows but the one waited on, and brings that one back on
    // top and active when another is clicked or activated.
    struct ModalFilter : QObject {
        explicit ModalFilter(QtPlatform& p) : platform(p) {}
        bool eventFilter(QObject* watched, QEvent* event) override;
        QtPlatform& platform;
    };

    // While a script action runs, exceptions of the callbacks it fires
    // through the widgets' signals are kept here and thrown again when the
    // signal has returned: no exception passes through Qt's own frames.
    struct ActionScope {
        explicit ActionScope(QtPlatform& p) : platform(p) { ++platform.actionDepth_; }
        ~ActionScope() { --platform.actionDepth_; }
        void rethrow();
        QtPlatform& platform;
    };

    std::vector<std::string> folders_;
    Mode mode_;
    std::map<WindowId, std::unique_ptr<Window>> windows_;
    std::vector<QPointer<QWidget>> deleted_;  // widgets of deleted windows, gone once the event loop has run
    WindowId next_ = 1;
    std::vector<std::string> browser_;
    bool browserAvailable_ = true;
    QPointer<QWidget> helpWindow_;
    std::vector<std::string> helpPages_;
    std::string lastDialogFolder_;
    std::vector<display::Figure> figures_;
    std::optional<ScreenFacts> screenOverride_;
    int actionDepth_ = 0;   // script actions running
    std::exception_ptr pending_;
    int quietSignals_ = 0;  // > 0 while the platform itself changes a widget
    bool busy_ = false;     // runBusy is running: the windows take no input
};

}  // namespace tolvane::qt
