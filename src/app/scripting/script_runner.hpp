// Runs a script of user actions against a scriptable platform (the headless
// platform or a desktop front end).
//
// One action per line; blank lines and lines starting with '#' are skipped:
//   window NAME        address the window NAME (names are resolved by the caller)
//   type TAG TEXT      enter TEXT (the rest of the line) in an edit field, fire its callback
//   select TAG INDEX   choose entry INDEX (1-based) of a pop-up or list, fire its callback
//   check TAG 0|1      set a check box, fire its callback
//   slide TAG N        move a slider or scroll bar to position N (0 ... its Max), fire its callback
//   press TAG          press a button
//   menu TAG           choose a menu item
//   close              press the addressed window's close button
//   answer TEXT        queue the answer to the next message, error, question or
//                      input dialog: a button text, the input texts separated
//                      by '|', or "close"
//   file FOLDER/NAME   queue the answer to the next file dialog ("file cancel": Cancel);
//                      "file filter N FOLDER/NAME" also selects the dialog's
//                      N-th filter (from 1)
//   show TAG PROPERTY  print "show TAG PROPERTY: VALUE"; TAG may be a window's tag
// An action on a control that is disabled or hidden does nothing, as for a
// person. An action whose callback opens a modal window runs the following
// lines inside that window's wait, addressing that window, until one of them
// resumes it; the window addressed before the action is addressed again
// afterwards.
//
// The run fails (ScriptError with the line number) on an unknown action,
// window, tag or property, an answer a dialog cannot take, a modal wait still
// open at the end, or an answer queued for a dialog that never came.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/scripting/scriptable_platform.hpp"

namespace tolvane::app {

inline constexpr std::size_t kMaxScriptLineBytes = 4096;
inline constexpr std::size_t kMaxScriptBytes = 1u << 20;  // 1 MiB

class ScriptError : public std::runtime_error {
public:
    ScriptError(std::size_t line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what), line_(line) {}
    std::size_t line() const { return line_; }  // 0 when the script as a whole is at fault

private:
    std::size_t line_;
};

// Reads the lines of a script, refusing (ScriptError) one longer than
// kMaxScriptLineBytes or a script larger than kMaxScriptBytes. A trailing
// carriage return is dropped.
std::vector<std::string> readScript(std::istream& in);

class ScriptRunner {
public:
    // Resolves the NAME of "window NAME"; throws ScriptFault when there is
    // no such window.
    using WindowResolver = std::function<WindowId(const std::string& name)>;

    ScriptRunner(ScriptablePlatform& platform, WindowResolver resolver);

    // The window addressed before the first "window" line (0: none).
    void address(WindowId window) { current_ = window; }

    // Runs the lines; throws ScriptError on a fault.
    void run(std::vector<std::string> lines);

private:
    void step();
    void execute(std::string_view line);
    WindowId addressed() const;
    void requireControl(const std::string& tag) const;
    void fire(const std::string& tag);

    ScriptablePlatform& platform_;
    WindowResolver resolver_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;         // index of the next line to run
    std::size_t currentLine_ = 0;  // 1-based number of the line running
    WindowId current_ = 0;
    std::map<WindowId, std::size_t> openerLine_;  // the line whose action began a window's wait
    std::vector<std::size_t> answerLines_, fileLines_;
};

}  // namespace tolvane::app
