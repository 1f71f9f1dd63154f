#include "onex/frame_config.hpp"

#include <cmath>
#include <utility>

#include "base/diagnostics.hpp"
#include "onex/bit_source.hpp"

namespace tolvane {

void checkCarrierRow(const CarrierRow& c, std::size_t index) {
    const std::string where = "Carriers row " + numberText(double(index));
    const auto within = [](double x, double lo, double hi, bool whole) {
        return std::isfinite(x) && x >= lo && x <= hi && (!whole || std::floor(x) == x);
    };
    if (!within(c.offsetHz, -kMaxCarrierOffsetHz, kMaxCarrierOffsetHz, false))
        throw Error(where + ": frequency offset " + numberText(c.offsetHz) + " Hz is outside -" +
                    numberText(kMaxCarrierOffsetHz) + " to " + numberText(kMaxCarrierOffsetHz) + " Hz.");
    if (!within(c.powerDb, -60, 20, false))
        throw Error(where + ": power " + numberText(c.powerDb) + " dB is outside -60 to 20 dB.");
    if (!within(c.pnOffset, 0, 511, true))
        throw Error(where + ": PN offset " + numberText(c.pnOffset) + " is not a whole number 0 to 511.");
    if (!within(c.delayChips, 0, kSlotChips - 1, true))
        throw Error(where + ": delay " + numberText(c.delayChips) + " is not a whole number of chips 0 to 2047.");
}

FrameConfig defaultFrameConfig() {
    FrameConfig c;
    SlotConfig& s = c.slot;
    s.DATAslotActive.fill(1);
    s.DATAslotMod.fill(1);
    s.RAslotActive.fill(1);
    s.RAslotValue.fill(1);
    s.RAslotGain.fill(-3);
    s.RPCslotActiveChn.fill(1);
    for (int slot = 0; slot < kSlots; ++slot) {
        s.RPCslotActive[slot].fill(0);
        s.RPCslotActive[slot][0] = 1;
        s.RPCslotValue[slot].fill(1);
        s.RPCslotGain[slot].fill(-3);
    }
    c.ProjectedLength = projectedLength(c);
    return c;
}

double projectedLength(const FrameConfig& config) {
    return config.FrameSlots * kSlotChips * config.OverSampling;
}

long long requiredDataBits(const FrameConfig& config) {
    if (config.Mode == 3) {
        validatePackets(config.Packets, config.FrameSlots);
        long long total = 0;
        for (const PacketRow& p : config.Packets) total += packetPayloadBits(p.drc);
        return total;
    }
    double perFrame = 0;
    for (double mod : config.slot.DATAslotMod) perFrame += (mod + 1) * kDataChipsPerSlot;
    return static_cast<long long>(perFrame * (config.FrameSlots / kSlots));
}

namespace {

// Maps everything but the data bits, which the caller puts in place.
void mapInputs(const FrameConfig& config, FrameInputs& in) {
    const SlotConfig& s = config.slot;
    in.mode = config.Mode;
    in.pilotOffsetIndex = config.PilotOffsetIndex;
    for (int slot = 0; slot < kSlots; ++slot) {
        in.dataActive[slot] = config.DATAchnActive * s.DATAslotActive[slot];
        in.dataFormat[slot] = s.DATAslotMod[slot];
        in.raActive[slot] = config.MACchnActive * s.RAslotActive[slot];
        in.raBit[slot] = s.RAslotValue[slot];
        in.raGainDb[slot] = s.RAslotGain[slot];
        in.rpcChnActive[slot] = config.MACchnActive * s.RPCslotActiveChn[slot];
    }
    in.rpcActive = s.RPCslotActive;
    in.rpcBits = s.RPCslotValue;
    in.rpcGainsDb = s.RPCslotGain;
    in.idleSlotGainActive = config.IdleSlotGainActive;
    in.idleSlotGainDb = config.IdleSlotGain;
    in.oversampling = static_cast<int>(config.OverSampling);
    in.filterType = static_cast<FilterShape>(config.FilterType);  // 1..4, checked when the record is read
    in.phaseEqActive = config.PhaseEq;
    in.mirrorSpectrum = config.MirrorSpectrum;
    // Checked where the record is read; a frame length that is no whole
    // number of 16-slot frames is refused by the frame builder.
    const double slots = config.FrameSlots;
    in.frameSlots = std::isfinite(slots) && slots >= 0 && slots <= 1e6 ? static_cast<int>(slots) : 0;
    in.packets = config.Packets;
}

}  // namespace

FrameInputs frameInputs(const FrameConfig& config, std::vector<double> dataBits) {
    FrameInputs in;
    mapInputs(config, in);
    in.dataBits = std::move(dataBits);
    return in;
}

const FrameResult& calculateFrame(const FrameConfig& config, FrameWorkspace& workspace) {
    const long long bitsReq = requiredDataBits(config);
    const double type = config.DATAsourceType;
    if (!(type >= 1 && type <= 8) || std::floor(type) != type)
        throw Error("DATAsourceType " + numberText(type) + " is not a data source (1 to 8): no data bits were generated.");
    FrameInputs& in = workspace.inputs_;
    generateBitStream(static_cast<DataSource>(type), bitsReq, config.dataSourceBitstream, in.dataBits);
    mapInputs(config, in);
    return fwdChnFrame(in, workspace);
}

FrameResult calculateFrame(const FrameConfig& config) {
    FrameWorkspace workspace;
    calculateFrame(config, workspace);
    return workspace.takeResult();
}

}  // namespace tolvane
