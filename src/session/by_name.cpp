#include "session/by_name.hpp"

#include "runtime/library.hpp"
#include "runtime/parameters_value.hpp"
#include "runtime/registry.hpp"
#include "session/analysis_value.hpp"
#include "session/session.hpp"

namespace tolvane {

namespace {

const char* const kModule = "OneX_Fwd_GUI_c";
// The lines of the local functions in their module, as run-time errors
// cite them.
constexpr int kInitializeParametersLine = 136;
constexpr int kInitializeSigGenSettingsLine = 160;
constexpr int kCalculateLine = 467;
constexpr int kPacketsLine = 520;

void bindViews(Globals& globals) {
    Session& s = processSession();
    globals.bindView("parameters", {[&s] { return s.parametersValue(); },
                                    [&s](Value v) { s.setParametersValue(std::move(v)); }});
    globals.bindView("SigGenSettings", {[&s] { return s.settingsValue(); },
                                        [&s](Value v) { s.setSettingsValue(std::move(v)); }});
    globals.bindView("configuration", {[&s] { return s.connectionValue(); },
                                       [&s](Value v) { s.setConnectionValue(std::move(v)); }});
    globals.bindView("waveform", {[&s] { return s.waveformValue(); },
                                  [&s](Value v) { s.setWaveformValue(std::move(v)); }});
    globals.bindView("markers", {[&s] { return s.markersValue(); },
                                 [&s](Value v) { s.setMarkersValue(std::move(v)); }});
}

}  // namespace

void registerSession(Library& lib) {
    bindViews(lib.globals());
    Registry& reg = lib.registry();
    registerAnalysisByName(reg);
    reg.addLocal(kModule, FunctionSpec{"InitializeParameters", 0, 0, {}, {}, kInitializeParametersLine,
                                       [](Call&) { processSession().resetConfig(); }});
    reg.addLocal(kModule, FunctionSpec{"InitializeSigGenSettings", 0, 0, {}, {}, kInitializeSigGenSettingsLine,
                                       [](Call&) { processSession().resetSettings(); }});
    reg.addLocal(kModule, FunctionSpec{"Calculate", 0, 0, {}, {}, kCalculateLine, [](Call&) {
                                           Session& s = processSession();
                                           if (!s.hasConfig())
                                               throw RuntimeError(
                                                   uninitialisedMessage("parameters", "OneX_Fwd_GUI_c/Calculate"));
                                           s.calculate();
                                       }});
    // The packets of the last calculated frame, a 1 x N cell of records
    // (startSlot, slots, drc, macIndex, payload, fcs).
    reg.addLocal(kModule, FunctionSpec{"Packets", 0, 1, {}, {"packets"}, kPacketsLine, [](Call& call) {
                                           call.setOut(0, framePacketsToValue(processSession().packets()));
                                       }});
}

void installSession() {
    static const bool installed = [] {
        library().addExtension(registerSession);
        return true;
    }();
    (void)installed;
}

}  // namespace tolvane
