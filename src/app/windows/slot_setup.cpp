#include "app/windows/slot_setup.hpp"

#include <cmath>

#include "app/number_entry.hpp"
#include "app/window_utils.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

// The 16 x 1 fields of the slot record, then the 16 x 59 ones.
const char* const kColumnFields[] = {"DATAslotActive", "DATAslotMod",  "RAslotActive",
                                     "RAslotValue",    "RAslotGain",   "RPCslotActiveChn"};
const char* const kRpcFields[] = {"RPCslotActive", "RPCslotValue", "RPCslotGain"};
// The channel record's field for each 16 x 59 field.
const char* const kChnFields[] = {"Active", "Value", "Gain"};

const char* const kFastEditTips[][2] = {
    {"pldDATAactive", "FastEdit:\nAdjusts the activity status\nfor all traffic slots."},
    {"pldDATAmod", "FastEdit:\nAdjusts the Modulation\nformat for all traffic slots."},
    {"pldRAactive", "FastEdit:\nAdjusts the activity status\nfor all RA slots."},
    {"pldRAvalue", "FastEdit:\nAdjusts the data\nfor all RA slots."},
    {"pldRAgain", "FastEdit:\nAdjusts the gain\nfor all RA slots."},
    {"pldRPCactive", "FastEdit:\nAdjusts the activity status\nfor all RPC slots."},
    {"pldRPCsetup",
     "FastEdit\nConfigures all RCP slots\nClone 1 - Copies the configuration of Slot 1\n          to all other "
     "slots.\nClone 1,2 - Copies the configuration of Slot 1\n            to all odd slots, and the "
     "configuration\n            of Slot 2 to all even slots.\nDefault - Restore the default values\n          "
     "to all slots."},
};

std::string row(const char* prefix, int n) { return prefix + std::to_string(n); }

Value onOff(bool on) { return Value::text(on ? "on" : "off"); }

}  // namespace

SlotSetup::SlotSetup(Platform& platform, RpcSetup& rpc) : platform_(platform), rpc_(rpc), slot_(defaultSlotStruct()) {
    uniform_ = [this] { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); };
}

WindowId SlotSetup::load(Platform& platform, WindowId parent) { return loadFigure(platform, kLayoutName, parent); }

Value SlotSetup::defaultSlotStruct() {
    Record r;
    for (const char* field : kColumnFields) {
        const double fill = std::string(field) == "RAslotGain" ? 0.0 : 1.0;
        r.set(field, Value::column(std::vector<double>(kSlots, fill)));
    }
    r.set("RPCslotActive", Value::matrix(kSlots, kRpcChannels, std::vector<double>(kSlots * kRpcChannels, 1.0)));
    r.set("RPCslotValue", Value::matrix(kSlots, kRpcChannels, std::vector<double>(kSlots * kRpcChannels, 1.0)));
    r.set("RPCslotGain", Value::zeros(kSlots, kRpcChannels));
    return Value::record(std::move(r));
}

void SlotSetup::InitializeFigure(WindowId window) {
    window_ = window;
    platform_.setDispatcher(window_, [this](const CallbackEvent& e) { dispatch(e); });
    resizeAllFonts(platform_, window_);
    auto tip = [&](const std::string& tag, const std::string& text) {
        platform_.set(window_, tag, "TooltipString", Value::text(text));
    };
    const std::string valueRange = choiceRangeText(slotEntryRange("RAslotValue"));
    const std::string gainRange = gainRangeText(slotEntryRange("RAslotGain"));
    for (int n = 1; n <= kSlots; ++n) {
        const std::string s = std::to_string(n);
        tip(row("chkDATAslotActive", n), "Enables/disables the\ntraffic channel for slot " + s + ".");
        tip(row("lstDATAslotMod", n), "Sets the modulation format\nof the Traffic burst for slot " + s + ".");
        tip(row("chkRAslotActive", n), "Enables/disables the\nRA channel for slot " + s + ".");
        tip(row("txtRAslotValue", n), "Sets the value of the\nRA burst for slot " + s + ".\n" + valueRange);
        tip(row("txtRAslotGain", n),
            "Sets the gain of the\nRA burst for slot " + s + "\nrelative to the pilot channel power.\n" + gainRange);
        tip(row("chkRPCslotActive", n), "Enables/disables the\nRPC channel for slot " + s + ".");
        tip(row("pbPRCslotSetup", n), "Configures the\nRPC channel for slot " + s + ".");
    }
    for (const auto& [tag, text] : kFastEditTips) tip(tag, text);
}

std::pair<std::string, Value> SlotSetup::run(const Value& slotRecord, bool dataApplies) {
    if (!platform_.isWindow(window_)) throw Error("The slot setup window is not open.");
    const auto opening = modal_.open("The slot setup window is already open.");
    Value working = slotRecord.isSet() ? slotRecord : defaultSlotStruct();
    for (const char* field : kColumnFields) requireSetupField(working, "slot", field, kSlots);
    for (const char* field : kRpcFields) {
        requireSetupField(working, "slot", field, kSlots * kRpcChannels);
        if (working.field(field).rows() != kSlots)
            throw Error(std::string("The field ") + field + " of the slot record must have 16 rows.");
    }
    slot_ = std::move(working);
    dataApplies_ = dataApplies;

    redrawAll();
    const std::string answer = modal_.showAndWait(window_, ModalAnswer::After::Hide);
    return {answer, slot_};
}

void SlotSetup::dispatch(const CallbackEvent& event) {
    // The 16 rows' controls by the tag without the row number; the others
    // by their tag.
    using RowCallback = void (SlotSetup::*)(const std::string&);
    using Callback = void (SlotSetup::*)();
    static const std::pair<std::string_view, RowCallback> rows[] = {
        {"chkDATAslotActive", &SlotSetup::DATAactive_Callback}, {"lstDATAslotMod", &SlotSetup::DATAmod_Callback},
        {"chkRAslotActive", &SlotSetup::RAactive_Callback},     {"txtRAslotValue", &SlotSetup::RAvalue_Callback},
        {"txtRAslotGain", &SlotSetup::RAgain_Callback},         {"chkRPCslotActive", &SlotSetup::RPCactive_Callback},
        {"pbPRCslotSetup", &SlotSetup::RPCsetup_Callback},
    };
    static const std::pair<std::string_view, Callback> controls[] = {
        {"pldDATAactive", &SlotSetup::fasteditDATAactive_Callback},
        {"pldDATAmod", &SlotSetup::fasteditDATAmod_Callback},
        {"pldRAactive", &SlotSetup::fasteditRAactive_Callback},
        {"pldRAvalue", &SlotSetup::fasteditRAvalue_Callback},
        {"pldRAgain", &SlotSetup::fasteditRAgain_Callback},
        {"pldRPCactive", &SlotSetup::fasteditRPCactive_Callback},
        {"pldRPCsetup", &SlotSetup::fasteditRPCsetup_Callback},
        {"pbOK", &SlotSetup::pbOK_Callback},
        {"pbCancel", &SlotSetup::pbCancel_Callback},
    };
    try {
        if (event.kind == CallbackEvent::Kind::CloseRequest) return close_Callback();
        if (const RowCallback* f = findByTag(rows, tagStem(event.tag))) return (this->*(*f))(event.tag);
        if (const Callback* f = findByTag(controls, event.tag)) (this->*(*f))();
    } catch (const Error& e) {
        platform_.console(e.what());
    }
}

double& SlotSetup::at(const char* field, int n) {
    return slot_.field(field).realData().at(static_cast<std::size_t>(n - 1));
}

double& SlotSetup::at(const char* field, int n, int channel) {
    // Column-major: slot n, channel k at (k - 1) * 16 + (n - 1).
    return slot_.field(field).realData().at(static_cast<std::size_t>((channel - 1) * kSlots + (n - 1)));
}

int SlotSetup::slotOf(const std::string& tag) const {
    const double n = getTagIndex(tag);
    if (n < 1 || n > kSlots) throw Error("The control " + tag + " is not one of the 16 slot rows.");
    return static_cast<int>(n);
}

int SlotSetup::popupIndex(const char* tag) const {
    const Value v = platform_.get(window_, tag, "Value");
    if (!v.isReal() || v.numel() != 1) throw Error(std::string("The pop-up ") + tag + " has no selection.");
    return static_cast<int>(v.realAt(0));
}

double SlotSetup::checkValue(const std::string& tag) const {
    const Value v = platform_.get(window_, tag, "Value");
    if (!v.isReal() || v.numel() != 1) throw Error("The control " + tag + " has no value.");
    return v.realAt(0);
}

void SlotSetup::setColumn(const char* field, const std::vector<double>& values) {
    for (int n = 1; n <= kSlots; ++n) at(field, n) = values[static_cast<std::size_t>(n - 1)];
}

// --- redraws

void SlotSetup::redrawAll() {
    redrawDATA();
    redrawRA();
    redrawRPC();
}

void SlotSetup::redrawDATA() {
    for (const char* tag : {"pldDATAactive", "pldDATAmod"}) platform_.set(window_, tag, "Enable", onOff(dataApplies_));
    for (int n = 1; n <= kSlots; ++n) redrawDATAslot(n);
}

void SlotSetup::redrawRA() {
    for (int n = 1; n <= kSlots; ++n) redrawRAslot(n);
}

void SlotSetup::redrawRPC() {
    for (int n = 1; n <= kSlots; ++n) redrawRPCslot(n);
}

void SlotSetup::redrawDATAslot(int n) {
    const bool on = at("DATAslotActive", n) != 0;
    platform_.set(window_, row("chkDATAslotActive", n), "Value", Value::scalar(on ? 1 : 0));
    platform_.set(window_, row("chkDATAslotActive", n), "Enable", onOff(dataApplies_));
    platform_.set(window_, row("lstDATAslotMod", n), "Enable", onOff(on && dataApplies_));
    platform_.set(window_, row("lstDATAslotMod", n), "Value", Value::scalar(at("DATAslotMod", n)));
}

void SlotSetup::redrawRAslot(int n) {
    const bool on = at("RAslotActive", n) != 0;
    platform_.set(window_, row("chkRAslotActive", n), "Value", Value::scalar(on ? 1 : 0));
    platform_.set(window_, row("txtRAslotValue", n), "Enable", onOff(on));
    platform_.set(window_, row("txtRAslotGain", n), "Enable", onOff(on));
    platform_.set(window_, row("txtRAslotValue", n), "String", Value::text(setupEntryText(at("RAslotValue", n))));
    platform_.set(window_, row("txtRAslotGain", n), "String", Value::text(setupEntryText(at("RAslotGain", n))));
}

void SlotSetup::redrawRPCslot(int n) {
    const bool on = at("RPCslotActiveChn", n) != 0;
    platform_.set(window_, row("chkRPCslotActive", n), "Value", Value::scalar(on ? 1 : 0));
    platform_.set(window_, row("pbPRCslotSetup", n), "Enable", onOff(on));
}

// --- patterns

std::vector<double> SlotSetup::fasteditActive(int index) {
    std::vector<double> on(kSlots, 0.0);
    for (int n = 1; n <= kSlots; ++n) {
        const bool fourth = n % 4 == 0;
        double v = 0;
        switch (index) {
            case 1: v = 1; break;
            case 2: v = fourth ? 0 : 1; break;
            case 3: v = n % 2 == 1 ? 1 : 0; break;
            case 4: v = fourth ? 1 : 0; break;
            case 5: v = 0; break;
            case 6: v = std::round(uniform_()); break;
            default: throw Error("The FastEdit activity pattern " + std::to_string(index) + " does not exist.");
        }
        on[static_cast<std::size_t>(n - 1)] = v;
    }
    return on;
}

// --- per-slot callbacks

void SlotSetup::DATAactive_Callback(const std::string& tag) {
    const int n = slotOf(tag);
    at("DATAslotActive", n) = checkValue(tag);
    redrawDATAslot(n);
}

void SlotSetup::DATAmod_Callback(const std::string& tag) {
    const int n = slotOf(tag);
    at("DATAslotMod", n) = checkValue(tag);
    redrawDATAslot(n);
}

void SlotSetup::RAactive_Callback(const std::string& tag) {
    const int n = slotOf(tag);
    at("RAslotActive", n) = checkValue(tag);
    redrawRAslot(n);
}

void SlotSetup::RAvalue_Callback(const std::string& tag) {
    const int n = slotOf(tag);
    const FieldRange& range = slotEntryRange("RAslotValue");
    if (const auto v = readNumberEntry(platform_.get(window_, tag, "String").str()))
        at("RAslotValue", n) = clampFromAbove(roundEach(*v), range.lo, range.hi);
    redrawRAslot(n);
}

void SlotSetup::RAgain_Callback(const std::string& tag) {
    const int n = slotOf(tag);
    const FieldRange& range = slotEntryRange("RAslotGain");
    if (const auto g = readNumberEntry(platform_.get(window_, tag, "String").str()))
        at("RAslotGain", n) = clampFromAbove(roundEach(*g), range.lo, range.hi);
    redrawRAslot(n);
}

void SlotSetup::RPCactive_Callback(const std::string& tag) {
    const int n = slotOf(tag);
    at("RPCslotActiveChn", n) = checkValue(tag);
    redrawRPCslot(n);
}

void SlotSetup::RPCsetup_Callback(const std::string& tag) {
    const int n = slotOf(tag);
    Record chn;
    for (int f = 0; f < 3; ++f) {
        std::vector<double> channels(kRpcChannels);
        for (int k = 1; k <= kRpcChannels; ++k) channels[static_cast<std::size_t>(k - 1)] = at(kRpcFields[f], n, k);
        chn.set(kChnFields[f], Value::row(std::move(channels)));
    }
    const auto [response, edited] = rpc_.run(Value::record(std::move(chn)), n);
    if (response != "OK") return;
    for (int f = 0; f < 3; ++f) {
        const std::vector<double>& channels = edited.field(kChnFields[f]).realData();
        for (int k = 1; k <= kRpcChannels; ++k) at(kRpcFields[f], n, k) = channels[static_cast<std::size_t>(k - 1)];
    }
}

// --- FastEdit callbacks

void SlotSetup::fasteditDATAactive_Callback() {
    setColumn("DATAslotActive", fasteditActive(popupIndex("pldDATAactive")));
    redrawDATA();
}

void SlotSetup::fasteditDATAmod_Callback() {
    const int index = popupIndex("pldDATAmod");
    if (index < 1 || index > 4) throw Error("The FastEdit modulation entry " + std::to_string(index) + " does not exist.");
    for (int n = 1; n <= kSlots; ++n) at("DATAslotMod", n) = index <= 3 ? index : std::round(2 * uniform_()) + 1;
    redrawDATA();
}

void SlotSetup::fasteditRAactive_Callback() {
    setColumn("RAslotActive", fasteditActive(popupIndex("pldRAactive")));
    redrawRA();
}

void SlotSetup::fasteditRAvalue_Callback() {
    const int index = popupIndex("pldRAvalue");
    if (index < 1 || index > 5) throw Error("The FastEdit RA value entry " + std::to_string(index) + " does not exist.");
    for (int n = 1; n <= kSlots; ++n) {
        const bool odd = n % 2 == 1;
        double v = 0;
        switch (index) {
            case 1: v = 0; break;
            case 2: v = 1; break;
            case 3: v = odd ? 0 : 1; break;
            case 4: v = odd ? 1 : 0; break;
            default: v = std::round(uniform_()); break;
        }
        at("RAslotValue", n) = v;
    }
    redrawRA();
}

void SlotSetup::fasteditRAgain_Callback() {
    const int index = popupIndex("pldRAgain");
    static const double fixed[] = {3, 0, -3, -6, -10};
    if (index < 1 || index > 6) throw Error("The FastEdit RA gain entry " + std::to_string(index) + " does not exist.");
    for (int n = 1; n <= kSlots; ++n)
        at("RAslotGain", n) = index <= 5 ? fixed[index - 1] : std::round(13 * uniform_()) - 10;
    redrawRA();
}

void SlotSetup::fasteditRPCactive_Callback() {
    setColumn("RPCslotActiveChn", fasteditActive(popupIndex("pldRPCactive")));
    redrawRPC();
}

void SlotSetup::copyRpc(int from, int to) {
    at("RPCslotActiveChn", to) = at("RPCslotActiveChn", from);
    for (const char* field : kRpcFields)
        for (int k = 1; k <= kRpcChannels; ++k) at(field, to, k) = at(field, from, k);
}

void SlotSetup::fasteditRPCsetup_Callback() {
    const int index = popupIndex("pldRPCsetup");
    if (index == 1) {
        for (int n = 2; n <= kSlots; ++n) copyRpc(1, n);
    } else if (index == 2) {
        for (int n = 3; n < kSlots; n += 2) {
            copyRpc(1, n);
            copyRpc(2, n + 1);
        }
    } else if (index == 3) {
        for (int n = 1; n <= kSlots; ++n) {
            at("RPCslotActiveChn", n) = n == 1 ? 1 : 0;
            for (int k = 1; k <= kRpcChannels; ++k) {
                at("RPCslotActive", n, k) = k == 1 ? 1 : 0;
                at("RPCslotValue", n, k) = k == 1 ? 1 : 0;
                at("RPCslotGain", n, k) = 0;
            }
        }
    } else {
        throw Error("The FastEdit RPC setup entry " + std::to_string(index) + " does not exist.");
    }
    redrawRPC();
}

// --- closing

void SlotSetup::pbOK_Callback() { modal_.finish(window_, "OK"); }

void SlotSetup::pbCancel_Callback() { modal_.finish(window_, "Cancel"); }

void SlotSetup::close_Callback() { pbCancel_Callback(); }

}  // namespace tolvane::app
