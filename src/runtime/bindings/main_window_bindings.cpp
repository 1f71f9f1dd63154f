// The main window's local functions that need no window: the record
// defaults and the calculate step, which read and write the window globals
// `parameters`, `SigGenSettings`, `waveform` and `markers`. Scripted use and
// the command line reach them by name.
//
// These pieces belong to the application layer (the main window's module
// with its local functions and their line numbers); they are kept together
// here, the one place in the runtime that knows them, until that layer
// exists and takes them over.
#include "onex/frame_config.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/library.hpp"
#include "runtime/parameters_value.hpp"

namespace tolvane {

namespace {

const char* const kModule = "OneX_Fwd_GUI_c";
// Lines of the local functions in their module, as run-time errors cite them.
constexpr int kInitializeParametersLine = 136;
constexpr int kInitializeSigGenSettingsLine = 160;
constexpr int kCalculateLine = 467;

Value& global(const char* name) { return library().globals().at(name); }

const Value& readGlobal(const char* name, const char* function) {
    const Value& v = global(name);
    if (!v.isSet()) throw RuntimeError(uninitialisedMessage(name, function));
    return v;
}

// The configuration in the global record, read and range-checked: a record
// set by name may hold anything, and nothing out of range may reach the
// chain (an oversampling of 1e9, a gain of 1e300 dB).
FrameConfig checkedParameters(const Value& record) {
    FrameConfig config = parametersFromValue(record);
    checkParameterRanges(config);
    return config;
}

}  // namespace

void registerMainWindow(Registry& reg) {
    reg.addLocal(kModule, FunctionSpec{"InitializeParameters", 0, 0, {}, {}, kInitializeParametersLine, [](Call&) {
                                           global("parameters") = parametersToValue(defaultFrameConfig());
                                       }});
    reg.addLocal(kModule,
                 FunctionSpec{"InitializeSigGenSettings", 0, 0, {}, {}, kInitializeSigGenSettingsLine, [](Call&) {
                                  const Value& p = global("parameters");
                                  const FrameConfig config = p.isSet() ? checkedParameters(p) : defaultFrameConfig();
                                  global("SigGenSettings") = defaultSigGenSettings(config);
                              }});
    reg.addLocal(kModule, FunctionSpec{"Calculate", 0, 0, {}, {}, kCalculateLine, [](Call&) {
                                           const FrameConfig config = checkedParameters(
                                               readGlobal("parameters", "OneX_Fwd_GUI_c/Calculate"));
                                           FrameResult r = calculateFrame(config);
                                           global("markers") = markersToValue(r);
                                           global("waveform") = Value::complexRow(std::move(r.waveform));
                                       }});
}

}  // namespace tolvane
