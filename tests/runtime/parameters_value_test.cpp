// The `parameters` record as a value, and field settings from the command line.
#include <gtest/gtest.h>

#include "base/diagnostics.hpp"
#include "onex/frame_config.hpp"
#include "runtime/matrix_literal.hpp"
#include "runtime/parameters_value.hpp"

namespace tolvane {
namespace {

TEST(ParametersRecord, DefaultsAndRoundTrip) {
    FrameConfig config = defaultFrameConfig();
    config.slot.RPCslotGain[2][40] = 7.5;  // one distinct entry shows the orientation
    config.dataSourceBitstream = {1, 0, 1};
    const Value v = parametersToValue(config);

    const auto& fields = v.rec().fields();
    ASSERT_EQ(fields.front().first, "ParameterFileFormat_ID");
    EXPECT_EQ(fields.front().second, Value::text("OneX-Fwd - Format 1.2"));
    EXPECT_EQ(v.field("ProjectedLength"), Value::scalar(163840));
    EXPECT_EQ(v.field("DATAsourceType"), Value::scalar(6));
    const Value& gain = v.field("slot").field("RPCslotGain");
    ASSERT_EQ(gain.rows(), 16u);
    ASSERT_EQ(gain.cols(), 59u);
    EXPECT_EQ(gain.realAt(40 * 16 + 2), 7.5);  // row 3, column 41
    const Value& active = v.field("slot").field("RPCslotActive");
    EXPECT_EQ(active.realAt(0), 1.0);   // column 1 on
    EXPECT_EQ(active.realAt(16), 0.0);  // column 2 off
    EXPECT_EQ(v.field("slot").field("RAslotGain"), Value::column(std::vector<double>(16, -3)));

    const FrameConfig back = parametersFromValue(v);
    EXPECT_EQ(parametersToValue(back), v);
}

TEST(ParametersRecord, MissingOrMisshapenFieldsAreNamed) {
    Value v = parametersToValue(defaultFrameConfig());
    v.field("slot").rec().remove("RAslotGain");
    try {
        parametersFromValue(v);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "parameters.slot.RAslotGain is missing.");
    }
    v = parametersToValue(defaultFrameConfig());
    v.field("slot").field("RPCslotValue") = Value::zeros(59, 16);
    EXPECT_THROW(parametersFromValue(v), Error);
}

TEST(ParameterSettings, ScalarsFillMatricesAndDerivedFieldsFollow) {
    FrameConfig c = defaultFrameConfig();
    setParameterField(c, "OverSampling", Value::scalar(30));
    EXPECT_EQ(c.ProjectedLength, 32768.0 * 30);
    setParameterField(c, "slot.RPCslotGain", Value::scalar(-12.5));
    EXPECT_EQ(c.slot.RPCslotGain[15][58], -12.5);
    setParameterField(c, "slot.DATAslotMod", parseMatrixLiteral("[3 3 2 2 1 1 1 1 1 1 1 1 1 1 1 2]"));
    EXPECT_EQ(c.slot.DATAslotMod[0], 3);
    EXPECT_EQ(c.slot.DATAslotMod[15], 2);
    // A full 16 x 59 matrix keeps its orientation: row = slot.
    std::string rows = "[";
    for (int s = 0; s < 16; ++s) {
        for (int ch = 0; ch < 59; ++ch) rows += (s == 4 && ch == 7) ? "1 " : "0 ";
        rows += s < 15 ? ";" : "]";
    }
    setParameterField(c, "slot.RPCslotActive", parseMatrixLiteral(rows));
    EXPECT_EQ(c.slot.RPCslotActive[4][7], 1);
    EXPECT_EQ(c.slot.RPCslotActive[7][4], 0);
}

TEST(ParameterSettings, RejectionsNameTheFieldAndRange) {
    struct Case {
        const char* name;
        const char* value;
        const char* expect;
    } cases[] = {
        {"Nonsense", "1", "\"Nonsense\" is not a field"},
        {"ProjectedLength", "5", "\"ProjectedLength\" is not a field"},
        {"OverSampling", "31", "whole numbers 2 to 30"},
        {"OverSampling", "4.5", "whole numbers 2 to 30"},
        {"IdleSlotGain", "-81", "numbers -80 to 0"},
        {"PilotOffsetIndex", "512", "whole numbers 0 to 511"},
        {"slot.DATAslotMod", "[1 2 3]", "a scalar or 16 x 1 values"},
        {"slot.RAslotGain", "31", "numbers -30 to 30"},
        {"slot.RPCslotGain", "[1 2; 3 4]", "16 x 59"},
        {"MACchnActive", "2", "whole numbers 0 to 1"},
    };
    for (const auto& c : cases) {
        FrameConfig config = defaultFrameConfig();
        const FrameConfig before = config;
        try {
            setParameterField(config, c.name, parseMatrixLiteral(c.value));
            ADD_FAILURE() << c.name << "=" << c.value << " accepted";
        } catch (const Error& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(c.expect), std::string::npos) << text;
            EXPECT_NE(text.find(c.name), std::string::npos) << text;
        }
        EXPECT_EQ(parametersToValue(config), parametersToValue(before)) << "a rejected setting changed the record";
    }
}

}  // namespace
}  // namespace tolvane
