#include "app/windows/rpc_setup.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/number_entry.hpp"
#include "app/window_utils.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

const char* const kActiveTip = "Enables / Disables this\nRPC Channel for the slot";
const char* const kFastActiveTip = "FastEdit\nAdjusts the activity status\nof all RPC channels";
const char* const kFastValueTip = "FastEdit\nAdjusts the data\nof all RPC channels";
const char* const kFastGainTip =
    "FastEdit\nAdjusts all gains\nof all RPC channels\n(Note: Use Normalize to\nset the total power of\n"
    "all RPC Channels";

const char* const kNormalizePrompt = "Enter value (in dB) to Normalize to (-30db to + 30db)";
const char* const kNormalizeTitle = "Normalizing RPC Chn Power";
const char* const kNormalizeError = "Only numercial values between -30 and +30 are accepted";
const char* const kNormalizeErrorTitle = "Invaild User Input";

}  // namespace

std::string setupEntryText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    if (value == std::floor(value) && std::fabs(value) < 1e15) return numberText(value == 0 ? 0.0 : value);
    // Five significant digits, more for numbers of several whole digits.
    const int whole = std::max(0, static_cast<int>(std::floor(std::log10(std::fabs(value)))));
    const int digits = std::min(16, whole + 5);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    return buf;
}

const FieldRange& slotEntryRange(const char* field) {
    const ConfigField* f = findConfigField(std::string("slot.") + field);
    if (!f) throw Error(std::string("The slot record has no field ") + field + ".");
    return f->entry;
}

std::string choiceRangeText(const FieldRange& range) {
    std::string text = "Valid Range: ";
    text += numberText(range.lo);
    text += " or ";
    text += numberText(range.hi);
    return text;
}

std::string gainRangeText(const FieldRange& range) {
    std::string text = "Valid Range: ";
    auto dB = [&text](double v) {
        if (v > 0) text += '+';
        text += numberText(v);
        text += "dB";
    };
    dB(range.lo);
    text += " to ";
    dB(range.hi);
    return text;
}

void requireSetupField(const Value& record, const std::string& recordName, const std::string& field,
                       std::size_t count) {
    if (!record.isRecord()) throw Error("The " + recordName + " record must be a record.");
    if (!record.hasField(field)) throw Error("The " + recordName + " record has no field " + field + ".");
    const Value& v = record.field(field);
    if (!v.isReal() || v.numel() != count)
        throw Error("The field " + field + " of the " + recordName + " record must hold " + std::to_string(count) +
                    " real numbers.");
}

RpcSetup::RpcSetup(Platform& platform) : platform_(platform), chn_(defaultChnStruct()) {
    uniform_ = [this] { return std::uniform_real_distribution<double>(0.0, 1.0)(engine_); };
}

WindowId RpcSetup::load(Platform& platform, WindowId parent) { return loadFigure(platform, kLayoutName, parent); }

Value RpcSetup::defaultChnStruct() {
    Record r;
    r.set("Active", Value::zeros(1, kRpcChannels));
    r.set("Value", Value::zeros(1, kRpcChannels));
    r.set("Gain", Value::zeros(1, kRpcChannels));
    return Value::record(std::move(r));
}

void RpcSetup::InitializeFigure(WindowId window) {
    window_ = window;
    platform_.setDispatcher(window_, [this](const CallbackEvent& e) { dispatch(e); });
    scrollIndex_ = 0;
    platform_.set(window_, "sldrScrollbar", "Value", platform_.get(window_, "sldrScrollbar", "Max"));
    std::string valueTip = "Sets the value of the\nRPC Channel for this slot.\n";
    valueTip += choiceRangeText(slotEntryRange("RPCslotValue"));
    std::string gainTip = "Sets the gain of the\nRPC channel for this slot\nrelative to the Pilot Channel Power.\n";
    gainTip += gainRangeText(slotEntryRange("RPCslotGain"));
    for (int r = 1; r <= kRpcVisibleRows; ++r) {
        platform_.set(window_, rowTag("chkRPCchnActive", r), "TooltipString", Value::text(kActiveTip));
        platform_.set(window_, rowTag("txtRPCchnValue", r), "TooltipString", Value::text(valueTip));
        platform_.set(window_, rowTag("txtRPCchnGain", r), "TooltipString", Value::text(gainTip));
    }
    platform_.set(window_, "pldRPCactive", "TooltipString", Value::text(kFastActiveTip));
    platform_.set(window_, "pldRPCvalue", "TooltipString", Value::text(kFastValueTip));
    platform_.set(window_, "pldRPCgain", "TooltipString", Value::text(kFastGainTip));
    resizeAllFonts(platform_, window_);
}

std::pair<std::string, Value> RpcSetup::run(const Value& chn, double slotNumber) {
    if (!platform_.isWindow(window_)) throw Error("The RPC setup window is not open.");
    const auto opening = modal_.open("The RPC setup window is already open.");
    Value working = chn.isSet() ? chn : defaultChnStruct();
    for (const char* field : {"Active", "Value", "Gain"}) requireSetupField(working, "channel", field, kRpcChannels);
    chn_ = std::move(working);

    const std::string tag = platform_.windowTag(window_);
    platform_.set(window_, tag, "Name", Value::text("RPC Setup: Slot #" + setupEntryText(slotNumber)));
    redraw();
    const std::string answer = modal_.showAndWait(window_, ModalAnswer::After::Hide);
    return {answer, chn_};
}

void RpcSetup::dispatch(const CallbackEvent& event) {
    // The 16 rows' controls by the tag without the row number; the others
    // by their tag.
    using RowCallback = void (RpcSetup::*)(const std::string&);
    using Callback = void (RpcSetup::*)();
    static const std::pair<std::string_view, RowCallback> rows[] = {
        {"chkRPCchnActive", &RpcSetup::RPCactive_Callback},
        {"txtRPCchnValue", &RpcSetup::RPCvalue_Callback},
        {"txtRPCchnGain", &RpcSetup::RPCgain_Callback},
    };
    static const std::pair<std::string_view, Callback> controls[] = {
        {"pldRPCactive", &RpcSetup::fasteditRPCactive_Callback},
        {"pldRPCvalue", &RpcSetup::fasteditRPCvalue_Callback},
        {"pldRPCgain", &RpcSetup::fasteditRPCgain_Callback},
        {"sldrScrollbar", &RpcSetup::sldrScrollbar_Callback},
        {"pbOK", &RpcSetup::pbOK_Callback},
        {"pbCancel", &RpcSetup::pbCancel_Callback},
    };
    try {
        if (event.kind == CallbackEvent::Kind::CloseRequest) return Close_Callback();
        if (const RowCallback* f = findByTag(rows, tagStem(event.tag))) return (this->*(*f))(event.tag);
        if (const Callback* f = findByTag(controls, event.tag)) (this->*(*f))();
    } catch (const Error& e) {
        platform_.console(e.what());
    }
}

double& RpcSetup::at(const char* field, int channel) {
    return chn_.field(field).realData().at(static_cast<std::size_t>(channel - 1));
}

std::string RpcSetup::rowTag(const char* prefix, int row) const { return prefix + std::to_string(row); }

int RpcSetup::rowOf(const std::string& tag) const {
    const double r = getTagIndex(tag);
    if (r < 1 || r > kRpcVisibleRows) throw Error("The control " + tag + " is not one of the 16 rows.");
    return static_cast<int>(r);
}

int RpcSetup::popupIndex(const char* tag) const {
    const Value v = platform_.get(window_, tag, "Value");
    if (!v.isReal() || v.numel() != 1) throw Error(std::string("The pop-up ") + tag + " has no selection.");
    return static_cast<int>(v.realAt(0));
}

void RpcSetup::redraw() {
    for (int r = 1; r <= kRpcVisibleRows; ++r) redrawChn(r);
}

void RpcSetup::redrawChn(int row) {
    const int k = scrollIndex_ + row;
    const bool on = at("Active", k) != 0;
    const Value enable = Value::text(on ? "on" : "off");
    platform_.set(window_, rowTag("chkRPCchnActive", row), "Value", Value::scalar(on ? 1 : 0));
    platform_.set(window_, rowTag("txtRPCchnValue", row), "Enable", enable);
    platform_.set(window_, rowTag("txtRPCchnGain", row), "Enable", enable);
    platform_.set(window_, rowTag("txtRPCchnValue", row), "String", Value::text(setupEntryText(at("Value", k))));
    platform_.set(window_, rowTag("txtRPCchnGain", row), "String", Value::text(setupEntryText(at("Gain", k))));
    platform_.set(window_, rowTag("txtRPCchn", row), "String", Value::text(std::to_string(k - 1)));
    platform_.set(window_, rowTag("txtMACindex", row), "String", Value::text(std::to_string(k + 4)));
}

std::vector<double> RpcSetup::fasteditActive(int index) {
    std::vector<double> on(kRpcChannels, 0.0);
    for (int k = 1; k <= kRpcChannels; ++k) {
        const bool fourth = k % 4 == 0;
        double v = 0;
        switch (index) {
            case 1: v = 1; break;
            case 2: v = fourth ? 0 : 1; break;
            case 3: v = k % 2 == 1 ? 1 : 0; break;
            case 4: v = fourth ? 1 : 0; break;
            case 5: v = 0; break;
            case 6: v = std::round(uniform_()); break;
            default: throw Error("The FastEdit activity pattern " + std::to_string(index) + " does not exist.");
        }
        on[static_cast<std::size_t>(k - 1)] = v;
    }
    return on;
}

void RpcSetup::RPCactive_Callback(const std::string& tag) {
    const int r = rowOf(tag);
    const Value v = platform_.get(window_, tag, "Value");
    at("Active", scrollIndex_ + r) = v.isReal() && v.numel() == 1 ? v.realAt(0) : 0;
    redrawChn(r);
}

void RpcSetup::RPCvalue_Callback(const std::string& tag) {
    const int r = rowOf(tag);
    const FieldRange& range = slotEntryRange("RPCslotValue");
    if (const auto v = readNumberEntry(platform_.get(window_, tag, "String").str()))
        at("Value", scrollIndex_ + r) = clampFromAbove(roundEach(*v), range.lo, range.hi);
    redrawChn(r);
}

void RpcSetup::RPCgain_Callback(const std::string& tag) {
    const int r = rowOf(tag);
    const FieldRange& range = slotEntryRange("RPCslotGain");
    if (const auto g = readNumberEntry(platform_.get(window_, tag, "String").str()))
        at("Gain", scrollIndex_ + r) = clampFromAbove(roundEach(*g), range.lo, range.hi);
    redrawChn(r);
}

void RpcSetup::fasteditRPCactive_Callback() {
    const std::vector<double> on = fasteditActive(popupIndex("pldRPCactive"));
    chn_.field("Active").realData().assign(on.begin(), on.end());
    redraw();
}

void RpcSetup::fasteditRPCvalue_Callback() {
    const int index = popupIndex("pldRPCvalue");
    if (index < 1 || index > 5) throw Error("The FastEdit value pattern " + std::to_string(index) + " does not exist.");
    for (int k = 1; k <= kRpcChannels; ++k) {
        const bool odd = k % 2 == 1;
        double v = 0;
        switch (index) {
            case 1: v = 0; break;
            case 2: v = 1; break;
            case 3: v = odd ? 0 : 1; break;
            case 4: v = odd ? 1 : 0; break;
            default: v = std::round(uniform_()); break;
        }
        at("Value", k) = v;
    }
    redraw();
}

void RpcSetup::fasteditRPCgain_Callback() {
    const int index = popupIndex("pldRPCgain");
    static const double fixed[] = {3, 0, -3, -6, -10};
    if (index >= 1 && index <= 5) {
        for (int k = 1; k <= kRpcChannels; ++k) at("Gain", k) = fixed[index - 1];
    } else if (index == 6) {
        for (int k = 1; k <= kRpcChannels; ++k) at("Gain", k) = std::round(13 * uniform_()) - 10;
    } else if (index == 7) {
        normalize();
    } else {
        throw Error("The FastEdit gain pattern " + std::to_string(index) + " does not exist.");
    }
    redraw();
}

// Shifts every gain so that the linear amplitudes of the channels that are
// on add up to the level asked for.
void RpcSetup::normalize() {
    const auto answer = platform_.inputDialog(kNormalizeTitle, {kNormalizePrompt}, {"0"});
    if (!answer || answer->empty()) return;
    // One number is a level; no number, or several, is not.
    const std::vector<double> num = readNumberList(answer->front());
    if (num.size() != 1) {
        platform_.errorDialog(kNormalizeErrorTitle, kNormalizeError);
        return;
    }
    const double level = clampFromAbove(num, -30, 30);
    double total = 0;
    for (int k = 1; k <= kRpcChannels; ++k) total += std::pow(10.0, at("Gain", k) / 20) * at("Active", k);
    if (!(total > 0)) return;
    const double totalDb = 20 * std::log10(total);
    for (int k = 1; k <= kRpcChannels; ++k) at("Gain", k) = at("Gain", k) - totalDb + level;
}

void RpcSetup::sldrScrollbar_Callback() {
    const Value max = platform_.get(window_, "sldrScrollbar", "Max");
    const Value value = platform_.get(window_, "sldrScrollbar", "Value");
    if (!max.isReal() || max.numel() != 1 || !value.isReal() || value.numel() != 1)
        throw Error("The scroll bar has no position.");
    // The rows must stay within the 59 channels whatever the bar reports.
    const double index = std::round(max.realAt(0) - value.realAt(0));
    scrollIndex_ = static_cast<int>(std::clamp(std::isnan(index) ? 0.0 : index, 0.0, double(kRpcMaxScrollIndex)));
    redraw();
}

void RpcSetup::pbOK_Callback() { modal_.finish(window_, "OK"); }

void RpcSetup::pbCancel_Callback() { modal_.finish(window_, "Cancel"); }

void RpcSetup::Close_Callback() { pbCancel_Callback(); }

}  // namespace tolvane::app
