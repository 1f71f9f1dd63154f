#include "app/windows/sig_gen_connection.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/text.hpp"
#include "app/number_entry.hpp"
#include "app/window_utils.hpp"
#include "base/diagnostics.hpp"
#include "runtime/library.hpp"

namespace tolvane::app {

namespace {

const char* const kBaudRateTip = "Select the communication baud rate.\r\nNOTE: This must agree with the instrument.";
const char* const kPrimaryAddressTip =
    "Select the primary address of your source.\r\nThe default factory setting is 19.";
const char* const kChecking = "... Checking ...";

// The controls of each bus, its panel first. The panels stand for the three
// group layouts; hiding a panel hides what it holds on a desktop, and each
// control is hidden as well so that nothing of a hidden group can be used.
struct Group {
    const char* bus;
    const char* panel;
    std::vector<const char*> controls;
};
const Group kGroups[] = {
    {"TCPIP", "configTCPIP", {"lblTCPIPAddress", "editTCPIPAddress"}},
    {"GPIB",
     "configGPIB",
     {"lblGpibBoard", "pmGpibBoard", "lblPrimaryAddress", "pmPrimaryAddress", "lblSecondaryAddress",
      "pmSecondaryAddress"}},
    {"RS232",
     "configRS232",
     {"lblPortNumber", "pmPortNumber", "lblBaudRate", "pmBaudRate", "lblHandShake", "pmHandShake"}},
};

bool sameText(const std::string& a, const std::string& b) { return equalsIgnoringCase(a, b); }

// The sub-record of that name, made (empty) when the record lacks it or
// holds something else there.
Value& subRecord(Value& record, const char* name) {
    if (!record.hasField(name) || !record.field(name).isRecord()) record.setField(name, Value::record());
    return record.field(name);
}

// A number field of a sub-record clamped into [lo, hi]: the smaller of the
// upper limit and the value, then the larger of the lower limit and that.
// A field that is missing or holds no number takes the default.
double clampedField(const Value& record, const char* sub, const char* field, double lo, double hi, double dflt) {
    if (!record.hasField(sub) || !record.field(sub).hasField(field)) return dflt;
    const Value& v = record.field(sub).field(field);
    if (!v.isReal() || v.numel() == 0) return dflt;
    return clampFromAbove(v.realData(), lo, hi);
}

std::string textField(const Value& record, const char* sub, const char* field, const std::string& dflt) {
    if (!record.hasField(sub) || !record.field(sub).hasField(field)) return dflt;
    const Value& v = record.field(sub).field(field);
    return v.isText() ? v.str() : dflt;
}

// A number field of the flat record, or the default when it holds none.
double flatNumber(const Value& record, const char* field, double dflt) {
    if (!record.hasField(field)) return dflt;
    const Value& v = record.field(field);
    return v.isReal() && v.numel() >= 1 ? v.realAt(0) : dflt;
}

double entryNumber(const Value& list, std::size_t i) {
    if (!list.isCell() || i >= list.numel() || !list.cells()[i].isText()) throw Error("The rate list is incomplete.");
    const auto n = readSingleNumber(list.cells()[i].str());
    if (!n) throw Error("The rate list entry " + list.cells()[i].str() + " is not a number.");
    return *n;
}

std::string entryText(const Value& list, double index) {
    if (!list.isCell() || list.numel() == 0) return {};
    std::size_t i = 0;
    if (index >= 1 && index <= static_cast<double>(list.numel())) i = static_cast<std::size_t>(index) - 1;
    const Value& item = list.cells()[i];
    return item.isText() ? item.str() : std::string();
}

}  // namespace

SigGenConnection::SigGenConnection(Platform& platform) : platform_(platform) {}

// --- records

Value SigGenConnection::initConfig(const Value& config) {
    Value r = config.isRecord() ? config : Value::record();
    r.setField("type", Value::text("GPIB"));
    Value& gpib = subRecord(r, "GPIB");
    gpib.setField("board", Value::scalar(0));
    gpib.setField("primary", Value::scalar(19));
    gpib.setField("secondary", Value::scalar(-1));
    Value& rs232 = subRecord(r, "RS232");
    rs232.setField("port", Value::scalar(1));
    rs232.setField("baudrate", Value::scalar(19200));
    rs232.setField("handshake", Value::text("Xon/Xoff"));
    Value& tcpip = subRecord(r, "TCPIP");
    tcpip.setField("address", Value::text("0.0.0.0"));
    tcpip.setField("board", Value::scalar(0));
    return r;
}

Value SigGenConnection::reStructureConfig(const Value& config) const {
    if (!config.hasField("Connection")) return config;
    Value r = config;
    // A field the flat record lacks takes the dialog's default.
    r.setField("type", Value::text(flatNumber(config, "Connection", 2) == 1 ? "RS232" : "GPIB"));
    Value& gpib = subRecord(r, "GPIB");
    gpib.setField("board", Value::scalar(flatNumber(config, "GPIBboard", 0)));
    gpib.setField("primary", Value::scalar(flatNumber(config, "Primary", 19)));
    gpib.setField("secondary", Value::scalar(flatNumber(config, "Secondary", -1)));
    Value& rs232 = subRecord(r, "RS232");
    rs232.setField("port", Value::scalar(flatNumber(config, "RS232Port", 1)));
    rs232.setField("baudrate", Value::scalar(flatNumber(config, "BaudRate", 19200)));
    std::string handshake = "Xon/Xoff";
    if (platform_.isWindow(window_) && platform_.hasControl(window_, "pmHandShake"))
        handshake = ConvertIndexToString(items("pmHandShake"), flatNumber(config, "HandShake", 0) + 1);
    rs232.setField("handshake", Value::text(handshake));
    Value& tcpip = subRecord(r, "TCPIP");
    tcpip.setField("address", Value::text("0.0.0.0"));
    tcpip.setField("board", Value::scalar(0));
    for (const char* old : {"Connection", "GPIBboard", "Primary", "Secondary", "RS232Port", "HandShake", "BaudRate"})
        r.rec().remove(old);
    return r;
}

// The record the dialog starts from: converted, every field the dialog
// shows present and within its list, the LAN board 0.
Value SigGenConnection::openingRecord(const Value& connection) const {
    if (!connection.isRecord()) return initConfig();
    Value r = reStructureConfig(connection);
    const Value rates = items("pmBaudRate");
    const double lowRate = entryNumber(rates, 0);
    const double highRate = entryNumber(rates, std::min<std::size_t>(2, rates.numel() - 1));
    // List positions are whole numbers.
    const double board = std::round(clampedField(r, "GPIB", "board", 0, 15, 0));
    const double primary = std::round(clampedField(r, "GPIB", "primary", 0, 30, 19));
    const double secondary = std::round(clampedField(r, "GPIB", "secondary", -1, 31, -1));
    const double port = std::round(clampedField(r, "RS232", "port", 1, 9, 1));
    const double baud = clampedField(r, "RS232", "baudrate", lowRate, highRate, 19200);
    const std::string handshake = textField(r, "RS232", "handshake", "Xon/Xoff");
    const std::string address = textField(r, "TCPIP", "address", "0.0.0.0");
    if (!r.hasField("type") || !r.field("type").isText()) r.setField("type", Value::text("GPIB"));
    Value& gpib = subRecord(r, "GPIB");
    gpib.setField("board", Value::scalar(board));
    gpib.setField("primary", Value::scalar(primary));
    gpib.setField("secondary", Value::scalar(secondary));
    Value& rs232 = subRecord(r, "RS232");
    rs232.setField("port", Value::scalar(port));
    rs232.setField("baudrate", Value::scalar(baud));
    rs232.setField("handshake", Value::text(handshake));
    Value& tcpip = subRecord(r, "TCPIP");
    tcpip.setField("address", Value::text(address));
    tcpip.setField("board", Value::scalar(0));
    return r;
}

// --- lists

int SigGenConnection::ConvertStringToIndex(const Value& list, const std::string& text) {
    const std::string wanted = sameText(text, "TCPIP") ? "TCP/IP" : text;
    if (!list.isCell()) return 1;
    for (std::size_t i = 0; i < list.numel(); ++i)
        if (list.cells()[i].isText() && sameText(list.cells()[i].str(), wanted)) return static_cast<int>(i) + 1;
    return 1;
}

std::string SigGenConnection::ConvertIndexToString(const Value& list, double index) {
    if (!list.isCell() || list.numel() == 0) return {};
    if (!(index >= 1 && index <= static_cast<double>(list.numel()))) return entryText(list, 1);
    const std::string text = entryText(list, index);
    return sameText(text, "TCP/IP") ? "TCPIP" : text;
}

Value SigGenConnection::items(const char* tag) const { return platform_.get(window_, tag, "String"); }

int SigGenConnection::selected(const char* tag) const {
    const Value v = platform_.get(window_, tag, "Value");
    if (!v.isReal() || v.numel() != 1) throw Error(std::string("The list ") + tag + " has no selection.");
    return static_cast<int>(v.realAt(0));
}

void SigGenConnection::setStatus(const std::string& text) {
    platform_.set(window_, "lblStatus", "String", Value::text(text));
}

std::vector<std::string> SigGenConnection::addControls(const std::string& group) const {
    std::vector<std::string> tags;
    for (const Group& g : kGroups) {
        if (group != g.panel) continue;
        if (platform_.hasControl(window_, g.panel)) tags.emplace_back(g.panel);
        for (const char* c : g.controls)
            if (platform_.hasControl(window_, c)) tags.emplace_back(c);
    }
    return tags;
}

// --- record and controls

void SigGenConnection::UpdateConnectionSelections(Value& config) {
    const std::string type = config.hasField("type") && config.field("type").isText() ? config.field("type").str() : "";
    if ((model_ == NoLan && sameText(type, "TCPIP")) || (model_ == NoSerial && sameText(type, "RS232")))
        config.setField("type", Value::text("GPIB"));
    Value list = layoutBusList_;
    if (model_ == NoLan) list = Value::cell({Value::text("RS232"), Value::text("GPIB")});
    if (model_ == NoSerial) list = Value::cell({Value::text("GPIB"), Value::text("TCP/IP")});
    // The selection first, so that it never points past the new list.
    platform_.set(window_, "pmConnection", "Value", Value::scalar(1));
    platform_.set(window_, "pmConnection", "String", list);
}

void SigGenConnection::UpdateGuiObjects(Value config) {
    try {
        UpdateConnectionSelections(config);
        const std::string type = config.hasField("type") && config.field("type").isText() ? config.field("type").str() : "";
        platform_.set(window_, "pmConnection", "Value",
                      Value::scalar(ConvertStringToIndex(items("pmConnection"), type)));
        auto number = [&](const char* sub, const char* field) {
            const Value& v = config.field(sub).field(field);
            if (!v.isReal() || v.numel() != 1) throw Error(std::string("The field ") + sub + "." + field + " is not a number.");
            return v.realAt(0);
        };
        platform_.set(window_, "pmGpibBoard", "Value", Value::scalar(number("GPIB", "board") + 1));
        platform_.set(window_, "pmPrimaryAddress", "Value", Value::scalar(number("GPIB", "primary") + 1));
        platform_.set(window_, "pmSecondaryAddress", "Value", Value::scalar(number("GPIB", "secondary") + 2));
        platform_.set(window_, "pmPortNumber", "Value", Value::scalar(number("RS232", "port")));
        platform_.set(window_, "pmBaudRate", "Value",
                      Value::scalar(ConvertStringToIndex(items("pmBaudRate"), numberText(number("RS232", "baudrate")))));
        const Value& handshake = config.field("RS232").field("handshake");
        platform_.set(window_, "pmHandShake", "Value",
                      Value::scalar(ConvertStringToIndex(items("pmHandShake"), handshake.isText() ? handshake.str() : "")));
        const Value& address = config.field("TCPIP").field("address");
        platform_.set(window_, "editTCPIPAddress", "String", Value::text(address.isText() ? address.str() : ""));
    } catch (const Error& e) {
        setStatus(e.what());
    }
}

Value SigGenConnection::UpdateConfig() const {
    Record gpib;
    gpib.set("board", Value::scalar(selected("pmGpibBoard") - 1));
    gpib.set("primary", Value::scalar(selected("pmPrimaryAddress") - 1));
    gpib.set("secondary", Value::scalar(selected("pmSecondaryAddress") - 2));
    Record rs232;
    rs232.set("port", Value::scalar(selected("pmPortNumber")));
    const auto rate = readSingleNumber(entryText(items("pmBaudRate"), selected("pmBaudRate")));
    rs232.set("baudrate", Value::scalar(rate ? *rate : std::nan("")));
    rs232.set("handshake", Value::text(entryText(items("pmHandShake"), selected("pmHandShake"))));
    Record tcpip;
    const Value address = platform_.get(window_, "editTCPIPAddress", "String");
    tcpip.set("address", Value::text(address.isText() ? address.str() : ""));
    tcpip.set("board", Value::scalar(0));
    Record r;
    r.set("type", Value::text(ConvertIndexToString(items("pmConnection"), selected("pmConnection"))));
    r.set("GPIB", Value::record(std::move(gpib)));
    r.set("RS232", Value::record(std::move(rs232)));
    r.set("TCPIP", Value::record(std::move(tcpip)));
    return Value::record(std::move(r));
}

std::string SigGenConnection::handshakeAdvice(int entry) {
    std::string lines = "Set the Instrument's RS-232 Pace to:\n  Transmit Pace = None\n";
    if (entry == 2) return lines + "  Receive Pace  = Xon\n  RTS/CTS       = Off";
    if (entry == 3) return lines + "  Receive Pace  = None\n  RTS/CTS       = RTS/CTS Pacing";
    return lines + "  Receive Pace  = None\n  RTS/CTS       = Off";
}

void SigGenConnection::UpdateRS232HandShakingToolTip() {
    const std::string advice = handshakeAdvice(selected("pmHandShake"));
    platform_.set(window_, "pmHandShake", "TooltipString", Value::text(advice));
    platform_.set(window_, "lblHandShake", "TooltipString", Value::text(advice));
    if (sameText(UpdateConfig().field("type").str(), "RS232")) setStatus(advice);
}

void SigGenConnection::showControls() {
    const std::string bus = ConvertIndexToString(items("pmConnection"), selected("pmConnection"));
    const std::vector<std::string>* handles[] = {&handlesTCPIP_, &handlesGPIB_, &handlesRS232_};
    // The other groups are hidden first, then the selected one shown.
    for (std::size_t i = 0; i < 3; ++i)
        if (!sameText(bus, kGroups[i].bus))
            for (const std::string& tag : *handles[i]) platform_.set(window_, tag, "Visible", Value::text("off"));
    for (std::size_t i = 0; i < 3; ++i)
        if (sameText(bus, kGroups[i].bus))
            for (const std::string& tag : *handles[i]) platform_.set(window_, tag, "Visible", Value::text("on"));
}

void SigGenConnection::EnableGuiObjects() { showControls(); }

// --- opening

void SigGenConnection::place(WindowId parent) {
    if (parent == 0 || !platform_.isWindow(parent)) return;
    const std::string ptag = platform_.windowTag(parent);
    const std::string tag = platform_.windowTag(window_);
    platform_.set(window_, tag, "Units", platform_.get(parent, ptag, "Units"));
    const Value p = platform_.get(parent, ptag, "Position");
    const Value d = platform_.get(window_, tag, "Position");
    if (!p.isReal() || p.numel() != 4 || !d.isReal() || d.numel() != 4) return;
    // Centred horizontally over the parent, the tops level.
    const double left = p.realAt(0) + p.realAt(2) / 2 - d.realAt(2) / 2;
    const double bottom = p.realAt(1) + p.realAt(3) - d.realAt(3);
    platform_.set(window_, tag, "Position", Value::row({left, bottom, d.realAt(2), d.realAt(3)}));
}

std::pair<std::string, Value> SigGenConnection::run(WindowId parent, const Value& connection,
                                                    const std::string& platformGeneration) {
    const auto opening = modal_.open("The connection dialog is already open.");
    window_ = platform_.openLayout(kLayoutName);
    const std::string tag = platform_.windowTag(window_);
    // A dialog left behind by a failure is not left open.
    struct Closer {
        Platform& p;
        WindowId& w;
        ~Closer() {
            if (w != 0) p.deleteWindow(w);
            w = 0;
        }
    } closer{platform_, window_};

    platform_.set(window_, tag, "Visible", Value::text("off"));
    platform_.set(window_, tag, "Color", defaultControlBackground());
    if (!layoutBusList_.isSet()) layoutBusList_ = items("pmConnection");
    handlesTCPIP_ = addControls("configTCPIP");
    handlesGPIB_ = addControls("configGPIB");
    handlesRS232_ = addControls("configRS232");
    platform_.setDispatcher(window_, [this](const CallbackEvent& e) { dispatch(e); });

    model_ = AllBuses;
    std::string titleWord = platformGeneration;
    if (sameText(platformGeneration, "b")) model_ = NoLan;
    if (sameText(platformGeneration, "c")) model_ = NoSerial;
    if (model_ != AllBuses) titleWord.clear();

    try {
        place(parent);
    } catch (const Error&) {
        // The dialog then opens where its layout puts it.
    }

    Value working = openingRecord(connection);
    if (!titleWord.empty()) platform_.set(window_, tag, "Name", Value::text(titleWord + " IO Connection"));
    try {
        resizeAllFonts(platform_, window_);
    } catch (const Error&) {
    }
    platform_.set(window_, "pmBaudRate", "TooltipString", Value::text(kBaudRateTip));
    platform_.set(window_, "pmPrimaryAddress", "TooltipString", Value::text(kPrimaryAddressTip));

    UpdateGuiObjects(working);
    UpdateRS232HandShakingToolTip();
    EnableGuiObjects();

    // The dialog is deleted afterwards (by the closer), not hidden.
    const std::string response = modal_.showAndWait(window_, ModalAnswer::After::Keep);
    if (response == "OK") {
        const Value edited = UpdateConfig();
        working.setField("type", edited.field("type"));
        for (const char* sub : {"GPIB", "RS232", "TCPIP"})
            for (const auto& [name, v] : edited.field(sub).rec().fields()) subRecord(working, sub).setField(name, v);
    }
    return {response, working};
}

void SigGenConnection::dispatch(const CallbackEvent& event) {
    using Callback = void (SigGenConnection::*)();
    static const std::pair<std::string_view, Callback> controls[] = {
        {"pmConnection", &SigGenConnection::pmConnection_Callback},
        {"pmGpibBoard", &SigGenConnection::pmGpibBoard_Callback},
        {"pmPrimaryAddress", &SigGenConnection::pmPrimaryAddress_Callback},
        {"pmSecondaryAddress", &SigGenConnection::pmSecondaryAddress_Callback},
        {"pmPortNumber", &SigGenConnection::pmPortNumber_Callback},
        {"pmBaudRate", &SigGenConnection::pmBaudRate_Callback},
        {"pmHandShake", &SigGenConnection::pmHandShake_Callback},
        {"editTCPIPAddress", &SigGenConnection::editTCPIPAddress_Callback},
        {"pbCheckHardware", &SigGenConnection::pbCheckHardware_Callback},
        {"pbOK", &SigGenConnection::pbOK_Callback},
        {"pbCancel", &SigGenConnection::pbCancel_Callback},
    };
    try {
        if (event.kind == CallbackEvent::Kind::CloseRequest) return pbCancel_Callback();
        if (const Callback* f = findByTag(controls, event.tag)) (this->*(*f))();
    } catch (const Error& e) {
        platform_.console(e.what());
    }
}

// --- callbacks

void SigGenConnection::pmConnection_Callback() {
    EnableGuiObjects();
    setStatus("");
    if (sameText(ConvertIndexToString(items("pmConnection"), selected("pmConnection")), "RS232"))
        UpdateRS232HandShakingToolTip();
}

void SigGenConnection::pmHandShake_Callback() { UpdateRS232HandShakingToolTip(); }

void SigGenConnection::pbCheckHardware_Callback() {
    const std::string tag = platform_.windowTag(window_);
    // The pointer comes back however the check ends.
    struct Pointer {
        Platform& p;
        WindowId w;
        std::string tag;
        Value before;
        ~Pointer() {
            if (!p.isWindow(w)) return;
            try {
                p.set(w, tag, "Pointer", before);
            } catch (const Error&) {
            }
        }
    } pointer{platform_, window_, tag, platform_.get(window_, tag, "Pointer")};
    platform_.set(window_, tag, "Pointer", Value::text("watch"));
    const Value record = UpdateConfig();
    setStatus(kChecking);
    std::string description;
    try {
        const std::vector<Value> out = callByName("VerifyComm", 2, {record});
        if (out.size() > 1 && out[1].isText()) description = out[1].str();
    } catch (const Error& e) {
        description = e.what();
    }
    setStatus(description);
}

void SigGenConnection::pbOK_Callback() { modal_.finish(window_, "OK"); }

void SigGenConnection::pbCancel_Callback() { modal_.finish(window_, "Cancel"); }

}  // namespace tolvane::app
