// The forward-link configuration the user edits (the `parameters` record),
// its defaults, the ranges the windows keep, and the calculate step that
// turns it into a waveform.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "onex/frame_builder.hpp"
#include "onex/frame_workspace.hpp"
#include "onex/packets.hpp"

namespace tolvane {

inline constexpr const char* kParameterFormatId = "OneX-Fwd - Format 1.2";

struct SlotConfig {
    SlotColumn DATAslotActive{};
    SlotColumn DATAslotMod{};
    SlotColumn RAslotActive{};
    SlotColumn RAslotValue{};
    SlotColumn RAslotGain{};
    SlotColumn RPCslotActiveChn{};
    RpcMatrix RPCslotActive{};
    RpcMatrix RPCslotValue{};
    RpcMatrix RPCslotGain{};
};

// One carrier of a multi-carrier composite (the `Carriers` field, one row
// each): its offset from the centre in Hz, its power in dB (carrier 1 is
// the reference, normally 0), its PN offset index and its cyclic delay in
// chips.
struct CarrierRow {
    double offsetHz = 0;
    double powerDb = 0;
    double pnOffset = 0;
    double delayChips = 0;
};
inline constexpr int kMaxCarriers = 16;

struct FrameConfig {
    std::string ParameterFileFormat_ID = kParameterFormatId;
    double Mode = 1;  // 1 slots as set up, 2 unmodulated, 3 traffic packets
    double PilotOffsetIndex = 0;
    double MACchnActive = 0;
    double DATAchnActive = 0;
    double DATAsourceType = 6;
    std::string DATAsourceName;
    std::vector<double> dataSourceBitstream;
    double IdleSlotGainActive = 1;
    double IdleSlotGain = -10;
    SlotConfig slot;
    double OverSampling = 5;
    double FilterType = 3;
    double PhaseEq = 1;
    double MirrorSpectrum = 0;
    // Frame length in slots (a whole multiple of 16 from 16 to 128); slot k
    // takes its settings from row ((k - 1) mod 16) + 1 of `slot`.
    double FrameSlots = 16;
    // The packets of Mode 3 (onex/packets.hpp), in the order their payloads
    // are drawn from the data source.
    std::vector<PacketRow> Packets;
    double ProjectedLength = 163840;  // FrameSlots * 2048 * OverSampling
    std::string LastPath;
    // Impairments of the calculated waveform (impair/impairments.hpp); all
    // off by default, and a record without them reads as off.
    double AWGNActive = 0;
    double CarrierToNoise = 30;       // dB in the 1.2288 MHz channel
    double FrequencyOffset = 0;       // Hz
    double IQGainImbalance = 0;       // dB
    double IQQuadratureError = 0;     // degrees
    double OriginOffsetActive = 0;
    double OriginOffset = -40;        // dBc
    double ClipPAPRActive = 0;
    double ClipPAPR = 10;             // dB
    // Two or more rows: a multi-carrier composite; none or one: one carrier.
    std::vector<CarrierRow> Carriers;
};

// Checks one row of Carriers (1-based `row` for the message): offset finite
// within +-kMaxCarrierOffsetHz, power -60 to 20 dB, PN offset a whole number
// 0 to 511, delay a whole number 0 to 2047 chips. Throws Error naming the row
// and column.
inline constexpr double kMaxCarrierOffsetHz = 17.732e6;
void checkCarrierRow(const CarrierRow& row, std::size_t index);

// The defaults the application starts with.
FrameConfig defaultFrameConfig();

// Samples of the frame: FrameSlots * 2048 * OverSampling.
double projectedLength(const FrameConfig& config);

// Bits the calculate step asks the bit source for: in Modes 1 and 2 the sum
// over the FrameSlots slots of (DATAslotMod + 1) * 1600 (slot k reading
// row ((k - 1) mod 16) + 1); in Mode 3 the packets' payloads, one after
// another (the packet table must pass validatePackets: Error otherwise).
long long requiredDataBits(const FrameConfig& config);

// The frame builder's eighteen inputs mapped from the configuration (the
// master switches multiply the per-slot activity columns).
FrameInputs frameInputs(const FrameConfig& config, std::vector<double> dataBits);

// The calculate step: data bits for all slots (Mode 3: for the packets'
// payloads), then the frame builder.
// Throws Error when the data source cannot deliver the bits, or the frame
// builder refuses an input: OverSampling must be a whole number from
// lowestOversampling(FilterType) (2 for the equiripple shapes 2 and 3, 1 for
// 1 and 4) to kMaxOversampling, DATAsourceType 1 to 8, every active
// DATAslotMod 1 to 3, PilotOffsetIndex at most 512, FrameSlots a whole
// multiple of 16 from 16 to 128, in Mode 3 a packet table that passes
// validatePackets.
FrameResult calculateFrame(const FrameConfig& config);

// The same calculation into `workspace`, for hosts that calculate again and
// again: the frame's rows are reused from one call to the next, and the
// result is bit for bit the one-shot function's. The returned reference is
// workspace.result(); it stays valid until the next calculation into the
// same workspace (see onex/frame_workspace.hpp for lifetime, failures and
// threads).
const FrameResult& calculateFrame(const FrameConfig& config, FrameWorkspace& workspace);

}  // namespace tolvane
