#include "app/windows/advanced_settings.hpp"

#include <cmath>

#include "app/number_entry.hpp"
#include "app/windows/app_globals.hpp"
#include "app/windows/generator_entry.hpp"
#include "app/window_utils.hpp"
#include "instrument/jobs.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

// The window's working copy of the settings while it is open: a global by
// name, so the window's operations called by name edit the same record.
Value& settings() { return global("newSettings"); }

}  // namespace

AdvancedSettingsWindow::AdvancedSettingsWindow(Platform& platform, WindowId window) : p_(platform), w_(window) {
    p_.setDispatcher(w_, [this](const CallbackEvent& e) { reportErrors(p_, [&] { dispatch(e); }); });
}

Value AdvancedSettingsWindow::defaultSettings() {
    Record r;
    r.set("Title", Value::text("NoName"));
    r.set("Frequency", Value::scalar(1000000000));
    r.set("Amplitude", Value::scalar(-50));
    r.set("SamplingRate", Value::scalar(1000000));
    r.set("BBfilter", Value::scalar(2));
    r.set("Scaling", Value::scalar(95));
    r.set("ModAtten", Value::scalar(0));
    r.set("RFblanking", Value::scalar(1));
    r.set("ALC", Value::scalar(1));
    r.set("ArbRefSource", Value::scalar(0));
    r.set("MarkerPolarity", Value::scalar(0));
    return Value::record(std::move(r));
}

std::pair<std::string, Value> AdvancedSettingsWindow::open(const Value& given) {
    settings() = given.isRecord() ? given : defaultSettings();
    redrawAll();
    const std::string answer = modal_.showAndWait(w_, ModalAnswer::After::Hide);
    return {answer, settings()};
}

void AdvancedSettingsWindow::dispatch(const std::string& op) {
    if (op == "InitializeFigure") return InitializeFigure();
    if (op == "redrawAll") return redrawAll();
    if (op == "defaultSettings") {
        settings() = defaultSettings();
        return;
    }
    if (op == "updateSamplingRate") return updateSamplingRate();
    // What the close button does, by name.
    if (op == "closeFig_Callback") return modal_.finish(w_, "Cancel");
    if (const auto tag = callbackTag(op))
        if (runCallback(*tag)) return;
    throw Error("KltConfigAdv_c has no operation " + op + ".");
}

void AdvancedSettingsWindow::dispatch(const CallbackEvent& event) {
    if (event.kind == CallbackEvent::Kind::CloseRequest) return modal_.finish(w_, "Cancel");
    if (!runCallback(event.tag)) throw Error("KltConfigAdv_c has no operation " + event.operation + ".");
}

bool AdvancedSettingsWindow::runCallback(const std::string& tag) {
    using Callback = void (*)(AdvancedSettingsWindow&);
    static const std::pair<std::string_view, Callback> controls[] = {
        {"txtSamplingRate", [](AdvancedSettingsWindow& a) { a.updateSamplingRate(); }},
        {"pdSamplingRateUnits", [](AdvancedSettingsWindow& a) { a.updateSamplingRate(); }},
        {"pdBBfilter",
         [](AdvancedSettingsWindow& a) {
             settings().setField("BBfilter", Value::scalar(controlValue(a.p_, a.w_, "pdBBfilter")));
         }},
        {"txtScaling", [](AdvancedSettingsWindow& a) { a.txtScaling_Callback(); }},
        {"txtModAtten", [](AdvancedSettingsWindow& a) { a.txtModAtten_Callback(); }},
        {"chkRFblanking", [](AdvancedSettingsWindow& a) { a.setCheckField("chkRFblanking", "RFblanking"); }},
        {"chkALC", [](AdvancedSettingsWindow& a) { a.setCheckField("chkALC", "ALC"); }},
        {"chkBBrefSource", [](AdvancedSettingsWindow& a) { a.setCheckField("chkBBrefSource", "ArbRefSource"); }},
        {"chkMarkerPolarity",
         [](AdvancedSettingsWindow& a) { a.setCheckField("chkMarkerPolarity", "MarkerPolarity"); }},
        {"pbOK", [](AdvancedSettingsWindow& a) { a.modal_.finish(a.w_, "OK"); }},
        {"pbCancel", [](AdvancedSettingsWindow& a) { a.modal_.finish(a.w_, "Cancel"); }},
    };
    const Callback* f = findByTag(controls, tag);
    if (!f) return false;
    (*f)(*this);
    return true;
}

void AdvancedSettingsWindow::txtScaling_Callback() {
    // Two decimals: n x 100 to the nearest whole number, then / 100.
    auto list = roundEach(scaleEach(readNumberList(controlText(p_, w_, "txtScaling")), 100));
    for (double& v : list) v /= 100;
    if (!list.empty()) settings().setField("Scaling", Value::scalar(clampFromAbove(list, 1, 100)));
    redrawAll();
}

void AdvancedSettingsWindow::txtModAtten_Callback() {
    const auto list = roundEach(readNumberList(controlText(p_, w_, "txtModAtten")));
    if (!list.empty()) settings().setField("ModAtten", Value::scalar(clampFromAbove(list, 0, 40)));
    redrawAll();
}

void AdvancedSettingsWindow::setCheckField(const std::string& tag, const std::string& field) {
    settings().setField(field, Value::scalar(controlValue(p_, w_, tag)));
}

void AdvancedSettingsWindow::InitializeFigure() {
    resizeAllFonts(p_, w_);
    setTooltip(p_, w_, "txtSamplingRate",
               "Sets the baseband samping rate.\nValid Range: 1 Hz - 100 MHz\n(Configures automatically to be "
               "consistent\nwith the selected Oversampling Ratio.)");
    setTooltip(p_, w_, "pdBBfilter", "Selects the KLT IQ Baseband filter.");
    setTooltip(p_, w_, "txtScaling", "Sets the I & Q scaling ratio.\nValid Range: 1 - 100 %");
    setTooltip(p_, w_, "txtModAtten", "Sets the Modulator Attentuation.\nValid Range: 0 - 40 dB");
    setTooltip(p_, w_, "chkRFblanking", "Toggles the state of the\nRF Blanking feature.");
    setTooltip(p_, w_, "chkALC", "Toggles the state of the\nAutomatic Level Control (ALC).");
    setTooltip(p_, w_, "chkBBrefSource",
               "Toggles the source of the ARB reference\nbetween internal and external.\n(Note: Ensure that an "
               "external reference\nis connected to the KLT before setting\nthe ARB reference source to external.)");
    setTooltip(p_, w_, "chkMarkerPolarity",
               "Toggles the Event marker polarity.\n(Note: The Event 2 Marker is used by\nthe internal RF Blanking "
               "feature, inverting the\npolarity while RF Blanking is active may\nlead to unexpected behaivour.)");
    setTooltip(p_, w_, "pbOK", "Apply all changes.");
    setTooltip(p_, w_, "pbCancel", "Discards all changes.");
}

void AdvancedSettingsWindow::redrawAll() {
    const Value& s = settings();
    const UnitChoice r = chooseUnit(numberField(s, "SamplingRate"), 3);
    setValue(p_, w_, "pdSamplingRateUnits", r.entry);
    setText(p_, w_, "txtSamplingRate", decimalText(r.shown));
    setValue(p_, w_, "pdBBfilter", numberField(s, "BBfilter"));
    setText(p_, w_, "txtScaling", decimalText(numberField(s, "Scaling")));
    setText(p_, w_, "txtModAtten", decimalText(numberField(s, "ModAtten")));
    setValue(p_, w_, "chkRFblanking", numberField(s, "RFblanking"));
    setValue(p_, w_, "chkALC", numberField(s, "ALC"));
    setValue(p_, w_, "chkBBrefSource", numberField(s, "ArbRefSource"));
    setValue(p_, w_, "chkMarkerPolarity", numberField(s, "MarkerPolarity"));
}

void AdvancedSettingsWindow::updateSamplingRate() {
    Value& s = settings();
    const double unit = unitFactor(controlValue(p_, w_, "pdSamplingRateUnits"), 3);
    const auto list = scaleEach(readNumberList(controlText(p_, w_, "txtSamplingRate")), unit);
    if (!list.empty()) s.setField("SamplingRate", Value::scalar(clampFromAbove(list, 1, 100000000)));
    redrawAll();
}

}  // namespace tolvane::app
