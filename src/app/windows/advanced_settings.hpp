// The advanced signal generator settings window (`KltConfigAdv_c`, window
// tag figAdvSettings): sample clock, baseband filter, scaling, modulator
// attenuation, RF blanking, ALC, ARB reference and marker polarity. It
// edits a copy (the global `newSettings`) and hands it back with the answer;
// the caller takes it over only on "OK". The window is created once, hidden,
// and shown modally for every use.
#pragma once

#include <string>
#include <utility>

#include "app/platform/platform.hpp"
#include "app/windows/modal_answer.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

class AdvancedSettingsWindow {
public:
    // Takes over the window loaded from the layout "KltConfigAdv_c" and
    // becomes its dispatcher.
    AdvancedSettingsWindow(Platform& platform, WindowId window);

    WindowId window() const { return w_; }

    // Shows `settings` (or the defaults when it is unset), waits until OK,
    // Cancel or the close button, hides the window; returns the answer and
    // the edited copy.
    std::pair<std::string, Value> open(const Value& settings);

    void InitializeFigure();
    void redrawAll();
    void updateSamplingRate();
    static Value defaultSettings();

    // Runs the operation of that name (a callback or a local function).
    void dispatch(const std::string& operation);
    // Runs the callback of the event's control, or the close button's
    // (Cancel); throws Error for a control the window has no callback for.
    void dispatch(const CallbackEvent& event);

private:
    // The callback of the control of that tag; false when there is none.
    bool runCallback(const std::string& tag);
    void txtScaling_Callback();
    void txtModAtten_Callback();
    void setCheckField(const std::string& tag, const std::string& field);

    Platform& p_;
    WindowId w_;
    ModalAnswer modal_{p_};
};

}  // namespace tolvane::app
