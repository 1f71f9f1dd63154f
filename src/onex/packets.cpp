// The packet table of the packet mode: checks, occupancy, the fill rule, and
// the frame check sequence and preamble of one packet.
#include "onex/packets.hpp"

#include <cmath>
#include <string>

#include "base/diagnostics.hpp"
#include "onex/mod_params.hpp"
#include "onex/walsh.hpp"

namespace tolvane {

namespace {

bool isWhole(double x, double lo, double hi) { return std::isfinite(x) && x >= lo && x <= hi && std::floor(x) == x; }

std::string num(double x) { return numberText(x); }

// "DRC 1 from slot 53", the way a message names a packet.
std::string packetText(const PacketRow& p) { return "DRC " + num(p.drc) + " from slot " + num(p.startSlot); }

int slotsOf(double drc) { return fwdTrfChnModParams(drc)->slots; }

// The fault of a row's DRC and MAC index, or an empty text.
std::string rateFault(double drc, double mac) {
    if (!isWhole(drc, 1, 12)) return "DRC " + num(drc) + " is not a data rate (whole numbers 1 to 12).";
    if (!std::isfinite(mac) || std::floor(mac) != mac || mac < 2 || mac == 4 || mac > 63)
        return "MAC index " + num(mac) +
               " is not a packet's MAC index (5 to 63 for traffic; 3 with DRC 1 or 2 with DRC 2 for the control "
               "channel).";
    if (mac == 3 && drc != 1)
        return "MAC index 3 (control channel, 38.4 kbit/s) goes with DRC 1, not DRC " + num(drc) + ".";
    if (mac == 2 && drc != 2)
        return "MAC index 2 (control channel, 76.8 kbit/s) goes with DRC 2, not DRC " + num(drc) + ".";
    return {};
}

}  // namespace

bool isFrameSlots(double frameSlots) {
    return isWhole(frameSlots, kMinFrameSlots, kMaxFrameSlots) && std::fmod(frameSlots, kMinFrameSlots) == 0;
}

void checkPacketRow(const PacketRow& p, std::size_t row) {
    const std::string where = "Packets row " + std::to_string(row) + ": ";
    if (!isWhole(p.startSlot, 1, kMaxFrameSlots))
        throw Error(where + "first slot " + num(p.startSlot) + " is not a slot (whole numbers 1 to " +
                    num(kMaxFrameSlots) + ").");
    const std::string fault = rateFault(p.drc, p.macIndex);
    if (!fault.empty()) throw Error(where + fault);
}

void validatePackets(const std::vector<PacketRow>& packets, double frameSlots) {
    if (!isFrameSlots(frameSlots))
        throw Error("FrameSlots " + num(frameSlots) + " is not a frame length (whole multiples of 16 from 16 to 128).");
    if (packets.size() > static_cast<std::size_t>(kMaxPackets))
        throw Error("Packets holds " + std::to_string(packets.size()) + " rows; at most " + num(kMaxPackets) +
                    " packets fit in a frame.");
    const int frame = static_cast<int>(frameSlots);
    // The row (1-based) holding each slot, 0 for none.
    std::vector<std::size_t> owner(static_cast<std::size_t>(frame) + 1, 0);
    for (std::size_t r = 0; r < packets.size(); ++r) {
        const PacketRow& p = packets[r];
        const std::size_t row = r + 1;
        checkPacketRow(p, row);
        const std::vector<int> slots = packetSlots(p);
        if (slots.back() > frame) {
            const std::string what = "Packets row " + std::to_string(row) + " (" + packetText(p) + ")";
            throw Error(what + (slots.size() == 1 ? " needs slot " : " needs slots up to ") + num(slots.back()) +
                        "; the frame has " + num(frame) + ".");
        }
        for (int s : slots) {
            std::size_t& holder = owner[static_cast<std::size_t>(s)];
            if (holder != 0) {
                const PacketRow& q = packets[holder - 1];
                throw Error("Packets rows " + std::to_string(holder) + " (" + packetText(q) + ") and " +
                            std::to_string(row) + " (" + packetText(p) + ") both need slot " + num(s) + ".");
            }
            holder = row;
        }
    }
}

std::vector<int> packetSlots(const PacketRow& p) {
    checkPacketRow(p, 1);
    const int n = slotsOf(p.drc);
    std::vector<int> slots(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) slots[static_cast<std::size_t>(k)] = static_cast<int>(p.startSlot) + kInterlaces * k;
    return slots;
}

std::vector<int> slotOccupancy(const std::vector<PacketRow>& packets, double frameSlots) {
    validatePackets(packets, frameSlots);
    std::vector<int> occupancy(static_cast<std::size_t>(frameSlots), -1);
    for (std::size_t r = 0; r < packets.size(); ++r)
        for (int s : packetSlots(packets[r])) occupancy[static_cast<std::size_t>(s - 1)] = static_cast<int>(r);
    return occupancy;
}

std::vector<PacketRow> fillPackets(double frameSlots, double drc, double macIndex) {
    if (!isFrameSlots(frameSlots))
        throw Error("FrameSlots " + num(frameSlots) + " is not a frame length (whole multiples of 16 from 16 to 128).");
    const std::string fault = rateFault(drc, macIndex);
    if (!fault.empty()) throw Error(fault);
    const int n = slotsOf(drc);
    const int frame = static_cast<int>(frameSlots);
    // A packet from slot 1 ends in slot 1 + 4(n - 1); the shortest frame
    // holding it is that rounded up to a whole multiple of 16.
    const int lastSlot = 1 + kInterlaces * (n - 1);
    if (lastSlot > frame) {
        const int needed = (lastSlot + kMinFrameSlots - 1) / kMinFrameSlots * kMinFrameSlots;
        throw Error("DRC " + num(drc) + " needs " + num(needed) + " slots; the frame has " + num(frame) + ".");
    }
    // Packets in interlace i start at i, i + 4n, i + 8n, ...; in time order
    // the first slots are those of all interlaces merged.
    std::vector<PacketRow> rows;
    const int span = kInterlaces * n;
    for (int start = 1; start <= frame; ++start) {
        const int interlace = (start - 1) % kInterlaces;
        if ((start - 1 - interlace) % span != 0) continue;
        if (start + kInterlaces * (n - 1) > frame) continue;
        rows.push_back(PacketRow{double(start), drc, macIndex});
    }
    return rows;
}

int packetPayloadBits(double drc) {
    const auto params = fwdTrfChnModParams(drc);
    if (!params) throw Error("DRC " + num(drc) + " is not a data rate (whole numbers 1 to 12).");
    return params->bits - kPacketOverheadBits;
}

std::array<double, kFcsBits> packetFcs(const std::vector<double>& payload) {
    // Register stages 0..15; feedback into stages 0, 5 and 12 from the
    // highest stage, as the generator's terms x^0, x^5, x^12 say.
    unsigned reg = 0xFFFFu;
    for (double bit : payload) {
        const unsigned in = (bit != 0 ? 1u : 0u) ^ ((reg >> 15) & 1u);
        reg = (reg << 1) & 0xFFFFu;
        if (in) reg ^= 0x1021u;
    }
    std::array<double, kFcsBits> fcs{};
    for (int k = 0; k < kFcsBits; ++k) fcs[static_cast<std::size_t>(k)] = (reg >> (15 - k)) & 1u;
    return fcs;
}

std::vector<double> physicalLayerPacket(const std::vector<double>& payload) {
    std::vector<double> packet;
    packet.reserve(payload.size() + kPacketOverheadBits);
    packet.insert(packet.end(), payload.begin(), payload.end());
    const auto fcs = packetFcs(payload);
    packet.insert(packet.end(), fcs.begin(), fcs.end());
    packet.insert(packet.end(), kPacketTailBits, 0.0);
    return packet;
}

std::array<double, 32> preambleSequence(int macIndex) {
    if (macIndex < 0 || macIndex > 63)
        throw Error("MAC index " + num(macIndex) + " has no preamble sequence (whole numbers 0 to 63).");
    static const RowMatrix<double> walsh64 = walshMatrix(64);
    const std::size_t code = static_cast<std::size_t>(macIndex / 2);
    const double sign = (macIndex % 2 == 0) ? 1.0 : -1.0;
    std::array<double, 32> seq{};
    for (std::size_t k = 0; k < 32; ++k) seq[k] = sign * walsh64.at(code, k);
    return seq;
}

std::vector<double> packetPreamble(int macIndex, int chips) {
    if (chips < 0 || chips % 32 != 0)
        throw Error("A preamble of " + num(chips) + " chips is not a whole number of 32-chip sequences.");
    const auto seq = preambleSequence(macIndex);
    std::vector<double> out(static_cast<std::size_t>(chips));
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = seq[k % 32];
    return out;
}

}  // namespace tolvane
