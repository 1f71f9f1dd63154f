// The packet setup window of the traffic-packet mode: the packet table of
// the frame (first slot, DRC, MAC index per row) edited on a copy. The list
// shows the rows in the order their payloads are drawn; the fields below it
// edit the selected row; Add, Remove and Fill (every interlace back to back
// with packets of the chosen DRC and MAC index) change the table; a line
// shows how many slots of each of the four interlaces the packets occupy.
//
// The window is loaded once, hidden, and reused: run() shows it for one
// table and frame length, waits until OK (which accepts only a table the
// frame can carry), Cancel or the close button, and hands back the answer
// and the edited table.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/platform.hpp"
#include "app/windows/modal_answer.hpp"
#include "onex/packets.hpp"

namespace tolvane::app {

// The pop-up text of a data rate: "DRC 12: 2457.6 kbit/s, 1 slot, 16-QAM".
std::string drcItemText(int drc);

// The list text of a packet row: "Slot 1: DRC 12 (2457.6 kbit/s, 1 slot,
// 16-QAM), MAC 5".
std::string packetRowText(const PacketRow& row);

// The occupancy line: the occupied slots of each interlace out of the
// interlace's slots in the frame, counting the slots of rows that pass the
// row check and lie within the frame: "Interlaces 1-4: 16/16, 4/16, 0/16,
// 0/16 slots occupied".
std::string occupancyText(const std::vector<PacketRow>& rows, double frameSlots);

class PacketSetup {
public:
    static constexpr const char* kLayoutName = "OneX_Fwd_GUI_PacketSetup";
    static constexpr const char* kTitle = "Packet Setup";

    explicit PacketSetup(Platform& platform);

    // Opens the window's layout (hidden), centred on the parent.
    static WindowId load(Platform& platform, WindowId parent);

    // Once, on the hidden window: the DRC pop-up, the tooltips, the fonts,
    // and this object as the window's dispatcher.
    void InitializeFigure(WindowId window);
    WindowId window() const { return window_; }

    // Shows the window for the table and the frame length, waits, and
    // returns the answer ("OK" or "Cancel") and the edited table (on Cancel
    // the table as it came).
    std::pair<std::string, std::vector<PacketRow>> run(const std::vector<PacketRow>& packets, double frameSlots);

    // Routes the window's events by tag (the close button as Cancel);
    // errors (tolvane::Error) go to the console.
    void dispatch(const CallbackEvent& event);

private:
    void redraw();
    void redrawRow();
    PacketRow* selectedRow();
    PacketRow entered() const;

    void lstPackets_Callback();
    void txtStartSlot_Callback();
    void pdDRC_Callback();
    void txtMacIndex_Callback();
    void pbAdd_Callback();
    void pbRemove_Callback();
    void pbFill_Callback();
    void pbOK_Callback();
    void pbCancel_Callback();

    Platform& platform_;
    WindowId window_ = 0;
    ModalAnswer modal_;
    std::vector<PacketRow> rows_;
    double frameSlots_ = kMinFrameSlots;
    std::size_t selected_ = 0;  // 1-based row of the list; 0 when the table is empty
    // The fields' values while no row is selected: what Add and Fill use.
    PacketRow draft_{1, 1, kDefaultTrafficMac};
};

}  // namespace tolvane::app
