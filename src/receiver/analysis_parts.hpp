// Pieces of the analysis shared between its source files (not part of the
// receiver's interface): the slot layout, the content found in one slot,
// and the packet step that names, decodes and reports the packets found.
#pragma once

#include <array>
#include <complex>
#include <optional>
#include <vector>

#include "onex/choices.hpp"
#include "receiver/analysis.hpp"

namespace tolvane::rx {

using cplx = std::complex<double>;
using cvec = std::vector<cplx>;

// Chip offsets inside a slot: D 400 | M 64 | P 96 | M 64 | D 800 | M 64 | P 96 | M 64 | D 400.
inline constexpr std::array<int, 2> kPilotStarts = {464, 1488};
inline constexpr std::array<int, 4> kMacStarts = {400, 560, 1424, 1584};

// Chip offset in the slot of data position 0 .. 1599.
constexpr int dataChip(int position) {
    return position < 400 ? position : position < 1200 ? position - 400 + 624 : position - 1200 + 1648;
}

enum class DataKind { Idle, Qpsk, Psk8, Qam16, Unmodulated };

// What one slot carries, as found in its chips (despread, gain and phase
// taken out so that a pilot chip is 1).
struct SlotContent {
    bool macIdle = true;
    std::array<double, 64> macAmplitude{};  // per MAC index 0 .. 63 (its Walsh code on its branch)
    std::array<bool, 64> macActive{};
    std::array<double, 64> codeI{}, codeQ{};  // despread amplitude of each 64-chip code on I and Q
    DataKind kind = DataKind::Idle;
    int preambleChips = 0;  // a packet starts here: the preamble's length
    int preambleMac = -1;
    double preamblePower = 0;
    bool packet = false;  // the slot belongs to a packet
    cvec symbols;         // the 1600 received data symbols (16-chip Walsh domain)
    cvec refSymbols;      // their decided values (0 where a preamble is)
    cvec dataChips;       // the received data chips (1600, frame order)
};

struct PacketInputs {
    std::vector<SlotContent>* slots;  // the window's slots, in time order
    int firstIndex = 1;               // the report's number of the window's first slot
    double noiseVariance = 1e-6;      // per complex data chip
    int maxIterations = 8;
};

// Names each packet whose preamble was found (DRC from the preamble's length,
// the modulation and, where several fit, the decoder's frame check), marks
// the slots it occupies and decodes it.
std::vector<PacketReport> findPackets(const PacketInputs& in);

}  // namespace tolvane::rx
