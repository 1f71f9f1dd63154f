// The slot setup window as a user meets it: entries and their clamps, the
// enables, the FastEdit and Clone patterns, the RPC window of a slot, and
// OK / Cancel / close with the record the main window keeps.
#include <gtest/gtest.h>

#include "setup_windows_harness.hpp"

namespace tolvane::app {
namespace {

using test::linesInOrder;
using test::ScriptCase;
using test::SetupWindows;

// Sixteen numbers as the stand-in main window prints them.
std::string sixteen(std::initializer_list<double> first, double rest) {
    std::vector<double> v(first);
    while (v.size() < 16) v.push_back(rest);
    return test::joinNumbers(v);
}

std::string pattern(double (*f)(int)) {
    std::vector<double> v;
    for (int n = 1; n <= 16; ++n) v.push_back(f(n));
    return test::joinNumbers(v);
}

class SlotScript : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(SlotScript, ShowsWhatTheUserExpects) {
    SetupWindows w;
    const auto transcript = w.run(GetParam().script);
    EXPECT_TRUE(linesInOrder(transcript, GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SlotScript,
    ::testing::Values(
        ScriptCase{"ra_value_entries_are_clamped",
                   "press pbSlotSetup\n"
                   "type txtRAslotValue1 2\nshow txtRAslotValue1 String\n"
                   "type txtRAslotValue2 -1\nshow txtRAslotValue2 String\n"
                   "type txtRAslotValue3 \nshow txtRAslotValue3 String\n"
                   "type txtRAslotValue4 abc\nshow txtRAslotValue4 String\n"
                   "type txtRAslotValue5 0.4\nshow txtRAslotValue5 String\n"
                   "type txtRAslotValue6 [1 0]\nshow txtRAslotValue6 String\n"
                   "type txtRAslotValue7 1+1\nshow txtRAslotValue7 String\n"
                   "press pbOK\n",
                   {"window opened \"Slot Setup\"", "show txtRAslotValue1 String: 1",
                    "show txtRAslotValue2 String: 0", "show txtRAslotValue3 String: 1",
                    "show txtRAslotValue4 String: 1", "show txtRAslotValue5 String: 0",
                    "show txtRAslotValue6 String: 0", "show txtRAslotValue7 String: 1", "window closed \"Slot Setup\"",
                    "console: slot setup OK", "console: RAslotValue: " + sixteen({1, 0, 1, 1, 0, 0, 1}, 1)}},
        ScriptCase{"ra_gain_entries_are_rounded_and_clamped",
                   "press pbSlotSetup\n"
                   "type txtRAslotGain1 45\ntype txtRAslotGain2 -31.6\ntype txtRAslotGain3 2.4\n"
                   "type txtRAslotGain4 x\ntype txtRAslotGain5 2.5\ntype txtRAslotGain6 -2.5\n"
                   "type txtRAslotGain7 -Inf\ntype txtRAslotGain8 NaN\n"
                   "show txtRAslotGain4 String\npress pbOK\n",
                   {"show txtRAslotGain4 String: 0", "console: slot setup OK",
                    "console: RAslotGain: " + sixteen({30, -30, 2, 0, 3, -3, -30, 30}, 0)}},
        ScriptCase{"clearing_a_box_disables_its_row",
                   "press pbSlotSetup\n"
                   "check chkDATAslotActive5 0\nshow lstDATAslotMod5 Enable\nshow lstDATAslotMod6 Enable\n"
                   "select lstDATAslotMod5 3\n"
                   "check chkRAslotActive2 0\nshow txtRAslotValue2 Enable\nshow txtRAslotGain2 Enable\n"
                   "type txtRAslotGain2 7\n"
                   "check chkRPCslotActive7 0\nshow pbPRCslotSetup7 Enable\npress pbPRCslotSetup7\n"
                   "check chkDATAslotActive6 0\ncheck chkDATAslotActive6 1\nshow lstDATAslotMod6 Enable\n"
                   "press pbOK\n",
                   {"show lstDATAslotMod5 Enable: off", "show lstDATAslotMod6 Enable: on",
                    "show txtRAslotValue2 Enable: off", "show txtRAslotGain2 Enable: off",
                    "show pbPRCslotSetup7 Enable: off", "show lstDATAslotMod6 Enable: on", "console: slot setup OK",
                    "console: DATAslotActive: " + sixteen({1, 1, 1, 1, 0}, 1),
                    "console: DATAslotMod: " + sixteen({}, 1), "console: RAslotActive: " + sixteen({1, 0}, 1),
                    "console: RAslotGain: " + sixteen({}, 0),
                    "console: RPCslotActiveChn: " + sixteen({1, 1, 1, 1, 1, 1, 0}, 1)}},
        ScriptCase{"modulation_list_sets_the_slot",
                   "press pbSlotSetup\nselect lstDATAslotMod3 2\nselect lstDATAslotMod16 3\npress pbOK\n",
                   {"console: DATAslotMod: " + sixteen({1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3}, 1)}},
        ScriptCase{"fastedit_activity_patterns",
                   "press pbSlotSetup\nselect pldDATAactive 2\nselect pldRAactive 3\nselect pldRPCactive 4\n"
                   "show lstDATAslotMod4 Enable\nshow txtRAslotGain2 Enable\nshow pbPRCslotSetup8 Enable\n"
                   "press pbOK\n",
                   {"show lstDATAslotMod4 Enable: off", "show txtRAslotGain2 Enable: off",
                    "show pbPRCslotSetup8 Enable: on", "console: slot setup OK",
                    "console: DATAslotActive: " + pattern([](int n) { return n % 4 ? 1.0 : 0.0; }),
                    "console: RAslotActive: " + pattern([](int n) { return n % 2 ? 1.0 : 0.0; }),
                    "console: RPCslotActiveChn: " + pattern([](int n) { return n % 4 ? 0.0 : 1.0; })}},
        ScriptCase{"fastedit_all_off_then_all_on",
                   "press pbSlotSetup\nselect pldDATAactive 5\nshow chkDATAslotActive9 Value\n"
                   "select pldDATAactive 1\npress pbOK\n",
                   {"show chkDATAslotActive9 Value: 0", "console: DATAslotActive: " + sixteen({}, 1)}},
        ScriptCase{"fastedit_modulation_and_ra_columns",
                   "press pbSlotSetup\nselect pldDATAmod 3\nselect pldRAvalue 3\nselect pldRAgain 4\n"
                   "show lstDATAslotMod7 Value\nshow txtRAslotGain7 String\npress pbOK\n"
                   "press pbSlotSetup\nselect pldRAvalue 4\nselect pldRAgain 1\npress pbOK\n",
                   {"show lstDATAslotMod7 Value: 3", "show txtRAslotGain7 String: -6",
                    "console: DATAslotMod: " + sixteen({}, 3),
                    "console: RAslotValue: " + pattern([](int n) { return n % 2 ? 0.0 : 1.0; }),
                    "console: RAslotGain: " + sixteen({}, -6),
                    "console: RAslotValue: " + pattern([](int n) { return n % 2 ? 1.0 : 0.0; }),
                    "console: RAslotGain: " + sixteen({}, 3)}},
        ScriptCase{"cancel_keeps_the_previous_record",
                   "press pbSlotSetup\ntype txtRAslotGain1 12\ncheck chkDATAslotActive2 0\nselect pldDATAmod 2\n"
                   "press pbCancel\n",
                   {"window closed \"Slot Setup\"", "console: slot setup Cancel",
                    "console: DATAslotActive: " + sixteen({}, 1), "console: DATAslotMod: " + sixteen({}, 1),
                    "console: RAslotGain: " + sixteen({}, 0)}},
        ScriptCase{"close_button_is_a_cancel",
                   "press pbSlotSetup\ntype txtRAslotGain1 12\nclose\n",
                   {"window closed \"Slot Setup\"", "console: slot setup Cancel",
                    "console: RAslotGain: " + sixteen({}, 0)}},
        ScriptCase{"ok_then_reopen_shows_the_kept_record",
                   "press pbSlotSetup\ntype txtRAslotGain1 12\npress pbOK\n"
                   "press pbSlotSetup\nshow txtRAslotGain1 String\ntype txtRAslotGain1 4\npress pbCancel\n",
                   {"console: RAslotGain: " + sixteen({12}, 0), "show txtRAslotGain1 String: 12",
                    "console: slot setup Cancel", "console: RAslotGain: " + sixteen({12}, 0)}},
        ScriptCase{"a_second_opening_while_open_keeps_the_edits",
                   "press pbSlotSetup\ntype txtRAslotGain1 12\nwindow host\npress pbSlotSetup\n"
                   "window slot\nshow txtRAslotGain1 String\npress pbOK\n",
                   {"console: The slot setup window is already open.", "show txtRAslotGain1 String: 12",
                    "console: slot setup OK", "console: RAslotGain: " + sixteen({12}, 0)}},
        ScriptCase{"tooltips_of_rows_and_fastedit",
                   "press pbSlotSetup\nshow chkDATAslotActive3 TooltipString\nshow txtRAslotGain12 TooltipString\n"
                   "show txtRAslotValue16 TooltipString\nshow pbPRCslotSetup1 TooltipString\n"
                   "show lstDATAslotMod9 TooltipString\nshow pldRAgain TooltipString\npress pbOK\n",
                   {"show chkDATAslotActive3 TooltipString: Enables/disables the\\ntraffic channel for slot 3.",
                    "show txtRAslotGain12 TooltipString: Sets the gain of the\\nRA burst for slot 12\\nrelative to "
                    "the pilot channel power.\\nValid Range: -30dB to +30dB",
                    "show txtRAslotValue16 TooltipString: Sets the value of the\\nRA burst for slot 16.\\nValid "
                    "Range: 0 or 1",
                    "show pbPRCslotSetup1 TooltipString: Configures the\\nRPC channel for slot 1.",
                    "show lstDATAslotMod9 TooltipString: Sets the modulation format\\nof the Traffic burst for slot 9.",
                    "show pldRAgain TooltipString: FastEdit:\\nAdjusts the gain\\nfor all RA slots."}},
        ScriptCase{"rpc_window_of_a_slot_opens_over_it",
                   "press pbSlotSetup\npress pbPRCslotSetup3\nshow rpc Name\ncheck chkRPCchnActive2 0\n"
                   "press pbOK\nshow slot Visible\npress pbOK\n",
                   {"window opened \"Slot Setup\"", "window opened \"RPC Setup: Slot #3\"",
                    "show rpc Name: RPC Setup: Slot #3", "window closed \"RPC Setup: Slot #3\"",
                    "show slot Visible: on", "window closed \"Slot Setup\"", "console: slot setup OK"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The value of a 16 x 59 field at slot n, channel k (1-based).
double rpcAt(const Value& slot, const char* field, int n, int k) {
    return slot.field(field).realAt(static_cast<std::size_t>((k - 1) * 16 + (n - 1)));
}

TEST(SlotSetup, RpcWindowEditsReachTheSlotOnlyOnOk) {
    SetupWindows w;
    w.run("press pbSlotSetup\n"
          // slot 3: channel 2 off, its gain stays; OK in the RPC window
          "press pbPRCslotSetup3\ntype txtRPCchnGain2 -7\ncheck chkRPCchnActive2 0\npress pbOK\n"
          // slot 4: edits, then Cancel in the RPC window
          "press pbPRCslotSetup4\ncheck chkRPCchnActive1 0\ntype txtRPCchnGain1 9\npress pbCancel\n"
          // slot 5: edits, then the RPC window's close button
          "press pbPRCslotSetup5\ntype txtRPCchnValue1 0\nclose\n"
          "press pbOK\n");
    const Value& s = w.slotRecord;
    EXPECT_EQ(rpcAt(s, "RPCslotActive", 3, 2), 0);
    EXPECT_EQ(rpcAt(s, "RPCslotGain", 3, 2), -7);
    EXPECT_EQ(rpcAt(s, "RPCslotActive", 3, 1), 1);
    EXPECT_EQ(rpcAt(s, "RPCslotActive", 4, 1), 1);
    EXPECT_EQ(rpcAt(s, "RPCslotGain", 4, 1), 0);
    EXPECT_EQ(rpcAt(s, "RPCslotValue", 5, 1), 1);
    EXPECT_EQ(rpcAt(s, "RPCslotActive", 2, 2), 1);  // other slots untouched
}

TEST(SlotSetup, RpcEditsAreLostWithTheSlotWindowsCancel) {
    SetupWindows w;
    w.run("press pbSlotSetup\npress pbPRCslotSetup1\ntype txtRPCchnGain1 5\npress pbOK\npress pbCancel\n");
    EXPECT_EQ(rpcAt(w.slotRecord, "RPCslotGain", 1, 1), 0);
}

// Slots 1 and 2 made different through their RPC windows, then a pattern.
std::string cloneScript(int pattern) {
    return "press pbSlotSetup\n"
           "press pbPRCslotSetup1\nselect pldRPCactive 3\nselect pldRPCgain 3\npress pbOK\n"
           "press pbPRCslotSetup2\nselect pldRPCvalue 1\nselect pldRPCgain 5\npress pbOK\n"
           "check chkRPCslotActive2 0\n"
           "select pldRPCsetup " +
           std::to_string(pattern) + "\npress pbOK\n";
}

TEST(SlotSetup, CloneOneCopiesSlotOneEverywhere) {
    SetupWindows w;
    w.run(cloneScript(1));
    const Value& s = w.slotRecord;
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(s.field("RPCslotActiveChn").realAt(n - 1), 1) << n;
        for (int k = 1; k <= 59; ++k) {
            EXPECT_EQ(rpcAt(s, "RPCslotActive", n, k), k % 2 ? 1 : 0) << n << "," << k;
            EXPECT_EQ(rpcAt(s, "RPCslotValue", n, k), 1) << n << "," << k;
            EXPECT_EQ(rpcAt(s, "RPCslotGain", n, k), -3) << n << "," << k;
        }
    }
}

TEST(SlotSetup, CloneOneTwoCopiesOddAndEvenSlots) {
    SetupWindows w;
    const auto transcript = w.run(cloneScript(2) + "press pbSlotSetup\nshow pbPRCslotSetup6 Enable\npress pbCancel\n");
    EXPECT_TRUE(linesInOrder(transcript, {"show pbPRCslotSetup6 Enable: off"}));
    const Value& s = w.slotRecord;
    for (int n = 1; n <= 16; ++n) {
        const bool odd = n % 2 == 1;
        EXPECT_EQ(s.field("RPCslotActiveChn").realAt(n - 1), odd ? 1 : 0) << n;
        for (int k = 1; k <= 59; ++k) {
            EXPECT_EQ(rpcAt(s, "RPCslotActive", n, k), odd ? (k % 2 ? 1 : 0) : 1) << n << "," << k;
            EXPECT_EQ(rpcAt(s, "RPCslotValue", n, k), odd ? 1 : 0) << n << "," << k;
            EXPECT_EQ(rpcAt(s, "RPCslotGain", n, k), odd ? -3 : -10) << n << "," << k;
        }
    }
}

TEST(SlotSetup, DefaultKeepsOnlySlotOneChannelOne) {
    SetupWindows w;
    const auto transcript = w.run(cloneScript(3) + "press pbSlotSetup\nshow pbPRCslotSetup1 Enable\n"
                                                   "show pbPRCslotSetup2 Enable\npress pbCancel\n");
    EXPECT_TRUE(linesInOrder(transcript, {"show pbPRCslotSetup1 Enable: on", "show pbPRCslotSetup2 Enable: off"}));
    const Value& s = w.slotRecord;
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(s.field("RPCslotActiveChn").realAt(n - 1), n == 1 ? 1 : 0) << n;
        for (int k = 1; k <= 59; ++k) {
            EXPECT_EQ(rpcAt(s, "RPCslotActive", n, k), k == 1 ? 1 : 0);
            EXPECT_EQ(rpcAt(s, "RPCslotValue", n, k), k == 1 ? 1 : 0);
            EXPECT_EQ(rpcAt(s, "RPCslotGain", n, k), 0);
        }
    }
}

TEST(SlotSetup, RandomPatternsUseTheUniformGenerator) {
    SetupWindows w;
    const double draws[] = {0.1, 0.3, 0.6, 0.8, 0.49, 0.5, 0.99, 0.0};
    std::size_t i = 0;
    w.slot.setUniform([&] { return draws[i++ % 8]; });
    w.run("press pbSlotSetup\nselect pldDATAmod 4\nselect pldRAgain 6\nselect pldRAvalue 5\n"
          "select pldRPCactive 6\npress pbOK\n");
    // round(2u) + 1, round(13u) - 10, round(u), round(u), each over the same draws
    const double mod[] = {1, 2, 2, 3, 2, 2, 3, 1};
    const double gain[] = {-9, -6, -2, 0, -4, -3, 3, -10};
    const double bit[] = {0, 0, 1, 1, 0, 1, 1, 0};
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(w.slotRecord.field("DATAslotMod").realAt(n - 1), mod[(n - 1) % 8]) << n;
        EXPECT_EQ(w.slotRecord.field("RAslotGain").realAt(n - 1), gain[(n - 1) % 8]) << n;
        EXPECT_EQ(w.slotRecord.field("RAslotValue").realAt(n - 1), bit[(n - 1) % 8]) << n;
        EXPECT_EQ(w.slotRecord.field("RPCslotActiveChn").realAt(n - 1), bit[(n - 1) % 8]) << n;
    }
}

TEST(SlotSetup, DefaultsAndOpeningWithoutARecord) {
    const Value d = SlotSetup::defaultSlotStruct();
    EXPECT_EQ(d.field("DATAslotActive").rows(), 16u);
    EXPECT_EQ(d.field("DATAslotActive").cols(), 1u);
    EXPECT_EQ(d.field("RAslotGain"), Value::column(std::vector<double>(16, 0.0)));
    EXPECT_EQ(d.field("RPCslotValue").rows(), 16u);
    EXPECT_EQ(d.field("RPCslotValue").cols(), 59u);
    EXPECT_EQ(d.field("RPCslotGain"), Value::zeros(16, 59));

    SetupWindows w;
    w.slotRecord.field("RAslotGain").realData()[0] = 7;
    w.platform.setPump([&](WindowId, bool) {
        w.slot.pbOK_Callback();
        return true;
    });
    // Without a record the window starts from the defaults.
    const auto [answer, edited] = w.slot.run(Value());
    EXPECT_EQ(answer, "OK");
    EXPECT_EQ(edited, d);
}

TEST(SlotSetup, ARecordOfTheWrongShapeIsRefusedBeforeTheWindowOpens) {
    SetupWindows w;
    Value bad = SlotSetup::defaultSlotStruct();
    bad.setField("RPCslotGain", Value::zeros(59, 16));
    EXPECT_THROW(w.slot.run(bad), Error);
    bad = SlotSetup::defaultSlotStruct();
    bad.rec().remove("RAslotValue");
    EXPECT_THROW(w.slot.run(bad), Error);
    EXPECT_EQ(w.platform.get(w.slot.window(), "figSlotSetup", "Visible").str(), "off");
    // Through the main window's button the refusal is a console line.
    w.slotRecord = bad;
    const auto transcript = w.run("press pbSlotSetup\n");
    EXPECT_TRUE(linesInOrder(transcript, {"console: The slot record has no field RAslotValue."}));
}

TEST(SlotSetup, AWindowDeletedWhileWaitingAnswersCancel) {
    SetupWindows w;
    w.platform.setPump([&](WindowId waiting, bool) {
        w.platform.deleteWindow(waiting);
        return true;
    });
    const auto [answer, edited] = w.slot.run(w.slotRecord);
    EXPECT_EQ(answer, "Cancel");
}

TEST(SlotSetup, FontsGrowOnceOnA96DpiScreen) {
    SetupWindows w;
    EXPECT_EQ(w.platform.get(w.slot.window(), "txtRAslotGain1", "FontSize"), Value::scalar(9));
    EXPECT_EQ(w.platform.get(w.rpc.window(), "txtRPCchnGain1", "FontSize"), Value::scalar(9));
}

TEST(SlotSetup, EveryTagTheLogicAddressesIsInTheLayout) {
    SetupWindows w;
    std::vector<std::string> tags = {"pldDATAactive", "pldDATAmod", "pldRAactive", "pldRAvalue", "pldRAgain",
                                     "pldRPCactive",  "pldRPCsetup", "pbOK",       "pbCancel"};
    for (int n = 1; n <= 16; ++n)
        for (const char* p : {"chkDATAslotActive", "lstDATAslotMod", "chkRAslotActive", "txtRAslotValue",
                              "txtRAslotGain", "chkRPCslotActive", "pbPRCslotSetup"})
            tags.push_back(p + std::to_string(n));
    EXPECT_EQ(w.platform.windowTag(w.slot.window()), SlotSetup::kWindowTag);
    for (const auto& tag : tags) EXPECT_TRUE(w.platform.hasControl(w.slot.window(), tag)) << tag;
    const Value mods = w.platform.get(w.slot.window(), "lstDATAslotMod1", "String");
    EXPECT_EQ(mods, Value::cell({Value::text("QPSK"), Value::text("8PSK"), Value::text("16QAM")}));
    EXPECT_EQ(w.platform.get(w.slot.window(), "pldRPCsetup", "String").numel(), 3u);
    EXPECT_EQ(w.platform.get(w.slot.window(), "pldDATAactive", "String").numel(), 6u);
    EXPECT_EQ(w.platform.get(w.slot.window(), "pldDATAmod", "String").numel(), 4u);
    EXPECT_EQ(w.platform.get(w.slot.window(), "pldRAvalue", "String").numel(), 5u);
    EXPECT_EQ(w.platform.get(w.slot.window(), "pldRAgain", "String").numel(), 6u);
}

}  // namespace
}  // namespace tolvane::app
