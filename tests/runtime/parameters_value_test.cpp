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

TEST(ParametersRecord, FrameSlotsAndPackets) {
    FrameConfig config = defaultFrameConfig();
    Value v = parametersToValue(config);
    EXPECT_EQ(v.field("FrameSlots"), Value::scalar(16));
    EXPECT_TRUE(v.field("Packets").isEmpty());

    // A record of the earlier format, without the two fields, reads as 16
    // slots and no packets; the other fields as before.
    Value older = v;
    older.rec().remove("FrameSlots");
    older.rec().remove("Packets");
    config.FrameSlots = 48;
    config.Packets = {{4, 3, 8}};
    const FrameConfig read = parametersFromValue(older);
    EXPECT_EQ(read.FrameSlots, 16);
    EXPECT_TRUE(read.Packets.empty());
    EXPECT_EQ(parametersToValue(read), v);

    // N x 3, row by row; any empty matrix is no packets.
    config.Packets = {{1, 7, 17}, {2, 12, 9}};
    v = parametersToValue(config);
    EXPECT_EQ(v.field("Packets"), Value::matrix(2, 3, {1, 2, 7, 12, 17, 9}));
    const FrameConfig back = parametersFromValue(v);
    ASSERT_EQ(back.Packets.size(), 2u);
    EXPECT_EQ(back.Packets[1].startSlot, 2);
    EXPECT_EQ(back.Packets[1].drc, 12);
    EXPECT_EQ(back.Packets[1].macIndex, 9);
    EXPECT_EQ(back.FrameSlots, 48);
    v.field("Packets") = Value::zeros(0, 3);
    EXPECT_TRUE(parametersFromValue(v).Packets.empty());

    const auto readError = [&](Value packets) {
        Value r = parametersToValue(defaultFrameConfig());
        r.field("Packets") = std::move(packets);
        try {
            parametersFromValue(r);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("(accepted)");
    };
    EXPECT_EQ(readError(Value::matrix(1, 2, {1, 2})),
              "parameters.Packets must be an N x 3 matrix (first slot, DRC, MAC index per row), not 1 x 2.");
    EXPECT_EQ(readError(Value::text("1 2 3")), "parameters.Packets must be an N x 3 matrix of packets, not char.");
    EXPECT_EQ(readError(Value::zeros(129, 3)),
              "parameters.Packets holds 129 rows; at most 128 packets fit in a frame.");

    // The stored ranges: a frame length of whole multiples of 16, packets
    // that fit it.
    FrameConfig c = defaultFrameConfig();
    c.FrameSlots = 40;
    EXPECT_THROW(checkParameterRanges(c), Error);
    c.FrameSlots = 64;
    c.Packets = {{1, 12, 5}, {2, 12, 5}, {53, 1, 5}};
    EXPECT_NO_THROW(checkParameterRanges(c));  // Mode 1 does not send them
    c.Packets[1].drc = 13;
    EXPECT_THROW(checkParameterRanges(c), Error);  // but every row is a packet
    c.Packets[1].drc = 12;
    c.Mode = 3;
    try {
        checkParameterRanges(c);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Packets row 3 (DRC 1 from slot 53) needs slots up to 113; the frame has 64.");
    }
    c.Packets.pop_back();
    EXPECT_NO_THROW(checkParameterRanges(c));
}

TEST(ParameterSettings, FrameSlotsAndPacketsFromTheCommandLine) {
    FrameConfig c = defaultFrameConfig();
    setParameterField(c, "OverSampling", Value::scalar(30));
    // The packets first: the table is checked against the frame length only
    // when the configuration is used.
    setParameterField(c, "Packets", parseMatrixLiteral("[1 7 17; 2 12 9; 33 1 3]"));
    setParameterField(c, "Mode", Value::scalar(3));
    setParameterField(c, "FrameSlots", Value::scalar(128));
    EXPECT_EQ(c.FrameSlots, 128);
    EXPECT_EQ(c.ProjectedLength, 128.0 * 2048 * 30);
    EXPECT_EQ(c.ProjectedLength, projectedLength(c));
    ASSERT_EQ(c.Packets.size(), 3u);
    EXPECT_EQ(c.Packets[2].startSlot, 33);
    EXPECT_EQ(c.Packets[2].macIndex, 3);
    EXPECT_NO_THROW(checkParameterRanges(c));
    setParameterField(c, "Packets", parseMatrixLiteral("[]"));
    EXPECT_TRUE(c.Packets.empty());

    struct Case {
        const char* name;
        const char* value;
        const char* expect;
    } cases[] = {
        {"FrameSlots", "24", "\"FrameSlots\" value 24 is outside the allowed range (whole multiples of 16 from 16 to 128)."},
        {"FrameSlots", "144", "whole multiples of 16 from 16 to 128"},
        {"FrameSlots", "0", "whole multiples of 16 from 16 to 128"},
        {"Mode", "4", "whole numbers 1 to 3"},
        {"Packets", "[1 2]", "\"Packets\" must be N x 3 rows of first slot"},
        {"Packets", "[1 12 5; 2 13 5]", "Packets row 2: DRC 13 is not a data rate (whole numbers 1 to 12)."},
        {"Packets", "[1 2 3]", "Packets row 1: MAC index 3 (control channel, 38.4 kbit/s) goes with DRC 1, not DRC 2."},
        {"Packets", "[0 12 5]", "Packets row 1: first slot 0 is not a slot (whole numbers 1 to 128)."},
    };
    for (const auto& k : cases) {
        FrameConfig config = defaultFrameConfig();
        try {
            setParameterField(config, k.name, parseMatrixLiteral(k.value));
            ADD_FAILURE() << k.name << "=" << k.value << " accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(k.expect), std::string::npos) << e.what();
        }
        EXPECT_EQ(parametersToValue(config), parametersToValue(defaultFrameConfig()));
    }
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
