// The traffic-packet mode as a user meets it in the windows: the Mode item,
// the frame-length entry, the packet setup window (Add, Remove, editing a
// row, Fill, OK that takes only a table the frame can carry, Cancel) and the
// slot window's data columns, which the packet table overrides.
#include <gtest/gtest.h>

#include "app_harness.hpp"
#include "app/windows/app_globals.hpp"
#include "app/windows/packet_setup.hpp"

namespace tolvane::app {
namespace {

using Lines = std::vector<std::string>;

const FrameConfig& config() { return session().config(); }

TEST(PacketSetupWindow, ModeThreeEnablesThePacketTableAndTheFrameLengthFollows) {
    test::WorkFolder folder;
    test::AppRun run;
    EXPECT_EQ(run.run("show pbPacketSetup Enable\nselect pdMode 3\nshow pbPacketSetup Enable\n"
                      "show chkDATAchnActive Enable\nshow pdDATAsourceType Enable\nshow chkMACchnActive Enable\n"),
              (Lines{"show pbPacketSetup Enable: off", "show pbPacketSetup Enable: on",
                     "show chkDATAchnActive Enable: off", "show pdDATAsourceType Enable: on",
                     "show chkMACchnActive Enable: on"}));
    EXPECT_EQ(config().Mode, 3);
    // Whole multiples of 16 from 16 to 128; a typo keeps the length.
    EXPECT_EQ(run.run("type txtFrameSlots 64\nshow txtFrameSlots String\nshow txtNumberOfSamples String\n"
                      "type txtFrameSlots 40\nshow txtFrameSlots String\ntype txtFrameSlots sixty\n"
                      "show txtFrameSlots String\ntype txtFrameSlots 500\nshow txtFrameSlots String\n"
                      "type txtFrameSlots 1\nshow txtFrameSlots String\n"),
              (Lines{"show txtFrameSlots String: 64", "show txtNumberOfSamples String: 655360 Samples",
                     "show txtFrameSlots String: 48", "show txtFrameSlots String: 48",
                     "show txtFrameSlots String: 128", "show txtFrameSlots String: 16"}));
    EXPECT_EQ(config().FrameSlots, 16);
    EXPECT_EQ(config().ProjectedLength, 16 * 2048 * 5);
}

TEST(PacketSetupWindow, AddEditRemoveAndOkWithAValidTable) {
    test::WorkFolder folder;
    test::AppRun run;
    const Lines lines = run.run(
        "select pdMode 3\npress pbPacketSetup\n"
        "show txtOccupancy String\n"
        // The first packet: DRC 3 (4 slots) from slot 1 with MAC 9.
        "select pdDRC 3\ntype txtMacIndex 9\npress pbAdd\n"
        // Add puts the next one in the first free slot (2), then it is edited.
        "press pbAdd\nselect pdDRC 12\ntype txtStartSlot 7\ntype txtMacIndex 63\n"
        "show lstPackets String\nshow txtOccupancy String\n"
        // A third row, removed again.
        "press pbAdd\npress pbRemove\nshow lstPackets Value\n"
        "press pbOK\n");
    EXPECT_EQ(lines,
              (Lines{"window opened \"Packet Setup: 16 Slots\"",
                     "show txtOccupancy String: Interlaces 1-4: 0/4, 0/4, 0/4, 0/4 slots occupied",
                     "show lstPackets String: Slot 1: DRC 3 (153.6 kbit/s, 4 slots, QPSK), MAC 9|Slot 7: DRC 12 "
                     "(2457.6 kbit/s, 1 slot, 16-QAM), MAC 63",
                     "show txtOccupancy String: Interlaces 1-4: 4/4, 0/4, 1/4, 0/4 slots occupied",
                     "show lstPackets Value: 2", "window closed \"Packet Setup: 16 Slots\""}));
    ASSERT_EQ(config().Packets.size(), 2u);
    EXPECT_EQ(config().Packets[0].startSlot, 1);
    EXPECT_EQ(config().Packets[0].drc, 3);
    EXPECT_EQ(config().Packets[0].macIndex, 9);
    EXPECT_EQ(config().Packets[1].startSlot, 7);
    EXPECT_EQ(config().Packets[1].drc, 12);
    EXPECT_EQ(config().Packets[1].macIndex, 63);
}

TEST(PacketSetupWindow, OkRefusesATableTheFrameCannotCarryAndCancelKeepsTheOld) {
    test::WorkFolder folder;
    test::AppRun run;
    // DRC 1 needs 16 slots 4 apart: from slot 1 up to 61 in a 16-slot frame.
    const Lines refused = run.run("select pdMode 3\npress pbPacketSetup\nselect pdDRC 1\ntype txtMacIndex 3\n"
                                  "press pbAdd\npress pbOK\npress pbFill\npress pbCancel\n");
    ASSERT_EQ(refused.size(), 4u);
    EXPECT_EQ(refused[1], "dialog error \"Packet Setup\": Packets row 1 (DRC 1 from slot 1) needs slots up to 61; "
                          "the frame has 16. [OK]");
    EXPECT_EQ(refused[2], "dialog error \"Packet Setup\": DRC 1 needs 64 slots; the frame has 16. [OK]");
    EXPECT_TRUE(config().Packets.empty());

    // Fill in a 64-slot frame: every interlace back to back, in time order.
    const Lines filled = run.run("type txtFrameSlots 64\npress pbPacketSetup\nselect pdDRC 12\ntype txtMacIndex 5\npress pbFill\n"
                                 "show txtOccupancy String\npress pbOK\n");
    EXPECT_EQ(filled[1], "show txtOccupancy String: Interlaces 1-4: 16/16, 16/16, 16/16, 16/16 slots occupied");
    ASSERT_EQ(config().Packets.size(), 64u);
    for (std::size_t i = 0; i < 64; ++i) EXPECT_EQ(config().Packets[i].startSlot, double(i + 1)) << i;
    // Cancel and the close button keep the table as it was.
    run.run("press pbPacketSetup\npress pbRemove\npress pbCancel\npress pbPacketSetup\npress pbRemove\nclose\n");
    EXPECT_EQ(config().Packets.size(), 64u);
}

TEST(PacketSetupWindow, TheSlotWindowsDataColumnsDoNotApplyInModeThree) {
    test::WorkFolder folder;
    test::AppRun run;
    const std::string look = "press pbSlotSetup\nshow chkDATAslotActive1 Enable\nshow lstDATAslotMod1 Enable\n"
                             "show pldDATAmod Enable\nshow chkRAslotActive1 Enable\npress pbCancel\n";
    const Lines mode1 = run.run(look);
    const Lines mode3 = run.run("select pdMode 3\n" + look);
    EXPECT_EQ(mode1[1], "show chkDATAslotActive1 Enable: on");
    EXPECT_EQ(mode1[2], "show lstDATAslotMod1 Enable: on");
    EXPECT_EQ(mode3[1], "show chkDATAslotActive1 Enable: off");
    EXPECT_EQ(mode3[2], "show lstDATAslotMod1 Enable: off");
    EXPECT_EQ(mode3[3], "show pldDATAmod Enable: off");
    EXPECT_EQ(mode3[4], "show chkRAslotActive1 Enable: on");
}

// The texts the window builds from the modulation-parameter table.
TEST(PacketSetupWindow, RowTextsComeFromTheRateTable) {
    EXPECT_EQ(drcItemText(1), "DRC 1: 38.4 kbit/s, 16 slots, QPSK");
    EXPECT_EQ(drcItemText(8), "DRC 8: 921.6 kbit/s, 2 slots, 8-PSK");
    EXPECT_EQ(drcItemText(10), "DRC 10: 1228.8 kbit/s, 2 slots, 16-QAM");
    EXPECT_EQ(drcItemText(11), "DRC 11: 1843.2 kbit/s, 1 slot, 8-PSK");
    EXPECT_EQ(packetRowText({5, 2, 2}), "Slot 5: DRC 2 (76.8 kbit/s, 8 slots, QPSK), MAC 2");
    // A row outside the table still shows what it holds; it occupies nothing.
    EXPECT_EQ(packetRowText({1, 13, 5}), "Slot 1: DRC 13, MAC 5");
    // DRC 4 is two slots: 4 and 8.
    EXPECT_EQ(occupancyText({{1, 13, 5}, {4, 4, 5}}, 32), "Interlaces 1-4: 0/8, 0/8, 0/8, 2/8 slots occupied");
}

}  // namespace
}  // namespace tolvane::app
