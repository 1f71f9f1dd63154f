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

const char* const kWindowTag = "figAdvSettings";

// The window's working copy of the settings while it is open: a global by
// name, so the window's operations called by name edit the same record.
Value& settings() { return global("newSettings"); }

}  // namespace

AdvancedSettingsWindow::AdvancedSettingsWindow(Platform& platform, WindowId window) : p_(platform), w_(window) {
    p_.setDispatcher(w_, [this](const CallbackEvent& e) {
        const std::string op = e.operation == std::string(kWindowTag) + "_CloseRequestFcn" ? "closeFig_Callback"
                                                                                          : e.operation;
        reportErrors(p_, [&] { dispatch(op); });
    });
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
    answer_ = "Cancel";
    p_.set(w_, kWindowTag, "Visible", Value::text("on"));
    p_.waitModal(w_);
    std::string answer = "Cancel";
    if (p_.isWindow(w_)) {
        answer = answer_;
        p_.set(w_, kWindowTag, "Visible", Value::text("off"));
    }
    return {answer, settings()};
}

void AdvancedSettingsWindow::dispatch(const std::string& op) {
    Value& s = settings();
    if (op == "InitializeFigure") return InitializeFigure();
    if (op == "redrawAll") return redrawAll();
    if (op == "defaultSettings") {
        s = defaultSettings();
        return;
    }
    if (op == "txtSamplingRate_Callback" || op == "pdSamplingRateUnits_Callback" || op == "updateSamplingRate")
        return updateSamplingRate();
    if (op == "pdBBfilter_Callback") {
        s.setField("BBfilter", Value::scalar(controlValue(p_, w_, "pdBBfilter")));
        return;
    }
    if (op == "txtScaling_Callback") {
        // Two decimals: n x 100 to the nearest whole number, then / 100.
        auto list = roundEach(scaleEach(readNumberList(controlText(p_, w_, "txtScaling")), 100));
        for (double& v : list) v /= 100;
        if (!list.empty()) s.setField("Scaling", Value::scalar(clampFromAbove(list, 1, 100)));
        return redrawAll();
    }
    if (op == "txtModAtten_Callback") {
        const auto list = roundEach(readNumberList(controlText(p_, w_, "txtModAtten")));
        if (!list.empty()) s.setField("ModAtten", Value::scalar(clampFromAbove(list, 0, 40)));
        return redrawAll();
    }
    if (op == "chkRFblanking_Callback") return setCheckField("chkRFblanking", "RFblanking");
    if (op == "chkALC_Callback") return setCheckField("chkALC", "ALC");
    if (op == "chkBBrefSource_Callback") return setCheckField("chkBBrefSource", "ArbRefSource");
    if (op == "chkMarkerPolarity_Callback") return setCheckField("chkMarkerPolarity", "MarkerPolarity");
    if (op == "pbOK_Callback") {
        answer_ = "OK";
        return p_.resumeModal(w_, "OK");
    }
    if (op == "pbCancel_Callback" || op == "closeFig_Callback") {
        answer_ = "Cancel";
        return p_.resumeModal(w_, "Cancel");
    }
    throw Error("KltConfigAdv_c has no operation " + op + ".");
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
