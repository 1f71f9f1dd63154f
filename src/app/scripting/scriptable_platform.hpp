// A window platform that a script of user actions can drive.
//
// The script runner (script_runner.hpp) works on this interface, so that the
// same script runs on the headless platform and on a desktop front end and
// prints the same transcript. Besides the window platform itself, a
// scriptable platform does what a person does (use a control, choose a menu
// item, press a window's close button), takes the answers of the dialogs to
// come from two queues, runs a pump during modal waits, and writes what a
// person would see to a transcript, one line per event:
//   dialog KIND "TITLE": TEXT [BUTTON|BUTTON|...]
//   console: TEXT
//   window opened "TITLE"      (a window becomes visible)
//   window closed "TITLE"      (a visible window is hidden or deleted)
// Line breaks inside texts are written as \n. The scripting core
// (scripting_core.hpp) implements the answers, the pump and the transcript
// once for every platform; a platform adds its windows.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform/platform.hpp"

namespace tolvane::app {

// An answer or action that does not fit what the platform shows (a button
// the question does not have, an index beyond a list, a wait that nothing
// resumes). Deliberately not a tolvane::Error, so that window logic which
// reports its own errors on the console lets it through to the script.
class ScriptFault : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a scripted window starts with on either platform, so that a script
// reads the same on both: the screen the platform reports, and the font size
// of every control before the window logic scales it.
inline constexpr ScreenFacts kScriptedScreen{1920, 1080, 96};
inline constexpr double kScriptedFontSize = 8;

class ScriptablePlatform : public Platform {
public:
    // --- what a person does
    // Runs the control's callback (tag + "_Callback") as a click would. A
    // disabled or hidden control, or one of a hidden window, does nothing, as
    // for a person. Errors (tolvane::Error) of the callback go to the console.
    // Returns false when nothing happened for that reason.
    virtual bool activate(WindowId window, const std::string& tag) = 0;
    // Whether a person could use the control now (see activate).
    virtual bool reachable(WindowId window, const std::string& tag) const = 0;
    virtual bool isMenuItem(WindowId window, const std::string& tag) const = 0;
    // The close button of the window: its dispatcher gets TAG_CloseRequestFcn;
    // a window without a dispatcher is hidden and a wait on it answers "Cancel".
    virtual void requestClose(WindowId window) = 0;
    // The open window with that tag, or 0.
    virtual WindowId findWindow(const std::string& tag) const = 0;
    // The window whose wait is innermost, or 0.
    virtual WindowId waitingWindow() const = 0;

    // --- scripted answers and the run
    // Message, error, question and input dialogs take their answers from the
    // answer queue, file dialogs from the file queue, each answer used once,
    // in order. A dialog with no queued answer takes its default button.
    virtual void queueAnswer(std::string answer) = 0;
    virtual void queueFile(FileChoice choice) = 0;
    virtual std::size_t pendingAnswers() const = 0;
    virtual std::size_t pendingFiles() const = 0;
    // Runs during modal waits: called with the waiting window and whether it
    // is the first call of this wait; returns false when it has nothing more
    // to run (the wait then fails with ScriptFault).
    using Pump = std::function<bool(WindowId waiting, bool first)>;
    virtual void setPump(Pump pump) = 0;

    // --- the transcript
    // Receives each transcript line as it happens (lines are kept too).
    virtual void setTranscriptSink(std::function<void(const std::string&)> sink) = 0;
    virtual const std::vector<std::string>& transcript() const = 0;
    virtual void note(const std::string& line) = 0;  // adds a transcript line
};

}  // namespace tolvane::app
