// Forward traffic packets of the packet mode (Mode 3): the table of packets a
// frame carries (first slot, DRC, MAC index), its checks, the slots each
// packet occupies, the back-to-back fill rule, and the pieces of one packet
// (frame check sequence, preamble).
//
// Slots are numbered from 1. A packet of DRC d (whose modulation-parameter
// row has N `slots`) starting in slot s occupies s, s + 4, ..., s + 4(N - 1):
// the four interlaces of the frame are slots 1, 5, 9, ...; 2, 6, 10, ...;
// and so on.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace tolvane {

// One row of the packet table, as the configuration stores it (numbers, so
// that a stored or entered row can be checked and refused by name).
struct PacketRow {
    double startSlot = 1;  // first slot, 1 .. FrameSlots
    double drc = 1;        // data rate, 1 .. 12
    double macIndex = 5;   // 5 .. 63 traffic; 3 (with DRC 1) or 2 (with DRC 2) control channel
};

constexpr int kMinFrameSlots = 16;   // frame lengths: whole multiples of 16
constexpr int kMaxFrameSlots = 128;  // from 16 to 128 slots
constexpr int kMaxPackets = 128;     // rows of the packet table
constexpr int kInterlaces = 4;       // a packet's slots are 4 apart
constexpr int kFcsBits = 16;         // frame check sequence
constexpr int kPacketTailBits = 6;   // tail field of a physical-layer packet, all zero
constexpr int kPacketOverheadBits = kFcsBits + kPacketTailBits;
constexpr int kDefaultTrafficMac = 5;

// Is `frameSlots` a frame length a configuration may hold (a whole multiple
// of 16 from 16 to 128)?
bool isFrameSlots(double frameSlots);

// Checks one row on its own: a whole first slot from 1 to kMaxFrameSlots, a
// whole DRC from 1 to 12, and a MAC index that goes with it (5 to 63; 3 only
// with DRC 1, 2 only with DRC 2). `row` is the 1-based row number the
// message names, e.g. "Packets row 2: DRC 13 is not a data rate (whole
// numbers 1 to 12)." Throws Error.
void checkPacketRow(const PacketRow& packet, std::size_t row);

// Checks the whole table for a frame of `frameSlots` slots: at most
// kMaxPackets rows, every row (checkPacketRow, and a first slot within the
// frame), every packet within the frame ("Packets row 3 (DRC 1 from slot
// 53) needs slots up to 113; the frame has 64.") and no slot needed by two
// packets ("Packets rows 1 (DRC 2 from slot 1) and 2 (DRC 3 from slot 9)
// both need slot 9."). Throws Error naming the first fault in row order;
// `frameSlots` itself must satisfy isFrameSlots (Error otherwise).
void validatePackets(const std::vector<PacketRow>& packets, double frameSlots);

// Slots in the frame a packet needs (1-based, ascending): s, s + 4, ....
// The row must pass checkPacketRow (Error otherwise); the slots may lie
// beyond any frame.
std::vector<int> packetSlots(const PacketRow& packet);

// For each slot 1 .. frameSlots, the 0-based row of the packet that
// occupies it, or -1 for a slot without a packet (index 0 is slot 1). The
// table must pass validatePackets for the frame (Error otherwise).
std::vector<int> slotOccupancy(const std::vector<PacketRow>& packets, double frameSlots);

// The rows of the fill rule: each of the four interlaces (starting in slots
// 1, 2, 3, 4) filled back to back with packets of `drc` and `macIndex` while
// they fit in the frame, listed in time order of their first slot. Throws
// Error when the DRC or MAC index is refused (as checkPacketRow, naming no
// row) or when not even one packet fits, with the frame length that would
// hold one: "DRC 1 needs 64 slots; the frame has 16."
std::vector<PacketRow> fillPackets(double frameSlots, double drc, double macIndex = kDefaultTrafficMac);

// Payload bits of a packet of `drc` (the table's `bits` less the FCS and
// tail: 1002, 2026, 3050 or 4074). The DRC must be 1 .. 12 (Error otherwise).
int packetPayloadBits(double drc);

// The frame check sequence of `payload` (bits 0/1, first bit first): the
// CRC with generator x^16 + x^12 + x^5 + 1, the register preset to all
// ones, clocked once per bit, read out highest-order stage first, not
// inverted.
std::array<double, kFcsBits> packetFcs(const std::vector<double>& payload);

// The physical-layer packet: payload, FCS, six zero tail bits.
std::vector<double> physicalLayerPacket(const std::vector<double>& payload);

// The 32-chip preamble sequence of a MAC index (0 .. 63) as +1/-1 chips:
// for an even index i Walsh code i/2 of length 32, for an odd one the
// complement of Walsh code (i - 1)/2.
std::array<double, 32> preambleSequence(int macIndex);

// The preamble of `chips` chips (a whole multiple of 32): the sequence
// repeated.
std::vector<double> packetPreamble(int macIndex, int chips);

}  // namespace tolvane
