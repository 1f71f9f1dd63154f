// Fixed numbers of the forward link, defined once for the chain, the
// adapters and the programs.
#pragma once

namespace tolvane {

constexpr double kChipRate = 1228800.0;  // chips per second

constexpr int kSlots = 16;                          // slots per frame
constexpr int kSlotChips = 2048;                    // chips per slot
constexpr int kFrameChips = kSlots * kSlotChips;    // 32768 chips per frame
constexpr int kPnPeriodChips = 32768;               // period of the short PN sequences
static_assert(kPnPeriodChips == kFrameChips, "a frame spans exactly one short PN period");

constexpr int kDataChipsPerSlot = 1600;  // D 400 | D 800 | D 400
constexpr int kMacChipsPerSlot = 256;    // four MAC bursts
constexpr int kMacBurstChips = 64;       // one MAC burst: one 64-chip Walsh code
constexpr int kPilotBurstChips = 96;     // one pilot burst

constexpr int kRpcChannels = 59;  // RPC sub-channels, MAC indexes 5 .. 63
constexpr int kRaMacIndex = 4;    // MAC index of the RA sub-channel

// Oversampling ratios the chain accepts: the windows keep 2 .. 30; calls by
// name may go up to 64 (a frame of 2,097,152 samples, equiripple designs of
// at most 26 * 64 taps). Ratio 1 serves only the filters that need no design.
constexpr int kMaxOversampling = 64;

}  // namespace tolvane
