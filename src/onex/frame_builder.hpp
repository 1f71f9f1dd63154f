// The frame builder: 16 slots of 2048 chips (data, MAC, pilot in the fixed
// time-division layout, idle filler where a channel is off), two marker rows,
// then spreading, upsampling, baseband filter, optional phase equaliser and
// spectrum orientation.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "onex/baseband_filter.hpp"
#include "onex/choices.hpp"
#include "onex/constants.hpp"

namespace tolvane {

// Chips the RF-on mask is widened by around each burst.
constexpr int kRfBlankingMargin = 4;

using SlotColumn = std::array<double, kSlots>;
// One row per slot, kRpcChannels RPC channels per row (slot-major).
using RpcMatrix = std::array<std::array<double, kRpcChannels>, kSlots>;

// The eighteen inputs of the frame builder, in their order.
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
};

struct FrameResult {
    std::vector<std::complex<double>> waveform;  // kFrameChips * oversampling samples
    std::vector<double> marker1;                 // half-slot pulses
    std::vector<double> marker2;                 // RF-on mask
};

// The four RF-on masks of one slot (kSlotChips values each).
enum class SlotIdle { None, Mac, Data, Both };
std::array<double, kSlotChips> rfOnMask(SlotIdle idle);

// Builds the frame. Throws Error when DATAbits is shorter than the active
// data slots consume, or an input is out of its domain. The phase
// equaliser, when on, acts on the filter shape the frame was built with.
// A caller that builds frame after frame uses the overload that builds into
// a FrameWorkspace (onex/frame_workspace.hpp) instead.
FrameResult fwdChnFrame(const FrameInputs& in);

// The chip-rate frame before spreading and the chip-rate markers (steps up
// to the flattening), exposed for inspection and tests.
struct ChipFrame {
    std::vector<std::complex<double>> chips;  // kFrameChips
    std::vector<double> marker1, marker2;     // kFrameChips each
};
ChipFrame buildChipFrame(const FrameInputs& in);
// The same into `out`, whose rows keep their capacity.
void buildChipFrame(const FrameInputs& in, ChipFrame& out);

}  // namespace tolvane
