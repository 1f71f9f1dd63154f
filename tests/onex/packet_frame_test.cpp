// Longer frames (FrameSlots) and the packet mode in the frame builder: the
// slot settings repeating every 16 slots, data bits running on, placement of
// preamble and coded chips in the packets' data positions, idle slots, and
// the packets the result lists.
#include <gtest/gtest.h>

#include <cmath>

#include "base/diagnostics.hpp"
#include "onex/bit_source.hpp"
#include "onex/frame_builder.hpp"
#include "onex/frame_config.hpp"
#include "onex/mod_params.hpp"
#include "onex/packets.hpp"
#include "onex/traffic_channel.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

// Chip offsets (within a slot) of data positions 0 .. 1599, in time order.
std::size_t dataChip(std::size_t position) {
    if (position < 400) return position;
    if (position < 1200) return position - 400 + 624;
    return position - 1200 + 1648;
}

FrameConfig quietConfig() {
    FrameConfig c = defaultFrameConfig();
    c.MACchnActive = 1;
    c.DATAchnActive = 1;
    c.IdleSlotGainActive = 0;  // idle portions are zeros
    c.slot.DATAslotMod = {1, 2, 3, 1, 2, 3, 3, 2, 1, 1, 3, 2, 1, 2, 3, 1};
    c.slot.DATAslotActive.fill(1);
    c.slot.DATAslotActive[6] = 0;
    c.slot.RAslotActive[3] = 0;
    c.slot.RPCslotActiveChn[3] = 0;  // slot row 4: MAC idle
    return c;
}

FrameInputs inputsOf(const FrameConfig& c) {
    return frameInputs(c, generateBitStream(static_cast<DataSource>(c.DATAsourceType), requiredDataBits(c), {}));
}

std::vector<cplx> slotChips(const ChipFrame& f, int slot) {  // slot from 1
    const auto from = f.chips.begin() + static_cast<std::ptrdiff_t>(slot - 1) * kSlotChips;
    return {from, from + kSlotChips};
}

TEST(LongFrame, SlotSettingsRepeatAndDataBitsRunOn) {
    FrameConfig c16 = quietConfig();
    FrameConfig c48 = c16;
    c48.FrameSlots = 48;
    const FrameInputs in48 = inputsOf(c48);
    const ChipFrame f48 = buildChipFrame(in48);
    ASSERT_EQ(f48.chips.size(), 48u * 2048);
    ASSERT_EQ(f48.marker2.size(), 48u * 2048);

    // Each run of 16 slots is the 16-slot frame made from the bits that
    // follow those of the slots before it.
    const long long perFrame = requiredDataBits(c16);
    EXPECT_EQ(requiredDataBits(c48), 3 * perFrame);
    std::size_t used = 0;  // bits the active slots of one 16-slot frame take
    for (int s = 0; s < 16; ++s)
        if (c16.slot.DATAslotActive[s] == 1) used += (c16.slot.DATAslotMod[s] + 1) * 1600;
    for (int part = 0; part < 3; ++part) {
        std::vector<double> bits(in48.dataBits.begin() + static_cast<std::ptrdiff_t>(part * used), in48.dataBits.end());
        bits.resize(static_cast<std::size_t>(perFrame));
        const ChipFrame f16 = buildChipFrame(frameInputs(c16, bits));
        for (std::size_t k = 0; k < f16.chips.size(); ++k) {
            const std::size_t at = static_cast<std::size_t>(part) * 32768 + k;
            ASSERT_EQ(f48.chips[at], f16.chips[k]) << "part " << part << " chip " << k;
            ASSERT_EQ(f48.marker1[at], f16.marker1[k]);
            ASSERT_EQ(f48.marker2[at], f16.marker2[k]);
        }
    }

    // Mode 2 over 32 slots: all ones, marker 1 on every half slot.
    FrameConfig m2 = c16;
    m2.Mode = 2;
    m2.FrameSlots = 32;
    const ChipFrame f2 = buildChipFrame(inputsOf(m2));
    ASSERT_EQ(f2.chips.size(), 32u * 2048);
    for (const cplx& z : f2.chips) ASSERT_EQ(z, cplx(1, 0));
    double pulses = 0;
    for (double m : f2.marker1) pulses += m;
    EXPECT_EQ(pulses, 64);

    // Whole frames: the waveform and ProjectedLength follow.
    c48.OverSampling = 3;
    c48.FilterType = 1;
    EXPECT_EQ(calculateFrame(c48).waveform.size(), 48u * 2048 * 3);
    EXPECT_EQ(projectedLength(c48), 48.0 * 2048 * 3);
    c48.FrameSlots = 40;
    EXPECT_THROW(calculateFrame(c48), Error);
}

// The chips a packet's slots must hold: preamble, then the chain's chips
// (QPSK divided by sqrt 2), 1600 per slot.
std::vector<cplx> expectedStream(const FramePacket& p) {
    const ModParams params = *fwdTrfChnModParams(p.drc);
    std::vector<cplx> stream;
    for (double c : packetPreamble(p.macIndex, params.preambleTDMChips)) stream.emplace_back(c, 0.0);
    const std::vector<cplx> coded =
        fwdTrfChn(physicalLayerPacket(p.payload), params, p.macIndex, TrafficSwitches{true, true, true});
    const double scale = params.modulationType == Modulation::Qpsk ? std::sqrt(2.0) : 1.0;
    for (const cplx& z : coded) stream.push_back(z / scale);
    return stream;
}

TEST(PacketFrame, PreambleAndCodedChipsFillThePacketsDataPositions) {
    FrameConfig c = quietConfig();
    c.Mode = 3;
    c.FrameSlots = 32;
    // Rows out of time order; odd and even MAC indexes; one packet per
    // interlace spanning it, others between.
    c.Packets = {{3, 4, 6}, {1, 12, 9}, {2, 3, 63}, {4, 2, 2}, {21, 8, 40}, {31, 6, 5}};
    const FrameInputs in = inputsOf(c);
    const ChipFrame f = buildChipFrame(in);
    ASSERT_EQ(f.packets.size(), c.Packets.size());

    std::vector<bool> carried(33, false);
    std::size_t bitCounter = 0;
    for (std::size_t r = 0; r < c.Packets.size(); ++r) {
        const FramePacket& p = f.packets[r];
        const ModParams params = *fwdTrfChnModParams(c.Packets[r].drc);
        EXPECT_EQ(p.startSlot, c.Packets[r].startSlot);
        EXPECT_EQ(p.drc, c.Packets[r].drc);
        EXPECT_EQ(p.macIndex, c.Packets[r].macIndex);
        EXPECT_EQ(p.occupiedSlots, packetSlots(c.Packets[r]));
        // Payloads come from the data source in row order.
        ASSERT_EQ(p.payload.size(), std::size_t(params.bits - 22));
        EXPECT_TRUE(std::equal(p.payload.begin(), p.payload.end(),
                               in.dataBits.begin() + static_cast<std::ptrdiff_t>(bitCounter)));
        bitCounter += p.payload.size();
        const auto fcs = packetFcs(p.payload);
        EXPECT_EQ(p.fcs, fcs);

        const std::vector<cplx> stream = expectedStream(p);
        ASSERT_EQ(stream.size(), 1600u * p.occupiedSlots.size());
        for (std::size_t j = 0; j < p.occupiedSlots.size(); ++j) {
            const int slot = p.occupiedSlots[j];
            carried[static_cast<std::size_t>(slot)] = true;
            const std::vector<cplx> chips = slotChips(f, slot);
            for (std::size_t d = 0; d < 1600; ++d)
                ASSERT_EQ(chips[dataChip(d)], stream[1600 * j + d]) << "packet " << r + 1 << " slot " << slot << " d " << d;
        }
        // The preamble: I only, +-1, the MAC index's sequence.
        const auto seq = preambleSequence(p.macIndex);
        const std::vector<cplx> first = slotChips(f, p.startSlot);
        for (int d = 0; d < params.preambleTDMChips; ++d)
            ASSERT_EQ(first[dataChip(std::size_t(d))], cplx(seq[std::size_t(d % 32)], 0.0)) << d;
    }
    // Every other slot has an idle (here zero) data portion; its MAC and
    // pilot are those of the slot settings' row.
    const ChipFrame mode1 = buildChipFrame(inputsOf([&] {
        FrameConfig m = c;
        m.Mode = 1;
        m.DATAchnActive = 0;
        return m;
    }()));
    for (int slot = 1; slot <= 32; ++slot) {
        const std::vector<cplx> chips = slotChips(f, slot), idle = slotChips(mode1, slot);
        for (std::size_t k = 0; k < 2048; ++k) {
            const bool data = k < 400 || (k >= 624 && k < 1424) || k >= 1648;
            if (!data || !carried[std::size_t(slot)]) {
                ASSERT_EQ(chips[k], idle[k]) << slot << " " << k;
            }
        }
        // RF-on mask: as Mode 1 with the data portion idle or carried.
        const auto row = std::size_t((slot - 1) % 16);
        const bool macIdle = c.slot.RAslotActive[row] + c.slot.RPCslotActiveChn[row] < 1;
        const SlotIdle want = carried[std::size_t(slot)] ? (macIdle ? SlotIdle::Mac : SlotIdle::None)
                                                         : (macIdle ? SlotIdle::Both : SlotIdle::Data);
        const auto mask = rfOnMask(want);
        for (std::size_t k = 0; k < 2048; ++k)
            ASSERT_EQ(f.marker2[std::size_t(slot - 1) * 2048 + k], mask[k]) << slot << " " << k;
    }
}

TEST(PacketFrame, PreambleLengthPerDrcAndUnitEnergyQpsk) {
    const int preamble[12] = {1024, 512, 256, 128, 128, 64, 64, 64, 64, 64, 64, 64};
    for (int drc = 1; drc <= 12; ++drc) {
        FrameConfig c = quietConfig();
        c.Mode = 3;
        c.FrameSlots = 64;
        c.Packets = {{1, double(drc), drc == 1 ? 3.0 : drc == 2 ? 2.0 : 5.0 + drc}};
        const ChipFrame f = buildChipFrame(inputsOf(c));
        const std::vector<cplx> first = slotChips(f, 1);
        // The preamble is exactly P chips of +-1 on I; the chain's first chip
        // follows at data position P.
        const FramePacket& p = f.packets.at(0);
        const std::vector<cplx> stream = expectedStream(p);
        EXPECT_EQ(stream[std::size_t(preamble[drc - 1])], first[dataChip(std::size_t(preamble[drc - 1]))]) << drc;
        int run = 0;
        while (run < 1600 && first[dataChip(std::size_t(run))].imag() == 0 &&
               std::abs(first[dataChip(std::size_t(run))].real()) == 1)
            ++run;
        EXPECT_EQ(run, std::min(1600, preamble[drc - 1])) << "DRC " << drc;
        // Average symbol energy of the data chips after the preamble: the 16
        // Walsh-covered streams at 1/4 amplitude give the symbols' energy,
        // which is 1 for every modulation.
        double energy = 0;
        for (std::size_t d = std::size_t(preamble[drc - 1]); d < stream.size(); ++d) energy += std::norm(stream[d]);
        energy /= double(stream.size() - std::size_t(preamble[drc - 1]));
        EXPECT_NEAR(energy, 1.0, 0.1) << "DRC " << drc;
    }
}

TEST(PacketFrame, DataSettingsDoNotApplyInModeThree) {
    FrameConfig a = quietConfig();
    a.Mode = 3;
    a.Packets = {{1, 12, 5}, {6, 7, 11}};
    FrameConfig b = a;
    b.DATAchnActive = 0;
    b.slot.DATAslotActive.fill(0);
    b.slot.DATAslotMod.fill(3);
    EXPECT_EQ(buildChipFrame(inputsOf(a)).chips, buildChipFrame(inputsOf(b)).chips);
    EXPECT_EQ(requiredDataBits(a), 4074 + 2026);
}

TEST(PacketFrame, RefusedTablesLeaveTheLastFrame) {
    FrameConfig good = quietConfig();
    good.Mode = 3;
    good.Packets = fillPackets(16, 12);
    good.OverSampling = 2;
    good.FilterType = 1;
    FrameWorkspace workspace;
    const FrameResult& r = calculateFrame(good, workspace);
    ASSERT_EQ(r.packets.size(), 16u);
    const std::vector<cplx> kept = r.waveform;

    FrameConfig bad = good;
    bad.FrameSlots = 64;
    bad.Packets = {{1, 12, 5}, {2, 12, 5}, {53, 1, 5}};
    try {
        calculateFrame(bad, workspace);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Packets row 3 (DRC 1 from slot 53) needs slots up to 113; the frame has 64.");
    }
    EXPECT_EQ(workspace.result().waveform, kept);
    EXPECT_EQ(workspace.result().packets.size(), 16u);

    // Too few data bits for the packets is an error naming the packet.
    FrameInputs in = inputsOf(good);
    in.dataBits.resize(4074 * 15 + 10);
    try {
        buildChipFrame(in);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "DATAbits holds 61120 bits but packet 16 needs bits 61111 to 65184.");
    }
    // A mode other than 3 lists no packets.
    good.Mode = 1;
    EXPECT_TRUE(calculateFrame(good, workspace).packets.empty());
}

}  // namespace
}  // namespace tolvane
