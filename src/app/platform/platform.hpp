// The window platform: everything the window logic asks of a window toolkit.
//
// The window logic (dispatchers, utilities, files) talks only to this
// interface; the headless platform (src/app/headless) implements it in
// memory for tests and scripted runs, a desktop front end on real widgets.
// No toolkit header appears here.
//
// Windows are built from layout files loaded by name. Every control of a
// window, and the window itself, is reached by its tag; its properties are
// runtime values:
//   Value          number: pop-up/list index (1-based), check state 0/1, slider position
//   String         text (edit, label, button) or cell list of texts (pop-up and list items)
//   Enable         "on" / "off"
//   Visible        "on" / "off"
//   TooltipString  text
//   Checked        "on" / "off" (menu items)
//   Name           window title (the window's own tag only)
//   Pointer        "arrow" / "watch" (the window's own tag only)
//   Position       [left bottom width height] in Units
//   Units          "pixels"
//   Color          [r g b], each 0..1
//   Max            number (sliders)
//   FontSize       number (points)
//   Tag            text, read only
// Reading or writing a property that the platform does not know throws
// tolvane::Error; so does a tag that the window lacks.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "display/figure.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

// A window; 0 is "no window" (the screen, where a parent is asked for).
using WindowId = int;

// The properties the window logic uses, by their names above.
const std::vector<std::string>& knownProperties();
bool isKnownProperty(const std::string& name);
// Throws tolvane::Error for a property that is not known or cannot be set
// (Tag), or a value it cannot take (Enable, Visible, Checked: "on" or "off";
// Name, Pointer, Units, TooltipString: a text). Every platform's set checks
// this first.
void checkPropertySet(const std::string& property, const Value& value);

// What a control's callback is told: the operation name (tag + "_Callback",
// or the window's tag + "_CloseRequestFcn" for its close button), the
// window, the tag of the control that called (the window's own tag for the
// close button) and which of the two it is. Dispatchers go by the tag and
// the kind; the operation name is for messages.
struct CallbackEvent {
    enum class Kind { Control, CloseRequest };
    std::string operation;
    WindowId window = 0;
    std::string tag;
    Kind kind = Kind::Control;
};

// A window's dispatcher: runs the named operation. Errors it throws are the
// caller's to report (the window logic prints them to the console).
using Dispatcher = std::function<void(const CallbackEvent&)>;

// A menu item. An empty parentTag puts it on the window's menu bar; else it
// goes under the item with that tag. "&" in the label marks the mnemonic.
struct MenuItem {
    std::string parentTag;
    std::string label;
    std::string tag;
    bool separatorAbove = false;
    bool visible = true;
    bool enabled = true;
};

// The answer of a file dialog: the file name and its folder, or a cancel,
// and which of the dialog's filters was selected (0: the first).
struct FileChoice {
    bool cancelled = true;
    std::string file;
    std::string folder;
    std::size_t filter = 0;
};

struct ScreenFacts {
    double width = 0;   // pixels
    double height = 0;  // pixels
    double dpi = 0;     // pixels per inch
};

// What a long piece of work run by Platform::runBusy tells the person and
// asks of them. The work calls it from its own thread.
class Progress {
public:
    virtual ~Progress() = default;
    // How far the work is, 0..1 (values outside are clamped).
    virtual void report(double fraction) = 0;
    // True once the person pressed Cancel; the work should then stop soon.
    virtual bool cancelled() const = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // --- windows and controls
    // Opens the layout of that name ("OneX_Fwd_GUI_c", an extension such as
    // ".fig" or ".ui" is dropped), or returns the open instance of it. A new
    // window starts hidden. Throws Error when the layout cannot be read.
    virtual WindowId openLayout(const std::string& layoutName) = 0;
    virtual bool isWindow(WindowId window) const = 0;
    // Destroys the window (a no-op for a window that is gone).
    virtual void deleteWindow(WindowId window) = 0;
    // The window's own tag (the layout's top-level object name).
    virtual std::string windowTag(WindowId window) const = 0;
    // The tags of the window's controls, in layout order (menu items too).
    virtual std::vector<std::string> controlTags(WindowId window) const = 0;
    virtual bool hasControl(WindowId window, const std::string& tag) const = 0;
    // Properties by tag; the window's own tag addresses the window.
    virtual Value get(WindowId window, const std::string& tag, const std::string& property) const = 0;
    virtual void set(WindowId window, const std::string& tag, const std::string& property, Value value) = 0;

    // --- callbacks: each control and menu item of the window calls this.
    virtual void setDispatcher(WindowId window, Dispatcher dispatcher) = 0;

    // --- menus
    virtual void addMenuItem(WindowId window, const MenuItem& item) = 0;

    // --- modal wait: blocks until a callback resumes the window; returns the
    // answer given to resume ("OK" or "Cancel").
    virtual std::string waitModal(WindowId window) = 0;
    virtual void resumeModal(WindowId window, const std::string& answer) = 0;

    // --- dialogs; each blocks until closed.
    virtual void messageBox(const std::string& title, const std::string& text) = 0;
    virtual void errorDialog(const std::string& title, const std::string& text) = 0;
    // Two or three buttons; returns the chosen button's text, or "" when the
    // dialog was closed without a button.
    virtual std::string questionDialog(const std::string& title, const std::string& text,
                                       const std::vector<std::string>& buttons,
                                       const std::string& defaultButton) = 0;
    // One text per prompt; nullopt on Cancel.
    virtual std::optional<std::vector<std::string>> inputDialog(const std::string& title,
                                                                const std::vector<std::string>& prompts,
                                                                const std::vector<std::string>& defaults) = 0;
    // filter: e.g. "*.mat"; several filters are separated by a line break,
    // each patterns ("*.mat;*.txt") or a label with them ("Name (*.mat)");
    // defaultName: the proposed file (save only);
    // startFolder: the folder the open dialog starts in ("" for the working
    // directory). The answer's folder ends with the path separator.
    virtual FileChoice openFileDialog(const std::string& title, const std::string& filter,
                                      const std::string& startFolder = "") = 0;
    virtual FileChoice saveFileDialog(const std::string& title, const std::string& filter,
                                      const std::string& defaultName) = 0;

    // --- the console (the window logic's printed messages)
    virtual void console(const std::string& text) = 0;

    // --- clock
    // Wall-clock time: year, month, day, hour, minute, seconds.
    virtual std::array<double, 6> clock() const = 0;
    // Starts the stopwatch; elapsedSeconds reads it.
    virtual void startStopwatch() = 0;
    virtual double elapsedSeconds() const = 0;
    virtual void pause(double seconds) = 0;

    // --- images and displays
    // Shows the image file (JPEG, PNG) in the control; throws Error when the
    // file cannot be read.
    virtual void showImage(WindowId window, const std::string& tag, const std::string& path) = 0;
    // Opens a new, visible window that shows the figure, and returns it. The
    // window's tag is "figure" followed by its number; its close button
    // deletes it.
    virtual WindowId showFigure(const display::Figure& figure) = 0;

    // --- long work
    // Runs work to its end while the windows stay painted: the windows show
    // the busy pointer and take no input; after a moment a progress window
    // titled `what` shows how far the work is, with a Cancel button when
    // `cancellable`. The work may run on another thread, so it must not call
    // the platform, nor touch what the windows' callbacks touch. Its
    // exception is thrown again here. Returns false when the person
    // cancelled (the work still ran to its end, asked or not). The default
    // runs the work at once on the calling thread, without progress window.
    virtual bool runBusy(const std::string& what, bool cancellable, const std::function<void(Progress&)>& work);

    // --- screen and browser
    virtual ScreenFacts screen() const = 0;
    // Opens the file in the system web browser; false when that failed.
    virtual bool openInBrowser(const std::string& path) = 0;
    // Shows the HTML page in the application's own help window (one window,
    // reused), titled with the page's title (helpPageTitle); false when the
    // page cannot be read. Writes "window opened \"TITLE\"" to the
    // transcript.
    virtual bool showHelpPage(const std::string& path) = 0;
};

// The title of an HTML page: the text of its <title> element, or the file's
// name when it has none; "" when the file cannot be read.
std::string helpPageTitle(const std::string& path);

// The button label with its "&" mnemonic marks removed ("E&xit" -> "Exit",
// "&&" -> "&").
std::string withoutMnemonic(const std::string& label);

}  // namespace tolvane::app
