#include "app/windows/main_window.hpp"

#include "app/number_entry.hpp"
#include "app/windows/app_globals.hpp"
#include "app/windows/framework.hpp"
#include "app/windows/sig_gen_panel.hpp"
#include "app/window_utils.hpp"
#include "base/diagnostics.hpp"
#include "onex/constants.hpp"
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

}  // namespace

MainWindow::MainWindow(Platform& platform, WindowId window) : p_(platform), w_(window) {}

void MainWindow::InitializeAppInfo() {
    Record r;
    r.set("Name", Value::text("1xEV Forward Link"));
    r.set("Platform", Value::text("c"));
    r.set("IsRelease", Value::scalar(1));
    r.set("Rev", Value::text("A.02.02.001"));
    r.set("Date", Value::text("23-Aug-2002"));
    r.set("CopyrightMsg", Value::text("Copyright (c) 2002-2026 Veltran. All rights reserved."));
    r.set("Notes", Value::text("Release Notes:"));
    r.set("NotesLine2", Value::text("1xEV Forward Link Signal Generation Applet for"));
    r.set("NotesLine3", Value::text("Veltran Z9104K series RF Signal Generators."));
    r.set("NotesLine4", Value::text("This applet supports all modulation parameters"));
    r.set("NotesLine5", Value::text("of the 1xEV Forward Link standard."));
    r.set("NotesLine6", Value::text(""));
    r.set("NotesLine7", Value::text("Website: https://www.veltran.example/z9104k"));
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
    setTooltip(p_, w_, "txtOffsetIndex", "Sets the Pilot Channel offset index.\n Valid Range: 0 to 511");
    setTooltip(p_, w_, "chkMACchnActive", "Enables/disables the MAC Channel.");
    setTooltip(p_, w_, "chkDATAchnActive", "Enables/disables the Traffic Channel.");
    setTooltip(p_, w_, "pdDATAsourceType", "Selects the source data for\nthe Traffic Channel.");
    setTooltip(p_, w_, "chkIdleSlotGainActive", "Enables/disables idle slot noise signal.");
    setTooltip(p_, w_, "txtIdleSlotGain",
               "Sets the power of the idle slot noise\nrelative to the pilot channel.\nValid Range: 0 to -80");
    setTooltip(p_, w_, "pbSlotSetup", "Configures each of the\n16 time slots.");
    setTooltip(p_, w_, "txtOversampling", "Sets the oversampling rate.\nValid Range: 2 to 30");
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
    } else {
        for (const char* tag : modeControls) setEnable(p_, w_, tag, false);
    }
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

    auto entry = [&](const char* tag) { return readNumberList(controlText(p_, w_, tag)); };
    auto checkBox = [&](const char* tag) { return controlValue(p_, w_, tag); };

    if (op == "pdMode_Callback") {
        config().Mode = controlValue(p_, w_, "pdMode");
        return redrawFormatParameters();
    }
    if (op == "txtOffsetIndex_Callback") {
        config().PilotOffsetIndex = clampFromBelow(truncateEach(entry("txtOffsetIndex")), 0, 511);
        return redrawFormatParameters();
    }
    if (op == "chkMACchnActive_Callback") {
        config().MACchnActive = checkBox("chkMACchnActive");
        return;
    }
    if (op == "chkDATAchnActive_Callback") {
        config().DATAchnActive = checkBox("chkDATAchnActive");
        return redrawFormatParameters();
    }
    if (op == "pdDATAsourceType_Callback") {
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
        return redrawFormatParameters();
    }
    if (op == "chkIdleSlotGainActive_Callback") {
        const double on = checkBox("chkIdleSlotGainActive");
        config().IdleSlotGainActive = on;
        session().settings().values.RFblanking = 1 - on;
        return redraw();
    }
    if (op == "txtIdleSlotGain_Callback") {
        config().IdleSlotGain = clampFromBelow(entry("txtIdleSlotGain"), -80, 0);
        return redrawFormatParameters();
    }
    if (op == "txtOversampling_Callback") {
        const double n = clampFromBelow(truncateEach(entry("txtOversampling")), 2, 30);
        config().OverSampling = n;
        config().ProjectedLength = static_cast<double>(kFrameChips) * n;
        session().settings().values.SamplingRate = kChipRate * n;
        return redraw();
    }
    if (op == "pdFilterType_Callback") {
        config().FilterType = controlValue(p_, w_, "pdFilterType");
        return;
    }
    if (op == "chkPhaseEq_Callback") {
        config().PhaseEq = checkBox("chkPhaseEq");
        return;
    }
    if (op == "chkMirrorSpectrum_Callback") {
        config().MirrorSpectrum = checkBox("chkMirrorSpectrum");
        return;
    }
    if (op == "pbSlotSetup_Callback") {
        if (!slotSetup_) throw Error("The slot setup window is not available.");
        // The slot window edits the slot record as a value of its own.
        Value record = parametersToValue(config());
        auto [response, slot] = slotSetup_(record.field("slot"));
        if (response == "OK") {
            record.setField("slot", std::move(slot));
            config() = parametersFromValue(record);
        }
        return;
    }
    throw Error(std::string(kModule) + " has no operation " + op + ".");
}

}  // namespace tolvane::app
