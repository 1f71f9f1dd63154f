// The frame builder: 16 to 128 slots of 2048 chips (data, MAC, pilot in the
// fixed time-division layout, idle filler where a channel is off), two
// marker rows, then spreading, upsampling, baseband filter, optional phase
// equaliser and spectrum orientation.
//
// Modes: 1 builds every data portion from the slot settings (uncoded
// symbols); 2 is unmodulated (all ones); 3 carries the traffic packets of
// the packet table (coded, scrambled, interleaved, with preamble) and idle
// data portions elsewhere.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "onex/baseband_filter.hpp"
#include "onex/choices.hpp"
#include "onex/constants.hpp"
#include "onex/packets.hpp"

namespace tolvane {

// Chips the RF-on mask is widened by around each burst.
constexpr int kRfBlankingMargin = 4;

using SlotColumn = std::array<double, kSlots>;
// One row per slot, kRpcChannels RPC channels per row (slot-major).
using RpcMatrix = std::array<std::array<double, kRpcChannels>, kSlots>;

// The eighteen inputs of the frame builder, in their order, then the frame
// length and the packet table (which the eighteen-input call by name leaves
// at 16 slots and none).
struct FrameInputs {
    double mode = 1;
    double pilotOffsetIndex = 0;
    SlotColumn dataActive{};
    SlotColumn dataFormat{};
    std::vector<double> dataBits;
    SlotColumn raActive{};
    SlotColumn raBit{};
    SlotColumn raGainDb{};
    SlotColumn rpcChnActive{};
    RpcMatrix rpcActive{};
    RpcMatrix rpcBits{};
    RpcMatrix rpcGainsDb{};
    double idleSlotGainActive = 1;
    double idleSlotGainDb = -10;
    int oversampling = 5;  // 1 .. kMaxOversampling; 2 or more for the equiripple shapes
    FilterShape filterType = FilterShape::Acp;
    double phaseEqActive = 1;
    double mirrorSpectrum = 0;
    // Slots in the frame (a whole multiple of 16 from 16 to 128); slot k
    // takes the per-slot settings of row (k - 1) mod 16 (0-based here).
    int frameSlots = kSlots;
    // Mode 3: the packets; their payloads are taken from dataBits one after
    // another, in row order.
    std::vector<PacketRow> packets;
};

// A packet as the frame carries it (Mode 3), for receivers to compare with.
struct FramePacket {
    int startSlot = 0;            // 1-based
    std::vector<int> occupiedSlots;  // the slots it occupies, 1-based (`slots` in records)
    int drc = 0;
    int macIndex = 0;
    std::vector<double> payload;  // bits 0/1, `bits` - 22 of them
    std::array<double, kFcsBits> fcs{};
};

struct FrameResult {
    std::vector<std::complex<double>> waveform;  // frameSlots * 2048 * oversampling samples
    std::vector<double> marker1;                 // half-slot pulses
    std::vector<double> marker2;                 // RF-on mask
    std::vector<FramePacket> packets;            // Mode 3: one per row of the packet table
};

// The four RF-on masks of one slot (kSlotChips values each).
enum class SlotIdle { None, Mac, Data, Both };
std::array<double, kSlotChips> rfOnMask(SlotIdle idle);

// Builds the frame. Throws Error when DATAbits is shorter than the active
// data slots (Mode 3: the packets' payloads) consume, or an input is out of
// its domain (frameSlots not a frame length, a packet table that fails
// validatePackets). The phase
// equaliser, when on, acts on the filter shape the frame was built with.
// A caller that builds frame after frame uses the overload that builds into
// a FrameWorkspace (onex/frame_workspace.hpp) instead.
FrameResult fwdChnFrame(const FrameInputs& in);

// The chip-rate frame before spreading and the chip-rate markers (steps up
// to the flattening), exposed for inspection and tests.
struct ChipFrame {
    std::vector<std::complex<double>> chips;  // frameSlots * 2048
    std::vector<double> marker1, marker2;     // frameSlots * 2048 each
    std::vector<FramePacket> packets;         // Mode 3
};
ChipFrame buildChipFrame(const FrameInputs& in);
// The same into `out`, whose rows keep their capacity.
void buildChipFrame(const FrameInputs& in, ChipFrame& out);

}  // namespace tolvane
