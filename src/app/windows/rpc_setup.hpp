// The RPC setup window: the 59 reverse-power-control channels of one slot
// (on/off, RPC bit, gain relative to the pilot), 16 rows at a time over a
// scroll bar, with FastEdit pop-ups that set all 59 channels at once and a
// normalisation of the total RPC level.
//
// The window is loaded once, hidden, and reused: run() shows it for one
// channel record, waits until OK, Cancel or the close button resumes it, and
// hands back the answer and the edited record. The scroll position stays
// from one opening to the next.
#pragma once

#include <array>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/platform.hpp"
#include "app/windows/modal_answer.hpp"
#include "runtime/config_fields.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

inline constexpr int kRpcChannels = 59;
inline constexpr int kRpcVisibleRows = 16;
// The largest scroll position: the last 16 rows show channels 44 ... 59.
inline constexpr int kRpcMaxScrollIndex = kRpcChannels - kRpcVisibleRows;

// The text an edit field of the setup windows shows for a number: whole
// numbers as typed (-30, 1), others with four digits more than the whole
// part has, at least five in all (-6.0206, 23.9794, 0.5), NaN and Inf as
// words.
std::string setupEntryText(double value);

// What a user may enter for a field of the slot record ("RAslotGain",
// "RPCslotValue", ...): the field table's entry range.
const FieldRange& slotEntryRange(const char* field);
// The tooltips' range texts: "Valid Range: 0 or 1" for a 0/1 field,
// "Valid Range: -30dB to +30dB" for a gain.
std::string choiceRangeText(const FieldRange& range);
std::string gainRangeText(const FieldRange& range);

// Checks that the record's field holds `count` real numbers (any shape);
// throws Error naming the record and the field otherwise.
void requireSetupField(const Value& record, const std::string& recordName, const std::string& field,
                       std::size_t count);

class RpcSetup {
public:
    static constexpr const char* kLayoutName = "OneX_Fwd_GUI_RPCsetup";
    static constexpr const char* kWindowTag = "figRPCsetup";

    explicit RpcSetup(Platform& platform);

    // Opens the window's layout (hidden), in the default colour, centred on
    // the parent; the window to hand to InitializeFigure.
    static WindowId load(Platform& platform, WindowId parent);

    // Once, on the hidden window: the scroll bar at the top, the tooltips,
    // the fonts, and this object as the window's dispatcher.
    void InitializeFigure(WindowId window);
    WindowId window() const { return window_; }

    // Shows the window for the channel record (fields Active, Value, Gain of
    // 59 numbers each; an unset value starts from defaultChnStruct) of the
    // slot, waits, and returns the answer ("OK" or "Cancel") and the edited
    // record. Throws Error, before showing anything, when the record is not
    // a channel record.
    std::pair<std::string, Value> run(const Value& chn, double slotNumber);

    // Routes the window's events by the calling control's tag (the close
    // button as a close request) to the callbacks below; a tag without a
    // callback does nothing. Errors (tolvane::Error) go to the console.
    void dispatch(const CallbackEvent& event);

    // --- the window's local operations
    void redraw();
    void redrawChn(int row);
    static Value defaultChnStruct();
    // The 59-channel on/off pattern of a FastEdit activity entry (1 ... 6).
    std::vector<double> fasteditActive(int index);

    // --- callbacks; the per-row ones take the calling control's tag
    void RPCactive_Callback(const std::string& tag);
    void RPCvalue_Callback(const std::string& tag);
    void RPCgain_Callback(const std::string& tag);
    void fasteditRPCactive_Callback();
    void fasteditRPCvalue_Callback();
    void fasteditRPCgain_Callback();
    void sldrScrollbar_Callback();
    void pbOK_Callback();
    void pbCancel_Callback();
    void Close_Callback();

    // --- state
    const Value& chn() const { return chn_; }
    int scrollIndex() const { return scrollIndex_; }
    // Replaces the uniform generator of the random patterns ([0, 1)).
    void setUniform(std::function<double()> uniform) { uniform_ = std::move(uniform); }

private:
    double& at(const char* field, int channel);  // channel 1 ... 59
    int rowOf(const std::string& tag) const;      // 1 ... 16 from the tag, else Error
    std::string rowTag(const char* prefix, int row) const;
    int popupIndex(const char* tag) const;
    void normalize();

    Platform& platform_;
    WindowId window_ = 0;
    Value chn_;
    int scrollIndex_ = 0;
    ModalAnswer modal_{platform_};
    std::mt19937_64 engine_{std::random_device{}()};
    std::function<double()> uniform_;
};

}  // namespace tolvane::app
