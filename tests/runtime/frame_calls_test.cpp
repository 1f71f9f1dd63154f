// The frame builder and the calculate step reached by name, as the windows
// and the command line reach them.
#include <gtest/gtest.h>

#include "numerics/noise.hpp"
#include "runtime/library.hpp"
#include "onex/frame_builder.hpp"
#include "runtime/parameters_value.hpp"
#include "session/by_name.hpp"

namespace tolvane {
namespace {

std::string errorOf(const std::string& name, int nargout, std::vector<Value> inputs) {
    try {
        callByName(name, nargout, std::move(inputs));
    } catch (const RuntimeError& e) {
        return e.what();
    }
    return "no error";
}

// The eighteen inputs the calculate step passes for a configuration.
std::vector<Value> frameArgs(const FrameConfig& c) {
    const Value p = parametersToValue(c);
    const Value& s = p.field("slot");
    const auto scaled = [](double k, const Value& v) {
        Value out = v;
        for (double& x : out.realData()) x *= k;
        return out;
    };
    std::vector<double> bits(static_cast<std::size_t>(requiredDataBits(c)), 0.0);
    return {p.field("Mode"),
            p.field("PilotOffsetIndex"),
            scaled(c.DATAchnActive, s.field("DATAslotActive")),
            s.field("DATAslotMod"),
            Value::row(bits),
            scaled(c.MACchnActive, s.field("RAslotActive")),
            s.field("RAslotValue"),
            s.field("RAslotGain"),
            scaled(c.MACchnActive, s.field("RPCslotActiveChn")),
            s.field("RPCslotActive"),
            s.field("RPCslotValue"),
            s.field("RPCslotGain"),
            Value::scalar(0),  // idle noise off: deterministic
            p.field("IdleSlotGain"),
            Value::scalar(2),
            p.field("FilterType"),
            p.field("PhaseEq"),
            p.field("MirrorSpectrum")};
}

TEST(FrameByName, CountMessagesAndZeroOutputs) {
    std::vector<Value> args = frameArgs(defaultFrameConfig());
    std::vector<Value> tooMany = args;
    tooMany.push_back(Value::scalar(0));
    EXPECT_EQ(errorOf("OneX_FwdChnFrame", 1, tooMany),
              "Run-time Error: File: OneX_FwdChnFrame Line: 1 Column: 1 The function \"OneX_FwdChnFrame\" was called "
              "with more than the declared number of inputs (18).");
    EXPECT_EQ(errorOf("OneX_FwdChnFrame", 3, args),
              "Run-time Error: File: OneX_FwdChnFrame Line: 1 Column: 1 The function \"OneX_FwdChnFrame\" was called "
              "with more than the declared number of outputs (2).");

    const auto out = callByName("OneX_FwdChnFrame", 0, args);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].numel(), 65536u);
    const auto both = callByName("OneX_FwdChnFrame", 2, args);
    EXPECT_EQ(both[1].rows(), 2u);
    EXPECT_EQ(both[1].cols(), 65536u);
    EXPECT_EQ(both[0], out[0]);
}

// Built by name with filter 4 (or its text) while the global record says
// 3, the frame is equalised with the stored response of filter 4, the
// filter it used.
TEST(FrameByName, EqualiserFollowsTheFilterInputNotTheGlobal) {
    installSession();
    library().initialize();
    FrameConfig config = defaultFrameConfig();
    library().globals().set("parameters", parametersToValue(config));  // FilterType 3
    std::vector<Value> args = frameArgs(config);

    config.FilterType = 4;
    config.IdleSlotGainActive = 0;
    config.OverSampling = 2;
    const FrameResult typed = fwdChnFrame(frameInputs(config, std::vector<double>(requiredDataBits(config), 0.0)));
    for (const Value& filter : {Value::scalar(4), Value::text("IS95-EVM")}) {
        args[15] = filter;
        EXPECT_EQ(callByName("OneX_FwdChnFrame", 1, args)[0], Value::complexRow(typed.waveform));
    }
}

// The call by name has no packet table: Mode 3 (like any mode but 1) is the
// unmodulated frame, as Mode 2.
TEST(FrameByName, ModesOtherThanOneAreUnmodulated) {
    FrameConfig config = defaultFrameConfig();
    config.MACchnActive = 1;
    std::vector<Value> args = frameArgs(config);
    args[15] = Value::scalar(1);  // sample-and-hold filter, equaliser off: chips repeated
    args[16] = Value::scalar(0);
    args[0] = Value::scalar(2);
    const Value two = callByName("OneX_FwdChnFrame", 1, args)[0];
    args[0] = Value::scalar(3);
    EXPECT_EQ(callByName("OneX_FwdChnFrame", 1, args)[0], two);
}

TEST(FrameByName, InputsAreNamedInErrors) {
    std::vector<Value> args = frameArgs(defaultFrameConfig());
    args[7] = Value::row({1, 2, 3});
    EXPECT_NE(errorOf("OneX_FwdChnFrame", 1, args).find("\"RAgain\""), std::string::npos);
    args = frameArgs(defaultFrameConfig());
    args.resize(4);  // DATAbits and everything after absent
    EXPECT_NE(errorOf("OneX_FwdChnFrame", 1, args).find("\"RAactive\""), std::string::npos);
}

TEST(CalculateStep, InitializeThenCalculateFillsTheGlobals) {
    Library& lib = library();
    installSession();
    lib.initialize();
    lib.globals().set("parameters", Value());
    EXPECT_NE(errorOf("OneX_Fwd_GUI_c/Calculate", 0, {}).find("\"parameters\""), std::string::npos);
    EXPECT_EQ(errorOf("OneX_Fwd_GUI_c/Calculate", 0, {Value::scalar(1)}),
              "Run-time Error: File: OneX_Fwd_GUI_c/Calculate Line: 467 Column: 1 The function "
              "\"OneX_Fwd_GUI_c/Calculate\" was called with more than the declared number of inputs (0).");
    EXPECT_EQ(errorOf("OneX_Fwd_GUI_c/InitializeParameters", 1, {}),
              "Run-time Error: File: OneX_Fwd_GUI_c/InitializeParameters Line: 136 Column: 1 The function "
              "\"OneX_Fwd_GUI_c/InitializeParameters\" was called with more than the declared number of outputs (0).");

    callByName("OneX_Fwd_GUI_c/InitializeParameters", 0, {});
    callByName("OneX_Fwd_GUI_c/InitializeSigGenSettings", 0, {});
    EXPECT_EQ(lib.globals().get("SigGenSettings").field("SamplingRate"), Value::scalar(6144000));
    seedNoise(11);
    callByName("OneX_Fwd_GUI_c/Calculate", 0, {});
    EXPECT_EQ(lib.globals().get("waveform").numel(), 163840u);
    EXPECT_TRUE(lib.globals().get("waveform").isComplex());
    EXPECT_EQ(lib.globals().get("markers").rows(), 2u);
}

}  // namespace
}  // namespace tolvane
