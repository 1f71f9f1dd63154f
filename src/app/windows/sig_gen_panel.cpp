#include "app/windows/sig_gen_panel.hpp"

#include <cctype>
#include <cmath>

#include "app/number_entry.hpp"
#include "app/windows/advanced_settings.hpp"
#include "app/windows/app_globals.hpp"
#include "app/windows/generator_entry.hpp"
#include "app/window_utils.hpp"
#include "instrument/jobs.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

constexpr double kMinFrequency = 100000;       // Hz
constexpr double kMaxFrequency = 44000000000;  // Hz
constexpr double kMinAmplitude = -136;         // dBm
constexpr double kMaxAmplitude = 20;           // dBm

}  // namespace

std::string instrumentTitle(const std::string& typed) {
    std::string out;
    for (char c : typed) {
        const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const bool allowed = (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '$' ||
                             u == '&' || u == '#' || u == '+' || u == '-' || u == '[' || u == ']';
        if (allowed) out += u;
        if (out.size() == 20) break;
    }
    return out.empty() ? "BLANK" : out;
}

SigGenPanel::SigGenPanel(Platform& platform, WindowId mainWindow, AdvancedSettingsWindow& advanced)
    : p_(platform), w_(mainWindow), advanced_(advanced) {}

bool SigGenPanel::ownsControl(const std::string& tag) {
    return tag == "txtFrequency" || tag == "pdFrequencyUnits" || tag == "txtAmplitude" ||
           tag == "txtWaveformTitle" || tag == "pbAdvancedSettings";
}

void SigGenPanel::dispatch(const std::string& op) {
    if (op == "InitializeSigGenScreenObjects") return InitializeSigGenScreenObjects();
    if (op == "redrawSigGenSettings") return redrawSigGenSettings();
    if (op == "updateFrequency") return updateFrequency();
    if (const auto tag = callbackTag(op))
        if (runCallback(*tag)) return;
    throw Error("KLTconfig_c has no operation " + op + ".");
}

void SigGenPanel::dispatch(const CallbackEvent& event) {
    if (!runCallback(event.tag)) throw Error("KLTconfig_c has no operation " + event.operation + ".");
}

bool SigGenPanel::runCallback(const std::string& tag) {
    using Callback = void (SigGenPanel::*)();
    static const std::pair<std::string_view, Callback> controls[] = {
        {"txtFrequency", &SigGenPanel::updateFrequency},
        {"pdFrequencyUnits", &SigGenPanel::updateFrequency},
        {"txtAmplitude", &SigGenPanel::txtAmplitude_Callback},
        {"txtWaveformTitle", &SigGenPanel::txtWaveformTitle_Callback},
        {"pbAdvancedSettings", &SigGenPanel::pbAdvancedSettings_Callback},
    };
    const Callback* f = findByTag(controls, tag);
    if (!f) return false;
    (this->*(*f))();
    return true;
}

void SigGenPanel::InitializeSigGenScreenObjects() {
    setTooltip(p_, w_, "txtFrequency",
               "Sets the carrier frequency.\nValid Range: 100 kHz - 6 GHz\n(Note: KLT option determines the\n"
               "maximum frequency.)");
    setTooltip(p_, w_, "txtAmplitude",
               "Sets the output power.\nValid Range: -136 dBm to +20 dBm\n(Note: KLT option determines the\n"
               "maximum amplitude.)");
    setTooltip(p_, w_, "txtWaveformTitle", "Enter the title used to store the \nwaveform in the KLT.");
    setTooltip(p_, w_, "pbAdvancedSettings", "Configures advanced Signal Generator options.");
}

void SigGenPanel::redrawSigGenSettings() {
    const SigGenSettings& s = session().settings().values;
    const UnitChoice f = chooseUnit(s.Frequency, 4);
    setValue(p_, w_, "pdFrequencyUnits", f.entry);
    setText(p_, w_, "txtFrequency", decimalText(f.shown));
    setText(p_, w_, "txtWaveformTitle", s.Title);
    setText(p_, w_, "txtAmplitude", decimalText(s.Amplitude));
}

void SigGenPanel::updateFrequency() {
    SigGenSettings& s = session().settings().values;
    const double unit = unitFactor(controlValue(p_, w_, "pdFrequencyUnits"), 4);
    const auto list = scaleEach(readNumberList(controlText(p_, w_, "txtFrequency")), unit);
    if (!list.empty()) s.Frequency = clampFromAbove(list, kMinFrequency, kMaxFrequency);
    redrawSigGenSettings();
}

void SigGenPanel::txtAmplitude_Callback() {
    SigGenSettings& s = session().settings().values;
    const auto list = roundEach(readNumberList(controlText(p_, w_, "txtAmplitude")));
    if (!list.empty()) s.Amplitude = clampFromAbove(list, kMinAmplitude, kMaxAmplitude);
    setText(p_, w_, "txtAmplitude", decimalText(s.Amplitude));
}

void SigGenPanel::txtWaveformTitle_Callback() {
    session().settings().values.Title = instrumentTitle(controlText(p_, w_, "txtWaveformTitle"));
    redrawSigGenSettings();
}

void SigGenPanel::pbAdvancedSettings_Callback() {
    // The advanced window edits the settings as a record of its own.
    const auto [answer, settings] = advanced_.open(session().settingsValue());
    if (answer == "OK") session().setSettingsValue(settings);
    redrawSigGenSettings();
}

}  // namespace tolvane::app
