// The main window's forward-link part (`OneX_Fwd_GUI_c`): the defaults of
// every record, the format controls with their clamps and enables, and the
// calculation. The framework's controls (Calculate, Download, menus, title)
// are the Framework's; the generator panel is the SigGenPanel's.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/platform.hpp"
#include "onex/packets.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

class Framework;
class SigGenPanel;

// The slot setup window as the main window uses it: shows the slot record
// (with the data columns disabled when the slots' data settings do not
// apply, as in the traffic-packet mode), returns the answer ("OK"/"Cancel")
// and the edited record.
using SlotSetupRun = std::function<std::pair<std::string, Value>(const Value& slot, bool dataApplies)>;

// The packet setup window as the main window uses it: shows the packet
// table for a frame of that many slots, returns the answer and the table.
using PacketSetupRun =
    std::function<std::pair<std::string, std::vector<PacketRow>>(const std::vector<PacketRow>&, double frameSlots)>;

// The user data file loader (`loadUserDataFile(maxLengthInBits)`): status
// (1 loaded, -1 cancelled or failed) and the bits.
using UserDataLoad = std::function<std::pair<int, Value>(double maxLengthInBits)>;

class MainWindow {
public:
    MainWindow(Platform& platform, WindowId window);

    void connect(Framework* framework, SigGenPanel* panel, SlotSetupRun slotSetup, UserDataLoad userData,
                 PacketSetupRun packetSetup = {}) {
        framework_ = framework;
        panel_ = panel;
        slotSetup_ = std::move(slotSetup);
        userData_ = std::move(userData);
        packetSetup_ = std::move(packetSetup);
    }

    WindowId window() const { return w_; }

    // The record defaults.
    static void InitializeAppInfo();
    static void InitializeConfiguration();
    static void InitializeParameters();
    static void InitializeSigGenSettings();
    static void Calculate();

    void InitializeFigure();
    void redraw();
    void redrawFormatParameters();

    // Runs the operation of that name (a control callback or a local
    // function); throws Error for a name the window does not have.
    void dispatch(const std::string& operation);
    // Runs the callback of the event's control; throws Error for a control
    // the window has no callback for.
    void dispatch(const CallbackEvent& event);

private:
    // The callback of the control of that tag; false when there is none.
    bool runCallback(const std::string& tag);
    std::optional<std::vector<double>> entry(const char* tag) const;

    void pdMode_Callback();
    void txtOffsetIndex_Callback();
    void chkMACchnActive_Callback();
    void chkDATAchnActive_Callback();
    void pdDATAsourceType_Callback();
    void chkIdleSlotGainActive_Callback();
    void txtIdleSlotGain_Callback();
    void txtOversampling_Callback();
    void pdFilterType_Callback();
    void chkPhaseEq_Callback();
    void chkMirrorSpectrum_Callback();
    void pbSlotSetup_Callback();
    void txtFrameSlots_Callback();
    void pbPacketSetup_Callback();

    Platform& p_;
    WindowId w_;
    Framework* framework_ = nullptr;
    SigGenPanel* panel_ = nullptr;
    SlotSetupRun slotSetup_;
    UserDataLoad userData_;
    PacketSetupRun packetSetup_;
};

}  // namespace tolvane::app
