#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/mod_params.hpp"
#include "onex/packets.hpp"

namespace tolvane {
namespace {

std::string refusal(const std::vector<PacketRow>& packets, double frameSlots) {
    try {
        validatePackets(packets, frameSlots);
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(PacketTable, RefusalsNameTheRowAndTheSlot) {
    struct Case {
        std::vector<PacketRow> packets;
        double frameSlots;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{{1, 12, 5}, {2, 12, 5}, {53, 1, 5}}, 64, "Packets row 3 (DRC 1 from slot 53) needs slots up to 113; the frame has 64."},
        {{{16, 12, 5}, {17, 12, 5}}, 16, "Packets row 2 (DRC 12 from slot 17) needs slot 17; the frame has 16."},
        {{{1, 2, 7}, {5, 12, 9}}, 32, "Packets rows 1 (DRC 2 from slot 1) and 2 (DRC 12 from slot 5) both need slot 5."},
        {{{2, 12, 5}, {3, 3, 5}, {11, 5, 6}}, 32, "Packets rows 2 (DRC 3 from slot 3) and 3 (DRC 5 from slot 11) both need slot 11."},
        {{{1, 12, 5}, {0, 12, 5}}, 16, "Packets row 2: first slot 0 is not a slot (whole numbers 1 to 128)."},
        {{{1.5, 12, 5}}, 16, "Packets row 1: first slot 1.5 is not a slot (whole numbers 1 to 128)."},
        {{{1, 13, 5}}, 16, "Packets row 1: DRC 13 is not a data rate (whole numbers 1 to 12)."},
        {{{1, 0, 5}}, 16, "Packets row 1: DRC 0 is not a data rate (whole numbers 1 to 12)."},
        {{{1, 12, 4}}, 16, "Packets row 1: MAC index 4 is not a packet's MAC index (5 to 63 for traffic; 3 with DRC 1 or 2 with DRC 2 for the control channel)."},
        {{{1, 12, 64}}, 16, "Packets row 1: MAC index 64 is not a packet's MAC index (5 to 63 for traffic; 3 with DRC 1 or 2 with DRC 2 for the control channel)."},
        {{{1, 12, 1}}, 16, "Packets row 1: MAC index 1 is not a packet's MAC index (5 to 63 for traffic; 3 with DRC 1 or 2 with DRC 2 for the control channel)."},
        {{{1, 12, 6.5}}, 16, "Packets row 1: MAC index 6.5 is not a packet's MAC index (5 to 63 for traffic; 3 with DRC 1 or 2 with DRC 2 for the control channel)."},
        {{{1, 2, 3}}, 16, "Packets row 1: MAC index 3 (control channel, 38.4 kbit/s) goes with DRC 1, not DRC 2."},
        {{{1, 1, 2}}, 64, "Packets row 1: MAC index 2 (control channel, 76.8 kbit/s) goes with DRC 2, not DRC 1."},
        {{}, 24, "FrameSlots 24 is not a frame length (whole multiples of 16 from 16 to 128)."},
        {{}, 144, "FrameSlots 144 is not a frame length (whole multiples of 16 from 16 to 128)."},
        {std::vector<PacketRow>(129, PacketRow{1, 12, 5}), 128, "Packets holds 129 rows; at most 128 packets fit in a frame."},
    };
    for (const Case& c : cases) EXPECT_EQ(refusal(c.packets, c.frameSlots), c.message);

    // Accepted: control-channel packets, the last slot exactly, every slot used.
    EXPECT_EQ(refusal({{1, 1, 3}, {2, 2, 2}, {3, 12, 63}, {4, 6, 5}}, 64), "(accepted)");
    EXPECT_EQ(refusal({{4, 1, 5}}, 64), "(accepted)");  // slots 4 .. 64
    EXPECT_EQ(refusal({}, 128), "(accepted)");
}

TEST(PacketTable, SlotsFollowTheDrcsSlotCountFourApart) {
    const int expected[12] = {16, 8, 4, 2, 4, 1, 2, 2, 1, 2, 1, 1};
    for (int drc = 1; drc <= 12; ++drc) {
        const std::vector<int> slots = packetSlots({7, double(drc), 5});
        ASSERT_EQ(slots.size(), std::size_t(expected[drc - 1])) << "DRC " << drc;
        EXPECT_EQ(int(slots.size()), fwdTrfChnModParams(drc)->slots);
        for (std::size_t k = 0; k < slots.size(); ++k) EXPECT_EQ(slots[k], 7 + 4 * int(k));
    }
    EXPECT_THROW(packetSlots({1, 13, 5}), Error);

    // Occupancy: the row of each slot, -1 where none; a packet spanning the
    // interlace leaves the slots between its own to others.
    const std::vector<int> occ = slotOccupancy({{2, 3, 5}, {1, 12, 9}, {3, 4, 6}}, 16);
    const std::vector<int> want = {1, 0, 2, -1, -1, 0, 2, -1, -1, 0, -1, -1, -1, 0, -1, -1};
    EXPECT_EQ(occ, want);
    EXPECT_THROW(slotOccupancy({{16, 4, 5}}, 16), Error);
}

TEST(PacketTable, FillRuleInterlacesBackToBackInTimeOrder) {
    struct Case {
        double frameSlots, drc;
        std::vector<double> starts;
    };
    const std::vector<Case> cases = {
        {16, 12, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {16, 4, {1, 2, 3, 4, 9, 10, 11, 12}},
        {16, 3, {1, 2, 3, 4}},
        {32, 5, {1, 2, 3, 4, 17, 18, 19, 20}},
        {48, 3, {1, 2, 3, 4, 17, 18, 19, 20, 33, 34, 35, 36}},
        {64, 1, {1, 2, 3, 4}},
        {64, 2, {1, 2, 3, 4, 33, 34, 35, 36}},
        {80, 1, {1, 2, 3, 4}},  // the last 16 slots hold no second DRC 1 packet
        {32, 8, {1, 2, 3, 4, 9, 10, 11, 12, 17, 18, 19, 20, 25, 26, 27, 28}},
    };
    for (const Case& c : cases) {
        const std::vector<PacketRow> rows = fillPackets(c.frameSlots, c.drc, 17);
        std::vector<double> starts;
        for (const PacketRow& r : rows) {
            starts.push_back(r.startSlot);
            EXPECT_EQ(r.drc, c.drc);
            EXPECT_EQ(r.macIndex, 17);
        }
        EXPECT_EQ(starts, c.starts) << "DRC " << c.drc << " in " << c.frameSlots;
        EXPECT_NO_THROW(validatePackets(rows, c.frameSlots));
    }
    EXPECT_EQ(fillPackets(16, 12).front().macIndex, 5);
}

TEST(PacketTable, FillRefusesWithTheFrameLengthThatHoldsOnePacket) {
    const auto message = [](double frameSlots, double drc, double mac) {
        try {
            fillPackets(frameSlots, drc, mac);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("(accepted)");
    };
    EXPECT_EQ(message(16, 1, 5), "DRC 1 needs 64 slots; the frame has 16.");
    EXPECT_EQ(message(48, 1, 5), "DRC 1 needs 64 slots; the frame has 48.");
    EXPECT_EQ(message(16, 2, 5), "DRC 2 needs 32 slots; the frame has 16.");
    EXPECT_EQ(message(16, 13, 5), "DRC 13 is not a data rate (whole numbers 1 to 12).");
    EXPECT_EQ(message(16, 12, 3), "MAC index 3 (control channel, 38.4 kbit/s) goes with DRC 1, not DRC 12.");
    EXPECT_EQ(message(20, 12, 5), "FrameSlots 20 is not a frame length (whole multiples of 16 from 16 to 128).");
    EXPECT_EQ(message(64, 1, 3), "(accepted)");
}

// The CRC by polynomial long division: with the register preset to ones,
// the check bits are the remainder of the payload, its first 16 bits
// inverted, followed by 16 zeros, divided by x^16 + x^12 + x^5 + 1.
std::vector<double> crcByDivision(const std::vector<double>& payload) {
    std::vector<int> a(payload.size() + 16, 0);
    for (std::size_t i = 0; i < payload.size(); ++i) a[i] = payload[i] != 0;
    for (std::size_t i = 0; i < 16 && i < a.size(); ++i) a[i] ^= 1;
    const int g[17] = {1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // x^16 .. x^0
    for (std::size_t i = 0; i < payload.size(); ++i)
        if (a[i])
            for (int k = 0; k < 17; ++k) a[i + static_cast<std::size_t>(k)] ^= g[k];
    return std::vector<double>(a.end() - 16, a.end());
}

std::vector<double> bitsOf(const std::string& bytes) {
    std::vector<double> bits;
    for (unsigned char ch : bytes)
        for (int b = 7; b >= 0; --b) bits.push_back((ch >> b) & 1);
    return bits;
}

std::vector<double> fcsVector(const std::vector<double>& payload) {
    const auto fcs = packetFcs(payload);
    return {fcs.begin(), fcs.end()};
}

TEST(PacketFcs, KnownVectorsAndAnIndependentDivision) {
    // "123456789" MSB first: 0x29B1, the published check value of this CRC
    // (generator 0x1021, preset 0xFFFF, no reflection, no final inversion).
    EXPECT_EQ(fcsVector(bitsOf("123456789")), bitsOf("\x29\xB1"));
    // No payload: the preset register itself.
    EXPECT_EQ(fcsVector({}), std::vector<double>(16, 1.0));
    // A single 1 bit: ones shifted once with the feedback 0x1021 cancelled
    // by the input: 0xFFFE.
    EXPECT_EQ(fcsVector({1}), bitsOf("\xFF\xFE"));

    // Payload lengths of every DRC, and some short ones, against the division.
    std::uint32_t state = 12345;
    for (std::size_t length : {1u, 15u, 16u, 17u, 1002u, 2026u, 3050u, 4074u}) {
        std::vector<double> payload(length);
        for (double& b : payload) {
            state = state * 1103515245u + 12345u;
            b = (state >> 16) & 1;
        }
        EXPECT_EQ(fcsVector(payload), crcByDivision(payload)) << length;
        const std::vector<double> packet = physicalLayerPacket(payload);
        ASSERT_EQ(packet.size(), length + 22);
        EXPECT_EQ(std::vector<double>(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(length)), payload);
        EXPECT_EQ(std::vector<double>(packet.end() - 22, packet.end() - 6), crcByDivision(payload));
        EXPECT_EQ(std::vector<double>(packet.end() - 6, packet.end()), std::vector<double>(6, 0.0));
    }
    const int payloads[12] = {1002, 1002, 1002, 1002, 2026, 1002, 2026, 3050, 2026, 4074, 3050, 4074};
    for (int drc = 1; drc <= 12; ++drc) EXPECT_EQ(packetPayloadBits(drc), payloads[drc - 1]) << drc;
}

TEST(PacketPreamble, WalshCodeForEvenMacIndexComplementForOdd) {
    const auto seq = [](int mac) {
        const auto s = preambleSequence(mac);
        return std::vector<double>(s.begin(), s.end());
    };
    std::vector<double> plus(32, 1.0), minus(32, -1.0), alternating(32), halves(32), quarters(32);
    for (int k = 0; k < 32; ++k) {
        alternating[k] = k % 2 ? -1 : 1;
        halves[k] = k < 16 ? 1 : -1;
        quarters[k] = (k / 8) % 2 ? -1 : 1;  // Walsh code 8 of length 32
    }
    EXPECT_EQ(seq(0), plus);
    EXPECT_EQ(seq(1), minus);
    EXPECT_EQ(seq(2), alternating);  // code 1
    for (int k = 0; k < 32; ++k) EXPECT_EQ(seq(3)[k], -alternating[k]);
    EXPECT_EQ(seq(32), halves);      // code 16
    for (int k = 0; k < 32; ++k) EXPECT_EQ(seq(33)[k], -halves[k]);
    EXPECT_EQ(seq(16), quarters);    // code 8
    // Code 31 of length 32: (-1)^popcount(31 & k), complemented for MAC 63.
    for (int k = 0; k < 32; ++k) EXPECT_EQ(seq(63)[k], (__builtin_popcount(31 & k) % 2) ? 1.0 : -1.0) << k;

    const std::vector<double> pre = packetPreamble(9, 128);
    ASSERT_EQ(pre.size(), 128u);
    for (int k = 0; k < 128; ++k) EXPECT_EQ(pre[k], seq(9)[k % 32]);
    EXPECT_THROW(packetPreamble(9, 48), Error);
    EXPECT_THROW(preambleSequence(64), Error);
}

}  // namespace
}  // namespace tolvane
