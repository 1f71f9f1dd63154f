// The window modules by name: `OneX_Fwd_GUI_c`, `rfCommonUI`, `KLTconfig_c`,
// `KltConfigAdv_c`, `OneX_Fwd_GUI_SlotSetup`, `OneX_Fwd_GUI_RPCsetup` and
// `QV_SigGen` in the function registry, each called with the name
// of one of its operations followed by that operation's inputs. A first
// input that is not a text does nothing; an error inside the operation is
// printed to the console and the call returns.
#pragma once

#include <memory>

#include "app/platform/platform.hpp"

namespace tolvane::app {

class MainWindow;
class Framework;
class SigGenPanel;
class AdvancedSettingsWindow;
class SlotSetup;
class RpcSetup;
class SigGenConnection;

// The running application's window modules.
struct WindowModules {
    Platform* platform = nullptr;
    MainWindow* mainWindow = nullptr;
    Framework* framework = nullptr;
    SigGenPanel* panel = nullptr;
    AdvancedSettingsWindow* advanced = nullptr;
    SlotSetup* slot = nullptr;
    RpcSetup* rpc = nullptr;
    SigGenConnection* connection = nullptr;
};

// The displays by name as well: `QV_PlotCCDF(hParent, label, iqWave)`,
// `QV_PlotSpectrum(hParent, label, sampleRate, iqWave)`,
// `QV_PlotIQTime(hParent, label, sampleRate, overlay, iqWave)`,
// `QV_PlotEyeDiagram(hParent, label, iqWave, n, period, offset)`,
// `QV_PlotScatterDiagram(hParent, label, iqWave, n, offset, traceOn)` and
// `QV_PlotWaterfall(hParent, label, sampleRate, period, iqWave)`, each
// returning the new window (empty when an eye or scatter could not be
// drawn). Inputs left out take hParent 0, label "Test Data", an empty
// waveform, and neutral numbers.
//
// Registers the modules by name (again, if the library was initialised
// anew) and makes them reach these windows; nullptr: no application runs,
// and the names report that.
void setWindowModules(std::unique_ptr<WindowModules> modules);

// The running application's window modules, or nullptr when none runs.
WindowModules* runningWindowModules();

}  // namespace tolvane::app
