#include "onex/frame_builder.hpp"

#include <cmath>
#include <optional>
#include <string>

#include "base/diagnostics.hpp"
#include "onex/frame_workspace.hpp"
#include "onex/mac_channel.hpp"
#include "onex/mod_params.hpp"
#include "onex/phase_equaliser.hpp"
#include "onex/pilot_idle.hpp"
#include "onex/spreading.hpp"
#include "onex/traffic_channel.hpp"

namespace tolvane {

namespace {

using cplx = std::complex<double>;

std::string count(std::size_t n) { return numberText(static_cast<double>(n)); }

// The modulation of an active data slot. The column holds the numbers the
// configuration stores (DATAslotMod), so it is checked here.
Modulation slotModulation(double format, int slot) {
    if (format != 1 && format != 2 && format != 3)
        throw Error("DATAformat of slot " + numberText(slot + 1) + " = " + numberText(format) +
                    " must be 1 (QPSK), 2 (8PSK) or 3 (16QAM).");
    return static_cast<Modulation>(format);
}

// Appends `count` copies of `value` to the mask at `pos`.
void fill(std::array<double, kSlotChips>& mask, int& pos, int count, double value) {
    for (int i = 0; i < count; ++i) mask[static_cast<std::size_t>(pos++)] = value;
}

}  // namespace

std::array<double, kSlotChips> rfOnMask(SlotIdle idle) {
    constexpr int m = kRfBlankingMargin;
    std::array<double, kSlotChips> mask{};
    int pos = 0;
    switch (idle) {
        case SlotIdle::None:
            fill(mask, pos, kSlotChips, 1);
            break;
        case SlotIdle::Mac:  // data present, MAC bursts may blank
            fill(mask, pos, 400 + m, 1);
            fill(mask, pos, 64 - 2 * m, 0);
            fill(mask, pos, 96 + 2 * m, 1);
            fill(mask, pos, 64 - 2 * m, 0);
            fill(mask, pos, 800 + 2 * m, 1);
            fill(mask, pos, 64 - 2 * m, 0);
            fill(mask, pos, 96 + 2 * m, 1);
            fill(mask, pos, 64 - 2 * m, 0);
            fill(mask, pos, 400 + m, 1);
            break;
        case SlotIdle::Data:  // MAC and pilot present, data may blank
            fill(mask, pos, 400 - m, 0);
            fill(mask, pos, 224 + 2 * m, 1);
            fill(mask, pos, 800 - 2 * m, 0);
            fill(mask, pos, 224 + 2 * m, 1);
            fill(mask, pos, 400 - m, 0);
            break;
        case SlotIdle::Both:  // only the pilot bursts
            fill(mask, pos, 464 - m, 0);
            fill(mask, pos, 96 + 2 * m, 1);
            fill(mask, pos, 928 - 2 * m, 0);
            fill(mask, pos, 96 + 2 * m, 1);
            fill(mask, pos, 464 - m, 0);
            break;
    }
    return mask;
}

namespace {

// Mode 3: the data chips of every packet (preamble, then the coded chain's
// chips), 1600 per occupied slot, and the packets as the result lists them.
// `owner` and `ordinal` give, per slot, the packet's row and which of its
// slots it is (-1: none).
struct PacketChips {
    std::vector<std::vector<cplx>> streams;
    std::vector<int> owner, ordinal;
};

PacketChips buildPackets(const FrameInputs& in, std::vector<FramePacket>& listed) {
    PacketChips pc;
    pc.owner = slotOccupancy(in.packets, in.frameSlots);  // validates the table
    pc.ordinal.assign(pc.owner.size(), -1);
    listed.resize(in.packets.size());
    pc.streams.resize(in.packets.size());
    constexpr TrafficSwitches kCoded{true, true, true};
    const double rootTwo = std::sqrt(2.0);
    std::size_t bitCounter = 0;
    for (std::size_t r = 0; r < in.packets.size(); ++r) {
        const PacketRow& row = in.packets[r];
        const ModParams params = *fwdTrfChnModParams(row.drc);
        const auto payloadBits = static_cast<std::size_t>(params.bits - kPacketOverheadBits);
        if (bitCounter + payloadBits > in.dataBits.size())
            throw Error("DATAbits holds " + count(in.dataBits.size()) + " bits but packet " + count(r + 1) +
                        " needs bits " + count(bitCounter + 1) + " to " + count(bitCounter + payloadBits) + ".");
        FramePacket& p = listed[r];
        p.startSlot = static_cast<int>(row.startSlot);
        p.occupiedSlots = packetSlots(row);
        p.drc = params.drcValue;
        p.macIndex = static_cast<int>(row.macIndex);
        p.payload.assign(in.dataBits.begin() + static_cast<std::ptrdiff_t>(bitCounter),
                         in.dataBits.begin() + static_cast<std::ptrdiff_t>(bitCounter + payloadBits));
        bitCounter += payloadBits;
        p.fcs = packetFcs(p.payload);

        std::vector<double> packet = p.payload;
        packet.insert(packet.end(), p.fcs.begin(), p.fcs.end());
        packet.insert(packet.end(), kPacketTailBits, 0.0);
        const std::vector<cplx> coded = fwdTrfChn(packet, params, p.macIndex, kCoded);

        // Preamble on the in-phase branch, then the chain's chips; QPSK at
        // unit symbol energy like the other modulations.
        std::vector<cplx>& stream = pc.streams[r];
        stream.resize(static_cast<std::size_t>(kDataChipsPerSlot) * p.occupiedSlots.size());
        const std::vector<double> preamble = packetPreamble(p.macIndex, params.preambleTDMChips);
        std::size_t k = 0;
        for (double c : preamble) stream[k++] = cplx(c, 0.0);
        const bool qpsk = params.modulationType == Modulation::Qpsk;
        for (std::size_t i = 0; i < coded.size() && k < stream.size(); ++i)
            stream[k++] = qpsk ? coded[i] / rootTwo : coded[i];
        for (std::size_t j = 0; j < p.occupiedSlots.size(); ++j)
            pc.ordinal[static_cast<std::size_t>(p.occupiedSlots[j] - 1)] = static_cast<int>(j);
    }
    return pc;
}

}  // namespace

void buildChipFrame(const FrameInputs& in, ChipFrame& out) {
    if (!isFrameSlots(in.frameSlots))
        throw Error("FrameSlots " + numberText(in.frameSlots) +
                    " is not a frame length (whole multiples of 16 from 16 to 128).");
    const int frameSlots = in.frameSlots;
    const std::size_t frameChips = static_cast<std::size_t>(frameSlots) * kSlotChips;

    // Mode 3 checks the packet table and codes every packet before any row
    // of the frame changes.
    PacketChips packets;
    std::vector<FramePacket> listed;
    if (in.mode == 3) packets = buildPackets(in, listed);

    out.chips.assign(frameChips, cplx(1.0, 0.0));
    out.marker1.assign(frameChips, 0.0);
    out.marker2.assign(frameChips, 1.0);
    out.packets = std::move(listed);

    // Marker 1 pulses on the first chip of every half slot, in every mode.
    for (int slot = 0; slot < frameSlots; ++slot) {
        out.marker1[static_cast<std::size_t>(slot * kSlotChips)] = 1.0;
        out.marker1[static_cast<std::size_t>(slot * kSlotChips + kSlotChips / 2)] = 1.0;
    }
    if (in.mode != 1 && in.mode != 3) return;  // unmodulated: all ones, RF always on

    const std::vector<double> pilot = fwdPilot();
    const auto maskMac = rfOnMask(SlotIdle::Mac);
    const auto maskData = rfOnMask(SlotIdle::Data);
    const auto maskBoth = rfOnMask(SlotIdle::Both);

    std::optional<ModParams> rate1 = fwdTrfChnModParams(1);
    std::size_t bitCounter = 0;
    std::vector<double> rpcGains(kRpcChannels), rpcBits(kRpcChannels);

    for (int slot = 0; slot < frameSlots; ++slot) {
        const int row = slot % kSlots;  // the slot settings' row
        // MAC part: RA and RPC amplitudes, zero where off.
        std::vector<cplx> macChips;
        bool macIdle;
        if (in.rpcChnActive[row] + in.raActive[row] >= 1) {
            const double raGain = in.raActive[row] * std::pow(10.0, in.raGainDb[row] / 20.0);
            for (int ch = 0; ch < kRpcChannels; ++ch) {
                rpcGains[ch] = in.rpcActive[row][ch] * std::pow(10.0, in.rpcGainsDb[row][ch] / 20.0) *
                               in.rpcChnActive[row];
                rpcBits[ch] = in.rpcBits[row][ch];
            }
            macChips = fwdMacSlot(rpcBits, rpcGains, in.raBit[row], raGain);
            macIdle = false;
        } else {
            macChips = fwdIdleSlot(in.idleSlotGainActive != 0, in.idleSlotGainDb, kMacChipsPerSlot);
            macIdle = true;
        }

        // Data part. Mode 1: one rate-1 packet record reshaped to one slot of
        // chips. Mode 3: the slot's share of its packet's chips.
        std::vector<cplx> dataChips;
        const cplx* data = nullptr;
        bool dataIdle = true;
        if (in.mode == 3) {
            const int owner = packets.owner[static_cast<std::size_t>(slot)];
            if (owner >= 0) {
                const int ordinal = packets.ordinal[static_cast<std::size_t>(slot)];
                data = packets.streams[static_cast<std::size_t>(owner)].data() +
                       static_cast<std::size_t>(ordinal) * kDataChipsPerSlot;
                dataIdle = false;
            }
        } else if (in.dataActive[row] == 1) {
            ModParams params = *rate1;
            params.modulationSymbolsRequired = kDataChipsPerSlot;
            params.modulationType = slotModulation(in.dataFormat[row], row);
            const std::size_t need =
                static_cast<std::size_t>(bitsPerSymbol(params.modulationType)) * kDataChipsPerSlot;
            if (bitCounter + need > in.dataBits.size())
                throw Error("DATAbits holds " + count(in.dataBits.size()) + " bits but slot " + numberText(slot + 1) +
                            " needs bits " + count(bitCounter + 1) + " to " + count(bitCounter + need) + ".");
            std::vector<double> bits(in.dataBits.begin() + static_cast<std::ptrdiff_t>(bitCounter),
                                     in.dataBits.begin() + static_cast<std::ptrdiff_t>(bitCounter + need));
            dataChips = fwdTrfChn(bits, params, 5, TrafficSwitches{});
            bitCounter += need;
            dataIdle = false;
        }
        if (dataIdle) dataChips = fwdIdleSlot(in.idleSlotGainActive != 0, in.idleSlotGainDb, kDataChipsPerSlot);
        if (!data) data = dataChips.data();

        const std::size_t base = static_cast<std::size_t>(slot) * kSlotChips;
        const std::array<double, kSlotChips>* mask = nullptr;
        if (macIdle && dataIdle) mask = &maskBoth;
        else if (dataIdle) mask = &maskData;
        else if (macIdle) mask = &maskMac;
        if (mask) std::copy(mask->begin(), mask->end(), out.marker2.begin() + static_cast<std::ptrdiff_t>(base));

        // Slot layout: D 400 | M 64 | P 96 | M 64 | D 800 | M 64 | P 96 | M 64 | D 400.
        cplx* s = out.chips.data() + base;
        auto put = [&](const cplx* src, std::size_t from, std::size_t count) {
            for (std::size_t i = 0; i < count; ++i) *s++ = src[from + i];
        };
        auto putPilot = [&]() {
            for (double p : pilot) *s++ = cplx(p, 0.0);
        };
        put(data, 0, 400);
        put(macChips.data(), 0, 64);
        putPilot();
        put(macChips.data(), 64, 64);
        put(data, 400, 800);
        put(macChips.data(), 128, 64);
        putPilot();
        put(macChips.data(), 192, 64);
        put(data, 1200, 400);
    }
}

ChipFrame buildChipFrame(const FrameInputs& in) {
    ChipFrame out;
    buildChipFrame(in, out);
    return out;
}

const FrameResult& fwdChnFrame(const FrameInputs& in, FrameWorkspace& ws) {
    if (in.oversampling < lowestOversampling(in.filterType) || in.oversampling > kMaxOversampling)
        throw Error("oversamplingRate = " + numberText(in.oversampling) + " must be a whole number from " +
                    numberText(lowestOversampling(in.filterType)) + " to " + numberText(kMaxOversampling) + ".");
    buildChipFrame(in, ws.chips_);
    fwdQuadSpreading(ws.chips_.chips, in.pilotOffsetIndex, ws.spread_);

    // Every input has been checked by now; only from here on do the result
    // rows change, so a refused configuration leaves the last result whole.
    FrameResult& out = ws.result_;
    try {
        // Upsampling and filtering in one polyphase pass over the chip row.
        basebandFilterChips(ws.spread_, in.oversampling, in.filterType, out.waveform, ws.filterScratch_);
        if (in.phaseEqActive == 1)
            fwdPhaseEqInPlace(out.waveform, in.oversampling, in.filterType, ws.equaliserScratch_);
        if (in.mirrorSpectrum == 0)
            for (auto& z : out.waveform) z = std::conj(z);
        upsampleMarker(ws.chips_.marker1, in.oversampling, out.marker1);
        upsampleMarker(ws.chips_.marker2, in.oversampling, out.marker2);
        out.packets = ws.chips_.packets;
    } catch (...) {
        // Half-made rows are never left to look like a frame.
        out.waveform.clear();
        out.marker1.clear();
        out.marker2.clear();
        out.packets.clear();
        throw;
    }
    return out;
}

FrameResult fwdChnFrame(const FrameInputs& in) {
    FrameWorkspace workspace;
    fwdChnFrame(in, workspace);
    return workspace.takeResult();
}

FrameResult FrameWorkspace::takeResult() {
    FrameResult taken = std::move(result_);
    result_ = FrameResult{};
    return taken;
}

void FrameWorkspace::release() { *this = FrameWorkspace{}; }

std::size_t FrameWorkspace::capacityBytes() const {
    const auto complexRow = [](const std::vector<cplx>& v) { return v.capacity() * sizeof(cplx); };
    const auto realRow = [](const std::vector<double>& v) { return v.capacity() * sizeof(double); };
    return realRow(inputs_.dataBits) + complexRow(chips_.chips) + realRow(chips_.marker1) +
           realRow(chips_.marker2) + complexRow(spread_) + complexRow(filterScratch_) +
           complexRow(equaliserScratch_) + complexRow(result_.waveform) + realRow(result_.marker1) +
           realRow(result_.marker2);
}

}  // namespace tolvane
