// The signal generator panel of the main window (`KLTconfig_c`): carrier
// frequency with its unit, output level, waveform title, and the button to
// the advanced settings. Every accepted edit goes into `SigGenSettings` at
// once; the panel shows the stored value again after each edit.
#pragma once

#include <string>

#include "app/platform/platform.hpp"

namespace tolvane::app {

class AdvancedSettingsWindow;

// The title as the instrument stores it: capitals, only A-Z, 0-9 and
// _ $ & # + - [ ], at most 20 characters, "BLANK" when nothing remains.
std::string instrumentTitle(const std::string& typed);

class SigGenPanel {
public:
    SigGenPanel(Platform& platform, WindowId mainWindow, AdvancedSettingsWindow& advanced);

    void InitializeSigGenScreenObjects();
    void redrawSigGenSettings();
    void updateFrequency();
    void txtAmplitude_Callback();
    void txtWaveformTitle_Callback();
    void pbAdvancedSettings_Callback();

    // True when the control belongs to the panel.
    static bool ownsControl(const std::string& tag);
    // Runs the operation of that name ("txtFrequency_Callback", ...); throws
    // Error for a name the panel does not have.
    void dispatch(const std::string& operation);
    // Runs the callback of the event's control; throws Error for a control
    // the panel has no callback for.
    void dispatch(const CallbackEvent& event);

private:
    // The callback of the control of that tag; false when there is none.
    bool runCallback(const std::string& tag);

    Platform& p_;
    WindowId w_;
    AdvancedSettingsWindow& advanced_;
};

}  // namespace tolvane::app
