// The RPC setup window as a user meets it: the labels while scrolling, the
// entries and their clamps, the FastEdit patterns, Normalize with its
// answers, and OK / Cancel.
#include <gtest/gtest.h>

#include <cmath>

#include "setup_windows_harness.hpp"

namespace tolvane::app {
namespace {

using test::linesInOrder;
using test::ScriptCase;
using test::SetupWindows;

// 59 numbers as the stand-in main window prints them, channel 1 first.
std::string channels(double (*f)(int)) {
    std::vector<double> v;
    for (int k = 1; k <= 59; ++k) v.push_back(f(k));
    return test::joinNumbers(v);
}

std::string allOf(double value) { return test::joinNumbers(std::vector<double>(59, value)); }

class RpcScript : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(RpcScript, ShowsWhatTheUserExpects) {
    SetupWindows w;
    const auto transcript = w.run(GetParam().script);
    EXPECT_TRUE(linesInOrder(transcript, GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RpcScript,
    ::testing::Values(
        ScriptCase{"labels_at_the_top_and_scrolled_to_the_end",
                   "press pbRpcSetup\nshow sldrScrollbar Value\n"
                   "show txtRPCchn1 String\nshow txtMACindex1 String\n"
                   "show txtRPCchn16 String\nshow txtMACindex16 String\nslide sldrScrollbar 0\n"
                   "show txtRPCchn1 String\nshow txtMACindex1 String\n"
                   "show txtRPCchn16 String\nshow txtMACindex16 String\npress pbCancel\n",
                   {"window opened \"RPC Setup: Slot #5\"", "show sldrScrollbar Value: 43",
                    "show txtRPCchn1 String: 0", "show txtMACindex1 String: 5", "show txtRPCchn16 String: 15",
                    "show txtMACindex16 String: 20", "show txtRPCchn1 String: 43", "show txtMACindex1 String: 48",
                    "show txtRPCchn16 String: 58", "show txtMACindex16 String: 63", "console: rpc setup Cancel"}},
        ScriptCase{"off_channels_cannot_be_edited",
                   "press pbRpcSetup\nshow txtRPCchnValue1 Enable\ntype txtRPCchnGain1 5\n"
                   "check chkRPCchnActive1 1\nshow txtRPCchnGain1 Enable\npress pbOK\n",
                   {"show txtRPCchnValue1 Enable: off", "show txtRPCchnGain1 Enable: on",
                    "console: Active: " + channels([](int k) { return k == 1 ? 1.0 : 0.0; }),
                    "console: Gain: " + allOf(0)}},
        ScriptCase{"bit_entries_are_rounded_and_clamped",
                   "press pbRpcSetup\nselect pldRPCactive 1\n"
                   "type txtRPCchnValue1 0.6\ntype txtRPCchnValue2 0.4\ntype txtRPCchnValue3 -7\n"
                   "type txtRPCchnValue4 one\ntype txtRPCchnValue5 \nshow txtRPCchnValue4 String\npress pbOK\n",
                   {"show txtRPCchnValue4 String: 0", "console: rpc setup OK",
                    "console: Value: " + channels([](int k) { return k == 1 || k == 5 ? 1.0 : 0.0; })}},
        ScriptCase{"gain_entries_are_rounded_and_clamped",
                   "press pbRpcSetup\nselect pldRPCactive 1\n"
                   "type txtRPCchnGain1 -40\ntype txtRPCchnGain2 12.5\ntype txtRPCchnGain3 loud\n"
                   "type txtRPCchnGain4 3;-31\nshow txtRPCchnGain2 String\npress pbOK\n",
                   {"show txtRPCchnGain2 String: 13",
                    "console: Gain: " + channels([](int k) {
                        const double g[] = {-30, 13, 0, -30};  // "loud" keeps the stored 0
                        return k <= 4 ? g[k - 1] : 0.0;
                    })}},
        ScriptCase{"rows_edit_the_channel_they_show",
                   "press pbRpcSetup\nselect pldRPCactive 1\nslide sldrScrollbar 33\nshow txtRPCchn1 String\n"
                   "type txtRPCchnGain1 5\ncheck chkRPCchnActive16 0\npress pbOK\n",
                   {"show txtRPCchn1 String: 10",
                    "console: Active: " + channels([](int k) { return k == 26 ? 0.0 : 1.0; }),
                    "console: Gain: " + channels([](int k) { return k == 11 ? 5.0 : 0.0; })}},
        ScriptCase{"scroll_position_stays_for_the_next_opening",
                   "press pbRpcSetup\nslide sldrScrollbar 20\npress pbOK\n"
                   "press pbRpcSetup\nshow txtRPCchn1 String\nshow sldrScrollbar Value\npress pbCancel\n",
                   {"show txtRPCchn1 String: 23", "show sldrScrollbar Value: 20"}},
        ScriptCase{"fastedit_patterns",
                   "press pbRpcSetup\nselect pldRPCactive 2\nselect pldRPCvalue 3\nselect pldRPCgain 4\npress pbOK\n"
                   "press pbRpcSetup\nselect pldRPCactive 4\nselect pldRPCvalue 4\nselect pldRPCgain 1\npress pbOK\n",
                   {"console: Active: " + channels([](int k) { return k % 4 ? 1.0 : 0.0; }),
                    "console: Value: " + channels([](int k) { return k % 2 ? 0.0 : 1.0; }),
                    "console: Gain: " + allOf(-6),
                    "console: Active: " + channels([](int k) { return k % 4 ? 0.0 : 1.0; }),
                    "console: Value: " + channels([](int k) { return k % 2 ? 1.0 : 0.0; }),
                    "console: Gain: " + allOf(3)}},
        ScriptCase{"fastedit_all_off_and_odd_on",
                   "press pbRpcSetup\nselect pldRPCactive 3\nselect pldRPCvalue 2\nselect pldRPCgain 5\npress pbOK\n"
                   "press pbRpcSetup\nselect pldRPCactive 5\nselect pldRPCvalue 1\nselect pldRPCgain 2\npress pbOK\n",
                   {"console: Active: " + channels([](int k) { return k % 2 ? 1.0 : 0.0; }),
                    "console: Value: " + allOf(1), "console: Gain: " + allOf(-10), "console: Active: " + allOf(0),
                    "console: Value: " + allOf(0), "console: Gain: " + allOf(0)}},
        ScriptCase{"cancel_and_close_keep_the_previous_record",
                   "press pbRpcSetup\nselect pldRPCactive 1\npress pbCancel\n"
                   "press pbRpcSetup\nselect pldRPCgain 1\nclose\n",
                   {"console: rpc setup Cancel", "console: Active: " + allOf(0), "console: rpc setup Cancel",
                    "console: Gain: " + allOf(0)}},
        ScriptCase{"tooltips",
                   "press pbRpcSetup\nshow chkRPCchnActive4 TooltipString\nshow txtRPCchnGain16 TooltipString\n"
                   "show pldRPCgain TooltipString\npress pbCancel\n",
                   {"show chkRPCchnActive4 TooltipString: Enables / Disables this\\nRPC Channel for the slot",
                    "show txtRPCchnGain16 TooltipString: Sets the gain of the\\nRPC channel for this slot\\nrelative "
                    "to the Pilot Channel Power.\\nValid Range: -30dB to +30dB",
                    "show pldRPCgain TooltipString: FastEdit\\nAdjusts all gains\\nof all RPC channels\\n(Note: Use "
                    "Normalize to\\nset the total power of\\nall RPC Channels"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Normalize: the channel record before, the answer typed, what follows.
struct NormalizeCase {
    const char* name;
    std::vector<int> active;  // channels on
    std::vector<std::pair<int, double>> gains;
    const char* answer;
    std::vector<std::string> lines;
    double (*gain)(int);  // expected gain of channel k afterwards
};
void PrintTo(const NormalizeCase& c, std::ostream* os) { *os << c.name; }


class Normalize : public ::testing::TestWithParam<NormalizeCase> {};

const char* const kPrompt =
    "dialog input \"Normalizing RPC Chn Power\": Enter value (in dB) to Normalize to (-30db to + 30db) [OK|Cancel]";
const char* const kRefused =
    "dialog error \"Invaild User Input\": Only numercial values between -30 and +30 are accepted [OK]";

TEST_P(Normalize, SetsTheTotalLevel) {
    const NormalizeCase& c = GetParam();
    SetupWindows w;
    for (int k : c.active) w.chnRecord.field("Active").realData()[k - 1] = 1;
    for (auto [k, g] : c.gains) w.chnRecord.field("Gain").realData()[k - 1] = g;
    const auto transcript = w.run(std::string("press pbRpcSetup\nanswer ") + c.answer +
                                  "\nselect pldRPCgain 7\nshow txtRPCchnGain1 String\npress pbOK\n");
    EXPECT_TRUE(linesInOrder(transcript, c.lines));
    for (int k = 1; k <= 59; ++k) EXPECT_NEAR(w.chnRecord.field("Gain").realAt(k - 1), c.gain(k), 1e-12) << k;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Normalize,
    ::testing::Values(
        NormalizeCase{"one_channel_to_0_db", {1}, {{1, -3}}, "0",
                      {kPrompt, "show txtRPCchnGain1 String: 0"},
                      [](int k) { return k == 1 ? 0.0 : 3.0; }},
        NormalizeCase{"two_channels_at_0_db", {1, 2}, {}, "0",
                      {kPrompt, "show txtRPCchnGain1 String: -6.0206"},
                      [](int) { return -20 * std::log10(2.0); }},
        NormalizeCase{"level_above_30_is_30", {1, 2}, {}, "45",
                      {kPrompt, "show txtRPCchnGain1 String: 23.9794"},
                      [](int) { return 30 - 20 * std::log10(2.0); }},
        NormalizeCase{"level_below_minus_30_is_minus_30", {5}, {{5, 2}}, "-99",
                      {kPrompt}, [](int k) { return k == 5 ? -30.0 : -32.0; }},
        NormalizeCase{"all_channels_off_changes_nothing", {}, {{3, -4}}, "0",
                      {kPrompt, "show txtRPCchnGain1 String: 0"},
                      [](int k) { return k == 3 ? -4.0 : 0.0; }},
        NormalizeCase{"a_word_is_refused", {1}, {{1, -3}}, "zero",
                      {kPrompt, kRefused}, [](int k) { return k == 1 ? -3.0 : 0.0; }},
        NormalizeCase{"an_empty_answer_is_refused", {1}, {{1, -3}}, "",
                      {kPrompt, kRefused}, [](int k) { return k == 1 ? -3.0 : 0.0; }},
        NormalizeCase{"several_numbers_are_refused", {1}, {{1, -3}}, "1 2",
                      {kPrompt, kRefused}, [](int k) { return k == 1 ? -3.0 : 0.0; }},
        NormalizeCase{"cancel_changes_nothing", {1}, {{1, -3}}, "Cancel",
                      {kPrompt, "show txtRPCchnGain1 String: -3"},
                      [](int k) { return k == 1 ? -3.0 : 0.0; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RpcSetup, TheScrollIndexStaysWithinTheChannels) {
    SetupWindows w;
    const WindowId rpc = w.rpc.window();
    w.platform.set(rpc, "figRPCsetup", "Visible", Value::text("on"));
    const std::pair<double, int> cases[] = {{43, 0}, {0, 43}, {100, 0}, {-5, 43}, {30.4, 13}, {30.6, 12}};
    for (const auto& [value, index] : cases) {
        w.platform.set(rpc, "sldrScrollbar", "Value", Value::scalar(value));
        w.platform.activate(rpc, "sldrScrollbar");
        EXPECT_EQ(w.rpc.scrollIndex(), index) << value;
    }
    EXPECT_EQ(w.platform.get(rpc, "txtMACindex16", "String"), Value::text("32"));
}

TEST(RpcSetup, SlidingBeyondTheBarIsAScriptFault) {
    for (const char* position : {"44", "-1", "x"}) {
        SetupWindows w;
        ScriptRunner runner = w.runner();
        runner.address(w.host);
        std::istringstream in(std::string("press pbRpcSetup\nslide sldrScrollbar ") + position + "\npress pbOK\n");
        try {
            runner.run(readScript(in));
            ADD_FAILURE() << position << " was taken";
        } catch (const ScriptError& e) {
            EXPECT_EQ(e.line(), 2u) << e.what();
            EXPECT_NE(std::string(e.what()).find("slide needs a position from 0 to the control's Max"),
                      std::string::npos)
                << e.what();
        }
    }
}

TEST(RpcSetup, RandomPatternsUseTheUniformGenerator) {
    SetupWindows w;
    const double draws[] = {0.2, 0.5, 0.7, 0.999};
    std::size_t i = 0;
    w.rpc.setUniform([&] { return draws[i++ % 4]; });
    w.run("press pbRpcSetup\nselect pldRPCactive 6\nselect pldRPCvalue 5\nselect pldRPCgain 6\npress pbOK\n");
    const double bit[] = {0, 1, 1, 1};
    const double gain[] = {-7, -3, -1, 3};
    for (int k = 1; k <= 59; ++k) {
        // 59 draws per pattern: each pattern starts one draw later in the cycle.
        EXPECT_EQ(w.chnRecord.field("Active").realAt(k - 1), bit[(k - 1) % 4]) << k;
        EXPECT_EQ(w.chnRecord.field("Value").realAt(k - 1), bit[(k - 1 + 59) % 4]) << k;
        EXPECT_EQ(w.chnRecord.field("Gain").realAt(k - 1), gain[(k - 1 + 118) % 4]) << k;
    }
}

TEST(RpcSetup, ChannelRecordsAreCheckedAndDefaulted) {
    SetupWindows w;
    EXPECT_EQ(RpcSetup::defaultChnStruct().field("Gain"), Value::zeros(1, 59));
    Value bad = RpcSetup::defaultChnStruct();
    bad.setField("Active", Value::zeros(1, 58));
    EXPECT_THROW(w.rpc.run(bad, 1), Error);
    EXPECT_THROW(w.rpc.run(Value::scalar(3), 1), Error);
    EXPECT_EQ(w.platform.get(w.rpc.window(), "figRPCsetup", "Visible").str(), "off");

    w.platform.setPump([&](WindowId, bool) {
        w.rpc.pbOK_Callback();
        return true;
    });
    const auto [answer, chn] = w.rpc.run(Value(), 2);
    EXPECT_EQ(answer, "OK");
    EXPECT_EQ(chn, RpcSetup::defaultChnStruct());
}

TEST(RpcSetup, EntryTexts) {
    const std::pair<double, const char*> cases[] = {{0, "0"},          {-0.0, "0"},         {-30, "-30"},
                                                    {13, "13"},        {-6.0206, "-6.0206"}, {23.97940008672, "23.9794"},
                                                    {0.5, "0.5"},      {123.456789, "123.4568"}, {NAN, "NaN"},
                                                    {-INFINITY, "-Inf"}};
    for (const auto& [v, text] : cases) EXPECT_EQ(setupEntryText(v), text) << v;
}

TEST(RpcSetup, EveryTagTheLogicAddressesIsInTheLayout) {
    SetupWindows w;
    const WindowId rpc = w.rpc.window();
    EXPECT_EQ(w.platform.windowTag(rpc), RpcSetup::kWindowTag);
    std::vector<std::string> tags = {"sldrScrollbar", "pldRPCactive", "pldRPCvalue", "pldRPCgain", "pbOK", "pbCancel"};
    for (int r = 1; r <= 16; ++r)
        for (const char* p : {"chkRPCchnActive", "txtRPCchnValue", "txtRPCchnGain", "txtRPCchn", "txtMACindex"})
            tags.push_back(p + std::to_string(r));
    for (const auto& tag : tags) EXPECT_TRUE(w.platform.hasControl(rpc, tag)) << tag;
    EXPECT_EQ(w.platform.get(rpc, "sldrScrollbar", "Max"), Value::scalar(kRpcMaxScrollIndex));
    EXPECT_EQ(w.platform.get(rpc, "pldRPCactive", "String").numel(), 6u);
    EXPECT_EQ(w.platform.get(rpc, "pldRPCvalue", "String").numel(), 5u);
    EXPECT_EQ(w.platform.get(rpc, "pldRPCgain", "String").numel(), 7u);
}

}  // namespace
}  // namespace tolvane::app
