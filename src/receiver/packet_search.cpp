// The packets of a recording: each preamble found names a packet's MAC index
// and, by its length, the data rates it may have; the modulation after the
// preamble and the slots the packet would occupy narrow them down, and the
// decoder's frame check picks among the rest.
#include <cmath>
#include <optional>
#include <string>

#include "onex/mod_params.hpp"
#include "onex/packets.hpp"
#include "receiver/analysis_parts.hpp"
#include "receiver/packet_decoder.hpp"

namespace tolvane::rx {

namespace {

std::vector<int> candidates(int preambleChips) {
    switch (preambleChips) {
        case 1024: return {1};
        case 512: return {2};
        case 256: return {3};
        case 128: return {4, 5};
        case 64: return {12, 11, 9, 6, 10, 8, 7};
        default: return {};
    }
}

DataKind kindOf(Modulation m) {
    switch (m) {
        case Modulation::Qpsk: return DataKind::Qpsk;
        case Modulation::Psk8: return DataKind::Psk8;
        case Modulation::Qam16: return DataKind::Qam16;
    }
    return DataKind::Qpsk;
}

std::string hexOf(const std::vector<int>& bits) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t k = 0; k < bits.size(); k += 4) {
        int v = 0;
        for (std::size_t j = 0; j < 4; ++j) v = 2 * v + (k + j < bits.size() ? bits[k + j] : 0);
        out += digits[v];
    }
    return out;
}

}  // namespace

std::vector<PacketReport> findPackets(const PacketInputs& in) {
    std::vector<SlotContent>& slots = *in.slots;
    const int count = static_cast<int>(slots.size());
    std::vector<PacketReport> reports;
    for (int s = 0; s < count; ++s) {
        const SlotContent& first = slots[static_cast<std::size_t>(s)];
        if (first.preambleChips == 0 || first.preambleMac < 0) continue;
        // The decoder's answer for the DRC it was tried with.
        struct Tried {
            int drc = 0;
            DecodedPacket decoded;
        };
        std::optional<int> chosen;
        std::optional<Tried> outcome;
        PacketDecoderOptions options;
        options.maxIterations = in.maxIterations;
        for (int drc : candidates(first.preambleChips)) {
            const ModParams params = *fwdTrfChnModParams(drc);
            if (kindOf(params.modulationType) != first.kind) continue;
            // Every slot it needs in the window carries data and no preamble of its own.
            bool fits = true;
            cvec chips;
            for (int k = 0; k < params.slots && fits; ++k) {
                const int slot = s + 4 * k;
                if (slot >= count) break;
                const SlotContent& c = slots[static_cast<std::size_t>(slot)];
                if (k > 0 && (c.preambleChips > 0 || c.kind == DataKind::Idle || c.packet)) fits = false;
                const std::size_t from = k == 0 ? static_cast<std::size_t>(first.preambleChips) : 0;
                chips.insert(chips.end(), c.dataChips.begin() + static_cast<std::ptrdiff_t>(from), c.dataChips.end());
            }
            if (!fits) continue;
            if (!chosen) chosen = drc;
            Tried tried{drc, decodePacket(chips, in.noiseVariance, drc, first.preambleMac, options)};
            if (tried.decoded.fcsOk) {
                chosen = drc;
                outcome = std::move(tried);
                break;
            }
            if (!outcome && *chosen == drc) outcome = std::move(tried);
        }
        if (!chosen) continue;
        const ModParams params = *fwdTrfChnModParams(*chosen);
        PacketReport r;
        r.startSlot = in.firstIndex + s;
        for (int k = 0; k < params.slots; ++k) {
            r.occupiedSlots.push_back(in.firstIndex + s + 4 * k);
            const int slot = s + 4 * k;
            if (slot < count) slots[static_cast<std::size_t>(slot)].packet = true;
        }
        r.drc = *chosen;
        r.macIndex = first.preambleMac;
        if (outcome && outcome->drc == *chosen) {
            r.fcsOk = outcome->decoded.fcsOk;
            r.payloadHex = hexOf(outcome->decoded.payload);
            r.iterations = outcome->decoded.iterations;
        }
        reports.push_back(std::move(r));
    }
    return reports;
}

}  // namespace tolvane::rx
