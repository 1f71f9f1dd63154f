// The slot setup window: for each of the 16 slots of the frame the traffic
// burst (on/off, modulation), the reverse-activity sub-channel (on/off, bit,
// gain) and whether its RPC channels are on, with a button per slot that
// opens the RPC setup window for that slot's 59 channels, and a row of
// FastEdit pop-ups that set one column for all 16 slots.
//
// The window works on a copy of the slot record: run() shows it, waits until
// OK, Cancel or the close button resumes it, and hands back the answer with
// the edited copy; the caller takes the copy only on "OK". The window is
// loaded once, hidden, and reused.
#pragma once

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/platform.hpp"
#include "app/windows/modal_answer.hpp"
#include "app/windows/rpc_setup.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

inline constexpr int kSlots = 16;

class SlotSetup {
public:
    static constexpr const char* kLayoutName = "OneX_Fwd_GUI_SlotSetup";
    static constexpr const char* kWindowTag = "figSlotSetup";

    // The RPC setup window opened from the slot rows.
    SlotSetup(Platform& platform, RpcSetup& rpc);

    // Opens the window's layout (hidden), in the default colour, centred on
    // the parent; the window to hand to InitializeFigure.
    static WindowId load(Platform& platform, WindowId parent);

    // Once, on the hidden window: fonts, the tooltips of every row and of the
    // FastEdit pop-ups, and this object as the window's dispatcher.
    void InitializeFigure(WindowId window);
    WindowId window() const { return window_; }

    // Shows the window for the slot record (the `slot` sub-record of the
    // parameters; an unset value starts from defaultSlotStruct), waits, and
    // returns the answer ("OK" or "Cancel") and the edited record. Throws
    // Error, before showing anything, when the record is not a slot record.
    // `dataApplies` false (the traffic-packet mode) shows the data columns
    // disabled: the packet table decides what the data portions carry.
    std::pair<std::string, Value> run(const Value& slotRecord, bool dataApplies = true);

    // Routes the window's events by the calling control's tag (the close
    // button as a close request) to the callbacks below; a tag without a
    // callback does nothing. Errors (tolvane::Error) go to the console.
    void dispatch(const CallbackEvent& event);

    // --- the window's local operations
    void redrawAll();
    void redrawDATA();
    void redrawRA();
    void redrawRPC();
    void redrawDATAslot(int n);
    void redrawRAslot(int n);
    void redrawRPCslot(int n);
    static Value defaultSlotStruct();
    // The 16-slot on/off pattern of a FastEdit activity entry (1 ... 6).
    std::vector<double> fasteditActive(int index);

    // --- callbacks; the per-slot ones take the calling control's tag
    void DATAactive_Callback(const std::string& tag);
    void DATAmod_Callback(const std::string& tag);
    void RAactive_Callback(const std::string& tag);
    void RAvalue_Callback(const std::string& tag);
    void RAgain_Callback(const std::string& tag);
    void RPCactive_Callback(const std::string& tag);
    void RPCsetup_Callback(const std::string& tag);
    void fasteditDATAactive_Callback();
    void fasteditDATAmod_Callback();
    void fasteditRAactive_Callback();
    void fasteditRAvalue_Callback();
    void fasteditRAgain_Callback();
    void fasteditRPCactive_Callback();
    void fasteditRPCsetup_Callback();
    void pbOK_Callback();
    void pbCancel_Callback();
    void close_Callback();

    // --- state
    const Value& slot() const { return slot_; }
    // Replaces the uniform generator of the random patterns ([0, 1)).
    void setUniform(std::function<double()> uniform) { uniform_ = std::move(uniform); }

private:
    double& at(const char* field, int n);              // 16 x 1 fields, slot 1 ... 16
    double& at(const char* field, int n, int channel); // 16 x 59 fields
    int slotOf(const std::string& tag) const;           // 1 ... 16 from the tag, else Error
    int popupIndex(const char* tag) const;
    double checkValue(const std::string& tag) const;
    void setColumn(const char* field, const std::vector<double>& values);
    void copyRpc(int from, int to);

    Platform& platform_;
    RpcSetup& rpc_;
    WindowId window_ = 0;
    Value slot_;
    ModalAnswer modal_{platform_};
    bool dataApplies_ = true;
    std::mt19937_64 engine_{std::random_device{}()};
    std::function<double()> uniform_;
};

}  // namespace tolvane::app
