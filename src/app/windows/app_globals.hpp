// The window logic's access to the process-wide records (`parameters`,
// `SigGenSettings`, `configuration`, `appInfo`, ...), and the small
// conversions between record fields and what the controls show.
#pragma once

#include <string>

#include "app/platform/platform.hpp"
#include "base/diagnostics.hpp"
#include "runtime/value.hpp"
#include "session/session.hpp"

namespace tolvane::app {

// The windows' own global of that name (declared by the library at start),
// for changing it in place: `appInfo`, `figureList`, `configurationSA`,
// `newSettings` and the setup windows' state. The frame configuration, the
// generator settings, the connection and the calculated frame are the
// session's (below), not globals of the windows.
Value& global(const std::string& name);

// The process session: the typed state the windows show and change, and
// the jobs they run.
Session& session();

// A numeric field of a record as one number; throws Error naming the field
// when it is absent or not a number.
double numberField(const Value& record, const std::string& field);
// A text field of a record; "" when it is empty; throws Error naming the
// field when it is neither.
std::string textField(const Value& record, const std::string& field);

// Control properties in the forms the windows use.
double controlValue(Platform& p, WindowId w, const std::string& tag);
std::string controlText(Platform& p, WindowId w, const std::string& tag);
void setValue(Platform& p, WindowId w, const std::string& tag, double value);
void setText(Platform& p, WindowId w, const std::string& tag, const std::string& text);
void setEnable(Platform& p, WindowId w, const std::string& tag, bool on);
void setTooltip(Platform& p, WindowId w, const std::string& tag, const std::string& text);
void setVisible(Platform& p, WindowId w, const std::string& tag, bool on);

// Runs a window operation as a dispatcher does: a tolvane::Error is printed
// to the console and swallowed; anything else passes.
template <typename F>
void reportErrors(Platform& p, F&& f) {
    try {
        f();
    } catch (const Error& e) {
        p.console(e.what());
    }
}

// The pointer of a window, set to "watch" for the life of the guard and
// restored afterwards (also when the work throws).
class BusyPointer {
public:
    BusyPointer(Platform& p, WindowId w);
    ~BusyPointer();
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    Platform& p_;
    WindowId w_;
    Value before_;
};

}  // namespace tolvane::app
