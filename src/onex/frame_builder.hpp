// The frame builder: 16 slots of 2048 chips (data, MAC, pilot in the fixed
// time-division layout, idle filler where a channel is off), two marker rows,
// then spreading, upsampling, baseband filter, optional phase equaliser and
// spectrum orientation.
#pragma once

#include <array>
#include <complex>
#include <vector>

#include "onex/baseband_filter.hpp"

namespace tolvane {

constexpr int kSlots = 16;
constexpr int kSlotChips = 2048;
constexpr int kFrameChips = kSlots * kSlotChips;
constexpr int kRpcChannels = 59;
constexpr int kDataChipsPerSlot = 1600;
constexpr int kMacChipsPerSlot = 256;
constexpr int kRfBlankingMargin = 4;
constexpr double kChipRate = 1228800.0;

using SlotColumn = std::array<double, kSlots>;
// One row per slot, 59 RPC channels per row (slot-major).
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
    int oversampling = 5;
    FilterType filterType = 3.0;
    double phaseEqActive = 1;
    double mirrorSpectrum = 0;
};

struct FrameResult {
    std::vector<std::complex<double>> waveform;  // 32768 * oversampling samples
    std::vector<double> marker1;                 // half-slot pulses
    std::vector<double> marker2;                 // RF-on mask
};

// The four RF-on masks of one slot (2048 values each).
enum class SlotIdle { None, Mac, Data, Both };
std::array<double, kSlotChips> rfOnMask(SlotIdle idle);

// Builds the frame. Throws Error when DATAbits is shorter than the active
// data slots consume, or an input is out of its domain.
FrameResult fwdChnFrame(const FrameInputs& in);

// The chip-rate frame before spreading and the chip-rate markers (steps up
// to the flattening), exposed for inspection and tests.
struct ChipFrame {
    std::vector<std::complex<double>> chips;  // 32768
    std::vector<double> marker1, marker2;     // 32768 each
};
ChipFrame buildChipFrame(const FrameInputs& in);

// The numeric filter type the phase equaliser acts on for a given baseband
// filter choice (texts mapped to their numeric counterparts).
double equaliserFilterType(const FilterType& type);

}  // namespace tolvane
