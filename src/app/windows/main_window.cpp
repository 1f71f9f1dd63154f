#include "app/windows/main_window.hpp"

#include <cmath>

#include "app/number_entry.hpp"
#include "base/version.hpp"
#include "app/windows/app_globals.hpp"
#include "app/windows/framework.hpp"
#include "app/windows/sig_gen_panel.hpp"
#include "app/window_utils.hpp"
#include "base/diagnostics.hpp"
#include "onex/constants.hpp"
#include "runtime/config_fields.hpp"
#include "runtime/library.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/parameters_value.hpp"

namespace tolvane::app {

namespace {

const char* const kModule = "OneX_Fwd_GUI_c";
// The bits 16 slots of 16QAM take: the longest user pattern the frame reads.
constexpr double kUserDataBits = 102400;

FrameConfig& config() { return session().config(); }

void callLocal(const char* local) { library().registry().call(std::string(kModule) + "/" + local, 0, {}); }

// What a user may enter in a field's control: the field table's range, the
// one the files and the command line are checked against too.
const FieldRange& entryRange(const char* field) {
    const ConfigField* f = findConfigField(field);
    if (!f) throw Error(std::string("The parameters record has no field ") + field + ".");
    return f->entry;
}

// A tooltip that ends in the field's "Valid Range: 0 to 511"; highFirst
// gives the top of the range first ("Valid Range: 0 to -80").
std::string withValidRange(const char* tip, const char* field, bool highFirst = false) {
    const FieldRange& r = entryRange(field);
    std::string text = tip;
    text += "Valid Range: ";
    text += numberText(highFirst ? r.hi : r.lo);
    text += " to ";
    text += numberText(highFirst ? r.lo : r.hi);
    return text;
}

}  // namespace

MainWindow::MainWindow(Platform& platform, WindowId window) : p_(platform), w_(window) {}

void MainWindow::InitializeAppInfo() {
    Record r;
    r.set("Name", Value::text("1xEV Forward Link"));
    r.set("Platform", Value::text("c"));
    r.set("IsRelease", Value::scalar(1));
    r.set("Rev", Value::text("A.02.02.001"));
    r.set("Date", Value::text("23-Aug-2002"));
    // The notice of this program's licence, with the version of the build.
    r.set("CopyrightMsg", Value::text(std::string("Tolvane ") + versionText() +
                                      ", Copyright (C) 2026 the Tolvane developers.\n"
                                      "GPL-3.0-or-later, see LICENSE."));
    r.set("Notes", Value::text("Release Notes:"));
    r.set("NotesLine2", Value::text("1xEV Forward Link Signal Generation Applet for"));
    r.set("NotesLine3", Value::text("Veltran Z9104K series RF Signal Generators."));
    r.set("NotesLine4", Value::text("This applet supports all modulation parameters"));
    r.set("NotesLine5", Value::text("of the 1xEV Forward Link standard."));
    r.set("NotesLine6", Value::text(""));
    r.set("NotesLine7", Value::text("Website: https://tolvane.example/"));
    r.set("ApplicationFunction", Value::text(kModule));
    r.set("ParameterFileExtension", Value::text(".mat"));
    r.set("ClientWindows", Value::empty());
    r.set("LastCaluclatedParameterSet", Value::empty());
    r.set("LastCalcTimeStamp", Value::empty());
    // The windows' own record, read and changed by name as well.
    global("appInfo") = Value::record(std::move(r));
}

void MainWindow::InitializeConfiguration() { session().setConnection(InstrumentConnection{}); }

void MainWindow::InitializeParameters() { callLocal("InitializeParameters"); }

void MainWindow::InitializeSigGenSettings() { callLocal("InitializeSigGenSettings"); }

void MainWindow::Calculate() { callLocal("Calculate"); }

void MainWindow::InitializeFigure() {
    setTooltip(p_, w_, "pdMode", "Selects the format mode.");
    setTooltip(p_, w_, "txtOffsetIndex", withValidRange("Sets the Pilot Channel offset index.\n ", "PilotOffsetIndex"));
    setTooltip(p_, w_, "chkMACchnActive", "Enables/disables the MAC Channel.");
    setTooltip(p_, w_, "chkDATAchnActive", "Enables/disables the Traffic Channel.");
    setTooltip(p_, w_, "pdDATAsourceType", "Selects the source data for\nthe Traffic Channel.");
    setTooltip(p_, w_, "chkIdleSlotGainActive", "Enables/disables idle slot noise signal.");
    setTooltip(p_, w_, "txtIdleSlotGain",
               withValidRange("Sets the power of the idle slot noise\nrelative to the pilot channel.\n",
                              "IdleSlotGain", true));
    setTooltip(p_, w_, "pbSlotSetup", "Configures each of the\n16 time slots.");
    if (p_.hasControl(w_, "txtFrameSlots"))
        setTooltip(p_, w_, "txtFrameSlots",
                   "Sets the frame length in slots: a whole\nmultiple of 16 from 16 to 128. Slot k\ntakes the settings "
                   "of slot ((k-1) mod 16)+1.");
    if (p_.hasControl(w_, "pbPacketSetup"))
        setTooltip(p_, w_, "pbPacketSetup", "Configures the traffic packets\nof the frame (Traffic Packets mode).");
    setTooltip(p_, w_, "txtOversampling", withValidRange("Sets the oversampling rate.\n", "OverSampling"));
    setTooltip(p_, w_, "pdFilterType", "Selects the baseband filter.");
    setTooltip(p_, w_, "chkPhaseEq", "Enables/disables the\nphase equalizer stage.");
    setTooltip(p_, w_, "chkMirrorSpectrum", "Enable/disables spectrum mirroring.");
    resizeAllFonts(p_, w_);
    if (panel_) panel_->InitializeSigGenScreenObjects();
}

void MainWindow::redraw() {
    redrawFormatParameters();
    if (framework_) framework_->redrawAppTitle();
    if (panel_) panel_->redrawSigGenSettings();
}

void MainWindow::redrawFormatParameters() {
    const FrameConfig& c = config();
    setValue(p_, w_, "pdMode", c.Mode);
    const char* const modeControls[] = {"chkMACchnActive", "chkDATAchnActive", "pdDATAsourceType",
                                        "chkIdleSlotGainActive", "txtIdleSlotGain"};
    if (c.Mode == 1) {
        setEnable(p_, w_, "chkMACchnActive", true);
        setEnable(p_, w_, "chkDATAchnActive", true);
        setEnable(p_, w_, "chkIdleSlotGainActive", true);
        setEnable(p_, w_, "pdDATAsourceType", c.DATAchnActive == 1);
        setEnable(p_, w_, "txtIdleSlotGain", c.IdleSlotGainActive != 0);
    } else if (c.Mode == 3) {
        // The packet table alone decides which data portions carry traffic;
        // the payloads come from the data source; MAC and idle slots as in
        // Mode 1.
        setEnable(p_, w_, "chkMACchnActive", true);
        setEnable(p_, w_, "chkDATAchnActive", false);
        setEnable(p_, w_, "chkIdleSlotGainActive", true);
        setEnable(p_, w_, "pdDATAsourceType", true);
        setEnable(p_, w_, "txtIdleSlotGain", c.IdleSlotGainActive != 0);
    } else {
        for (const char* tag : modeControls) setEnable(p_, w_, tag, false);
    }
    if (p_.hasControl(w_, "pbPacketSetup")) setEnable(p_, w_, "pbPacketSetup", c.Mode == 3);
    if (p_.hasControl(w_, "txtFrameSlots")) setText(p_, w_, "txtFrameSlots", numberText(c.FrameSlots));
    setValue(p_, w_, "chkMACchnActive", c.MACchnActive);
    setValue(p_, w_, "chkDATAchnActive", c.DATAchnActive);
    setValue(p_, w_, "chkIdleSlotGainActive", c.IdleSlotGainActive);
    setText(p_, w_, "txtIdleSlotGain", numberText(c.IdleSlotGain));
    setText(p_, w_, "txtOffsetIndex", numberText(c.PilotOffsetIndex));
    setValue(p_, w_, "pdDATAsourceType", c.DATAsourceType);
    setText(p_, w_, "txtOversampling", numberText(c.OverSampling));
    setValue(p_, w_, "pdFilterType", c.FilterType);
    setValue(p_, w_, "chkPhaseEq", c.PhaseEq);
    setValue(p_, w_, "chkMirrorSpectrum", c.MirrorSpectrum);
    setText(p_, w_, "txtNumberOfSamples", numberText(c.ProjectedLength) + " Samples");
}

void MainWindow::dispatch(const std::string& op) {
    if (op == "InitializeAppInfo") return InitializeAppInfo();
    if (op == "InitializeConfiguration") return InitializeConfiguration();
    if (op == "InitializeParameters") return InitializeParameters();
    if (op == "InitializeSigGenSettings") return InitializeSigGenSettings();
    if (op == "Calculate") return Calculate();
    if (op == "InitializeFigure") return InitializeFigure();
    if (op == "redraw") return redraw();
    if (op == "redrawFormatParameters") return redrawFormatParameters();
    if (const auto tag = callbackTag(op))
        if (runCallback(*tag)) return;
    throw Error(std::string(kModule) + " has no operation " + op + ".");
}

void MainWindow::dispatch(const CallbackEvent& event) {
    if (!runCallback(event.tag)) throw Error(std::string(kModule) + " has no operation " + event.operation + ".");
}

bool MainWindow::runCallback(const std::string& tag) {
    using Callback = void (MainWindow::*)();
    static const std::pair<std::string_view, Callback> controls[] = {
        {"pdMode", &MainWindow::pdMode_Callback},
        {"txtFrameSlots", &MainWindow::txtFrameSlots_Callback},
        {"pbPacketSetup", &MainWindow::pbPacketSetup_Callback},
        {"txtOffsetIndex", &MainWindow::txtOffsetIndex_Callback},
        {"chkMACchnActive", &MainWindow::chkMACchnActive_Callback},
        {"chkDATAchnActive", &MainWindow::chkDATAchnActive_Callback},
        {"pdDATAsourceType", &MainWindow::pdDATAsourceType_Callback},
        {"chkIdleSlotGainActive", &MainWindow::chkIdleSlotGainActive_Callback},
        {"txtIdleSlotGain", &MainWindow::txtIdleSlotGain_Callback},
        {"txtOversampling", &MainWindow::txtOversampling_Callback},
        {"pdFilterType", &MainWindow::pdFilterType_Callback},
        {"chkPhaseEq", &MainWindow::chkPhaseEq_Callback},
        {"chkMirrorSpectrum", &MainWindow::chkMirrorSpectrum_Callback},
        {"pbSlotSetup", &MainWindow::pbSlotSetup_Callback},
    };
    const Callback* f = findByTag(controls, tag);
    if (!f) return false;
    (this->*(*f))();
    return true;
}

std::optional<std::vector<double>> MainWindow::entry(const char* tag) const {
    return readNumberEntry(controlText(p_, w_, tag));
}

void MainWindow::pdMode_Callback() {
    config().Mode = controlValue(p_, w_, "pdMode");
    redrawFormatParameters();
}

void MainWindow::txtOffsetIndex_Callback() {
    const FieldRange& r = entryRange("PilotOffsetIndex");
    if (const auto list = entry("txtOffsetIndex")) config().PilotOffsetIndex = clampFromBelow(truncateEach(*list), r.lo, r.hi);
    redrawFormatParameters();
}

void MainWindow::chkMACchnActive_Callback() { config().MACchnActive = controlValue(p_, w_, "chkMACchnActive"); }

void MainWindow::chkDATAchnActive_Callback() {
    config().DATAchnActive = controlValue(p_, w_, "chkDATAchnActive");
    redrawFormatParameters();
}

void MainWindow::pdDATAsourceType_Callback() {
    const double v = controlValue(p_, w_, "pdDATAsourceType");
    if (v == 7) {
        // The pop-up shows the user file while the dialog is open; the
        // redraw below puts it back when the load is cancelled or fails.
        if (userData_) {
            auto [status, bits] = userData_(kUserDataBits);
            if (status > 0) {
                config().dataSourceBitstream = bits.isReal() ? bits.realData() : std::vector<double>{};
                config().DATAsourceType = 7;
            }
        }
    } else {
        config().DATAsourceType = v;
    }
    redrawFormatParameters();
}

void MainWindow::chkIdleSlotGainActive_Callback() {
    const double on = controlValue(p_, w_, "chkIdleSlotGainActive");
    config().IdleSlotGainActive = on;
    session().settings().values.RFblanking = 1 - on;
    redraw();
}

void MainWindow::txtIdleSlotGain_Callback() {
    const FieldRange& r = entryRange("IdleSlotGain");
    if (const auto list = entry("txtIdleSlotGain")) config().IdleSlotGain = clampFromBelow(*list, r.lo, r.hi);
    redrawFormatParameters();
}

void MainWindow::txtOversampling_Callback() {
    const FieldRange& r = entryRange("OverSampling");
    // Text that is no number keeps the stored ratio (and the rate that follows it).
    if (const auto list = entry("txtOversampling")) {
        const double n = clampFromBelow(truncateEach(*list), r.lo, r.hi);
        config().OverSampling = n;
        config().ProjectedLength = projectedLength(config());
        session().settings().values.SamplingRate = kChipRate * n;
    }
    redraw();
}

void MainWindow::pdFilterType_Callback() { config().FilterType = controlValue(p_, w_, "pdFilterType"); }

void MainWindow::chkPhaseEq_Callback() { config().PhaseEq = controlValue(p_, w_, "chkPhaseEq"); }

void MainWindow::chkMirrorSpectrum_Callback() { config().MirrorSpectrum = controlValue(p_, w_, "chkMirrorSpectrum"); }

void MainWindow::pbSlotSetup_Callback() {
    if (!slotSetup_) throw Error("The slot setup window is not available.");
    // The slot window edits the slot record as a value of its own.
    Value record = parametersToValue(config());
    auto [response, slot] = slotSetup_(record.field("slot"), config().Mode != 3);
    if (response == "OK") {
        record.setField("slot", std::move(slot));
        config() = parametersFromValue(record);
    }
}

// The frame length: a typed number becomes the nearest whole multiple of 16
// from 16 to 128 (a blank entry 16); text that is no number keeps the length.
void MainWindow::txtFrameSlots_Callback() {
    if (const auto list = entry("txtFrameSlots")) {
        // Clamped as the other entries are (the largest number of a list),
        // then to the nearest whole multiple of 16.
        const double typed = clampFromBelow(*list, kMinFrameSlots, kMaxFrameSlots);
        config().FrameSlots = std::round(typed / kMinFrameSlots) * kMinFrameSlots;
        config().ProjectedLength = projectedLength(config());
    }
    redraw();
}

void MainWindow::pbPacketSetup_Callback() {
    if (!packetSetup_) throw Error("The packet setup window is not available.");
    auto [response, packets] = packetSetup_(config().Packets, config().FrameSlots);
    if (response == "OK") config().Packets = std::move(packets);
    redrawFormatParameters();
}

}  // namespace tolvane::app
