#include "app/windows/app_globals.hpp"

#include "base/diagnostics.hpp"
#include "runtime/library.hpp"

namespace tolvane::app {

Value& global(const std::string& name) { return library().globals().stored(name); }

Session& session() { return processSession(); }

double numberField(const Value& record, const std::string& field) {
    if (!record.hasField(field)) throw Error("The record has no field " + field + ".");
    const Value& v = record.field(field);
    if (!v.isReal() || v.numel() < 1) throw Error("The field " + field + " is not a number.");
    return v.realAt(0);
}

std::string textField(const Value& record, const std::string& field) {
    if (!record.hasField(field)) throw Error("The record has no field " + field + ".");
    const Value& v = record.field(field);
    if (v.isText()) return v.str();
    if (v.isEmpty()) return "";
    throw Error("The field " + field + " is not a text.");
}

double controlValue(Platform& p, WindowId w, const std::string& tag) {
    const Value v = p.get(w, tag, "Value");
    return v.isNumeric() && v.numel() > 0 ? v.realAt(0) : 0;
}

std::string controlText(Platform& p, WindowId w, const std::string& tag) {
    const Value v = p.get(w, tag, "String");
    return v.isText() ? v.str() : std::string();
}

void setValue(Platform& p, WindowId w, const std::string& tag, double value) {
    p.set(w, tag, "Value", Value::scalar(value));
}

void setText(Platform& p, WindowId w, const std::string& tag, const std::string& text) {
    p.set(w, tag, "String", Value::text(text));
}

void setEnable(Platform& p, WindowId w, const std::string& tag, bool on) {
    p.set(w, tag, "Enable", Value::text(on ? "on" : "off"));
}

void setTooltip(Platform& p, WindowId w, const std::string& tag, const std::string& text) {
    p.set(w, tag, "TooltipString", Value::text(text));
}

void setVisible(Platform& p, WindowId w, const std::string& tag, bool on) {
    p.set(w, tag, "Visible", Value::text(on ? "on" : "off"));
}

BusyPointer::BusyPointer(Platform& p, WindowId w) : p_(p), w_(w) {
    if (!p_.isWindow(w_)) return;
    const std::string tag = p_.windowTag(w_);
    before_ = p_.get(w_, tag, "Pointer");
    p_.set(w_, tag, "Pointer", Value::text("watch"));
}

BusyPointer::~BusyPointer() {
    if (!before_.isSet() || !p_.isWindow(w_)) return;
    try {
        p_.set(w_, p_.windowTag(w_), "Pointer", before_);
    } catch (...) {
        // The window went away meanwhile; there is no pointer to restore.
    }
}

}  // namespace tolvane::app
