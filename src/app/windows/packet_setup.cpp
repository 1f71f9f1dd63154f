#include "app/windows/packet_setup.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "app/number_entry.hpp"
#include "app/window_utils.hpp"
#include "app/windows/app_globals.hpp"
#include "base/diagnostics.hpp"
#include "onex/mod_params.hpp"

namespace tolvane::app {

namespace {

const char* modulationName(Modulation m) {
    switch (m) {
        case Modulation::Qpsk: return "QPSK";
        case Modulation::Psk8: return "8-PSK";
        case Modulation::Qam16: return "16-QAM";
    }
    return "?";
}

// "38.4 kbit/s, 16 slots, QPSK" for a DRC of the table; "" outside it.
std::string rateText(double drc) {
    const auto p = fwdTrfChnModParams(drc);
    if (!p) return "";
    char text[96];
    std::snprintf(text, sizeof text, "%.10g kbit/s, %d slot%s, %s", p->dataRate, p->slots,
                  p->slots == 1 ? "" : "s", modulationName(p->modulationType));
    return text;
}

bool isWhole(double v) { return std::isfinite(v) && v == std::floor(v); }

}  // namespace

std::string drcItemText(int drc) { return "DRC " + std::to_string(drc) + ": " + rateText(drc); }

std::string packetRowText(const PacketRow& row) {
    const std::string rate = rateText(row.drc);
    return "Slot " + numberText(row.startSlot) + ": DRC " + numberText(row.drc) + (rate.empty() ? "" : " (" + rate + ")") +
           ", MAC " + numberText(row.macIndex);
}

std::string occupancyText(const std::vector<PacketRow>& rows, double frameSlots) {
    const int slots = isWhole(frameSlots) && frameSlots > 0 ? static_cast<int>(frameSlots) : 0;
    std::vector<bool> taken(static_cast<std::size_t>(slots), false);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        try {
            checkPacketRow(rows[i], i + 1);
        } catch (const Error&) {
            continue;  // a row the check refuses occupies nothing yet
        }
        for (int s : packetSlots(rows[i]))
            if (s >= 1 && s <= slots) taken[static_cast<std::size_t>(s - 1)] = true;
    }
    std::string text = "Interlaces 1-4: ";
    for (int i = 0; i < kInterlaces; ++i) {
        int used = 0, all = 0;
        for (int s = i + 1; s <= slots; s += kInterlaces) {
            ++all;
            if (taken[static_cast<std::size_t>(s - 1)]) ++used;
        }
        text += std::to_string(used) + "/" + std::to_string(all) + (i + 1 < kInterlaces ? ", " : " slots occupied");
    }
    return text;
}

PacketSetup::PacketSetup(Platform& platform) : platform_(platform), modal_(platform) {}

WindowId PacketSetup::load(Platform& platform, WindowId parent) { return loadFigure(platform, kLayoutName, parent); }

void PacketSetup::InitializeFigure(WindowId window) {
    window_ = window;
    platform_.setDispatcher(window_, [this](const CallbackEvent& e) { dispatch(e); });
    std::vector<Value> items;
    for (int drc = 1; drc <= 12; ++drc) items.push_back(Value::text(drcItemText(drc)));
    platform_.set(window_, "pdDRC", "String", Value::cell(std::move(items)));
    setTooltip(platform_, window_, "lstPackets",
               "The packets of the frame; their payloads are\ndrawn from the data source in this order.");
    setTooltip(platform_, window_, "txtStartSlot",
               "The first slot of the selected packet.\nA packet of N slots occupies every fourth\nslot from "
               "there: s, s+4, ..., s+4(N-1).");
    setTooltip(platform_, window_, "pdDRC", "The data rate of the selected packet.");
    setTooltip(platform_, window_, "txtMacIndex",
               "The MAC index of the selected packet:\n5 to 63 for traffic, 3 (DRC 1) or 2 (DRC 2)\nfor the "
               "control channel.");
    setTooltip(platform_, window_, "pbAdd", "Adds a packet of this DRC and MAC index\nin the first free slot.");
    setTooltip(platform_, window_, "pbRemove", "Removes the selected packet.");
    setTooltip(platform_, window_, "pbFill",
               "Fills all four interlaces back to back\nwith packets of this DRC and MAC index\n(replaces the "
               "table).");
    setTooltip(platform_, window_, "pbOK", "Apply the table.");
    setTooltip(platform_, window_, "pbCancel", "Discards all changes.");
    resizeAllFonts(platform_, window_);
}

std::pair<std::string, std::vector<PacketRow>> PacketSetup::run(const std::vector<PacketRow>& packets,
                                                                double frameSlots) {
    if (!platform_.isWindow(window_)) throw Error("The packet setup window is not open.");
    const auto opening = modal_.open("The packet setup window is already open.");
    rows_ = packets;
    frameSlots_ = frameSlots;
    selected_ = rows_.empty() ? 0 : 1;
    if (selected_) draft_ = rows_.front();
    platform_.set(window_, platform_.windowTag(window_), "Name",
                  Value::text(std::string(kTitle) + ": " + numberText(frameSlots) + " Slots"));
    redraw();
    const std::string answer = modal_.showAndWait(window_, ModalAnswer::After::Hide);
    if (answer != "OK") return {answer, packets};
    return {answer, rows_};
}

void PacketSetup::dispatch(const CallbackEvent& event) {
    using Callback = void (PacketSetup::*)();
    static const std::pair<std::string_view, Callback> controls[] = {
        {"lstPackets", &PacketSetup::lstPackets_Callback},   {"txtStartSlot", &PacketSetup::txtStartSlot_Callback},
        {"pdDRC", &PacketSetup::pdDRC_Callback},             {"txtMacIndex", &PacketSetup::txtMacIndex_Callback},
        {"pbAdd", &PacketSetup::pbAdd_Callback},             {"pbRemove", &PacketSetup::pbRemove_Callback},
        {"pbFill", &PacketSetup::pbFill_Callback},           {"pbOK", &PacketSetup::pbOK_Callback},
        {"pbCancel", &PacketSetup::pbCancel_Callback},
    };
    try {
        if (event.kind == CallbackEvent::Kind::CloseRequest) return pbCancel_Callback();
        if (const Callback* f = findByTag(controls, event.tag)) (this->*(*f))();
    } catch (const Error& e) {
        platform_.console(e.what());
    }
}

PacketRow* PacketSetup::selectedRow() {
    return selected_ >= 1 && selected_ <= rows_.size() ? &rows_[selected_ - 1] : nullptr;
}

void PacketSetup::redraw() {
    std::vector<Value> items;
    for (const PacketRow& r : rows_) items.push_back(Value::text(packetRowText(r)));
    platform_.set(window_, "lstPackets", "String", Value::cell(std::move(items)));
    platform_.set(window_, "lstPackets", "Value", Value::scalar(static_cast<double>(selected_)));
    setEnable(platform_, window_, "pbRemove", selected_ != 0);
    setText(platform_, window_, "txtOccupancy", occupancyText(rows_, frameSlots_));
    redrawRow();
}

void PacketSetup::redrawRow() {
    setText(platform_, window_, "txtStartSlot", numberText(draft_.startSlot));
    // A DRC outside the table (from a stored file) shows the first item; the
    // row keeps its number until the pop-up is changed.
    const double drc = isWhole(draft_.drc) && draft_.drc >= 1 && draft_.drc <= 12 ? draft_.drc : 1;
    setValue(platform_, window_, "pdDRC", drc);
    setText(platform_, window_, "txtMacIndex", numberText(draft_.macIndex));
}

void PacketSetup::lstPackets_Callback() {
    const double v = controlValue(platform_, window_, "lstPackets");
    if (v >= 1 && v <= static_cast<double>(rows_.size())) {
        selected_ = static_cast<std::size_t>(v);
        draft_ = rows_[selected_ - 1];
    }
    redraw();
}

// The entries keep their value on text that is no number; a number is
// rounded to a whole one and clamped to what a row can hold.
void PacketSetup::txtStartSlot_Callback() {
    if (const auto list = readNumberEntry(controlText(platform_, window_, "txtStartSlot")))
        draft_.startSlot = clampFromAbove(roundEach(*list), 1, std::max(1.0, frameSlots_));
    if (PacketRow* r = selectedRow()) r->startSlot = draft_.startSlot;
    redraw();
}

void PacketSetup::pdDRC_Callback() {
    draft_.drc = controlValue(platform_, window_, "pdDRC");
    if (PacketRow* r = selectedRow()) r->drc = draft_.drc;
    redraw();
}

void PacketSetup::txtMacIndex_Callback() {
    if (const auto list = readNumberEntry(controlText(platform_, window_, "txtMacIndex")))
        draft_.macIndex = clampFromAbove(roundEach(*list), 0, 63);
    if (PacketRow* r = selectedRow()) r->macIndex = draft_.macIndex;
    redraw();
}

void PacketSetup::pbAdd_Callback() {
    if (rows_.size() >= static_cast<std::size_t>(kMaxPackets)) {
        platform_.errorDialog(kTitle, "The table holds at most " + std::to_string(kMaxPackets) + " packets.");
        return;
    }
    // The new packet starts in the first slot no packet occupies.
    const int slots = static_cast<int>(frameSlots_);
    std::vector<bool> taken(static_cast<std::size_t>(std::max(slots, 0)), false);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        try {
            checkPacketRow(rows_[i], i + 1);
        } catch (const Error&) {
            continue;
        }
        for (int s : packetSlots(rows_[i]))
            if (s >= 1 && s <= slots) taken[static_cast<std::size_t>(s - 1)] = true;
    }
    const auto free = std::find(taken.begin(), taken.end(), false);
    PacketRow row = draft_;
    row.startSlot = free == taken.end() ? 1 : static_cast<double>(free - taken.begin() + 1);
    rows_.push_back(row);
    selected_ = rows_.size();
    draft_ = row;
    redraw();
}

void PacketSetup::pbRemove_Callback() {
    if (!selectedRow()) return;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(selected_ - 1));
    selected_ = std::min(selected_, rows_.size());
    if (selected_) draft_ = rows_[selected_ - 1];
    redraw();
}

void PacketSetup::pbFill_Callback() {
    try {
        rows_ = fillPackets(frameSlots_, draft_.drc, draft_.macIndex);
    } catch (const Error& e) {
        platform_.errorDialog(kTitle, e.what());
        return;
    }
    selected_ = rows_.empty() ? 0 : 1;
    if (selected_) draft_ = rows_.front();
    redraw();
}

// OK takes only a table the frame can carry; otherwise it says why and the
// window stays open.
void PacketSetup::pbOK_Callback() {
    try {
        validatePackets(rows_, frameSlots_);
    } catch (const Error& e) {
        platform_.errorDialog(kTitle, e.what());
        return;
    }
    modal_.finish(window_, "OK");
}

void PacketSetup::pbCancel_Callback() { modal_.finish(window_, "Cancel"); }

}  // namespace tolvane::app
