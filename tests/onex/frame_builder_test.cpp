// The frame builder: slot layout, bit consumption, markers and RF-on masks,
// mode 2, spectrum orientation, and the equaliser seeing the filter used.
#include <gtest/gtest.h>

#include <numeric>

#include "base/diagnostics.hpp"
#include "numerics/noise.hpp"
#include "onex/baseband_filter.hpp"
#include "onex/bit_source.hpp"
#include "onex/frame_builder.hpp"
#include "onex/frame_config.hpp"
#include "onex/mac_channel.hpp"
#include "onex/mod_params.hpp"
#include "onex/phase_equaliser.hpp"
#include "onex/spreading.hpp"
#include "onex/traffic_channel.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

// Run lengths of a 0/1 sequence, starting with the value of its first entry.
std::vector<int> runs(const double* v, std::size_t n) {
    std::vector<int> out;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == 0 || v[i] != v[i - 1]) out.push_back(0);
        ++out.back();
    }
    return out;
}

FrameInputs inputsOf(const FrameConfig& c) {
    return frameInputs(c, generateBitStream(static_cast<DataSource>(c.DATAsourceType), requiredDataBits(c), {}));
}

TEST(RfOnMask, RunLengthsWithFourChipsOfMargin) {
    struct Case {
        SlotIdle idle;
        double first;
        std::vector<int> lengths;
    } cases[] = {
        {SlotIdle::Mac, 1, {404, 56, 104, 56, 808, 56, 104, 56, 404}},
        {SlotIdle::Data, 0, {396, 232, 792, 232, 396}},
        {SlotIdle::Both, 0, {460, 104, 920, 104, 460}},
        {SlotIdle::None, 1, {2048}},
    };
    for (const auto& c : cases) {
        const auto mask = rfOnMask(c.idle);
        EXPECT_EQ(mask[0], c.first);
        EXPECT_EQ(runs(mask.data(), mask.size()), c.lengths);
    }
}

TEST(ChipFrame, DefaultsAreIdleEverywhereWithPilotBursts) {
    seedNoise(3);
    const FrameConfig config = defaultFrameConfig();  // MAC and DATA master switches off
    const ChipFrame f = buildChipFrame(inputsOf(config));
    const auto both = rfOnMask(SlotIdle::Both);
    for (int slot = 0; slot < kSlots; ++slot) {
        const std::size_t base = static_cast<std::size_t>(slot) * kSlotChips;
        EXPECT_TRUE(std::equal(both.begin(), both.end(), f.marker2.begin() + base)) << "slot " << slot + 1;
        for (std::size_t p : {464u, 1488u})
            for (std::size_t k = 0; k < 96; ++k) ASSERT_EQ(f.chips[base + p + k], cplx(1, 0));
        EXPECT_NE(f.chips[base].imag(), 0.0) << "idle data portion carries noise";
    }
    // Marker 1: the first chip of every half slot.
    for (std::size_t k = 0; k < f.marker1.size(); ++k) ASSERT_EQ(f.marker1[k], k % 1024 == 0 ? 1.0 : 0.0) << k;
}

TEST(ChipFrame, IdleNoiseOffGivesZerosAndModeTwoGivesAllOnes) {
    FrameConfig config = defaultFrameConfig();
    config.IdleSlotGainActive = 0;
    const ChipFrame idle = buildChipFrame(inputsOf(config));
    EXPECT_EQ(idle.chips[0], cplx(0, 0));
    EXPECT_EQ(idle.chips[400], cplx(0, 0));  // MAC burst

    config.Mode = 2;
    const ChipFrame flat = buildChipFrame(inputsOf(config));
    EXPECT_TRUE(std::all_of(flat.chips.begin(), flat.chips.end(), [](cplx c) { return c == cplx(1, 0); }));
    EXPECT_TRUE(std::all_of(flat.marker2.begin(), flat.marker2.end(), [](double m) { return m == 1; }));
    EXPECT_EQ(std::accumulate(flat.marker1.begin(), flat.marker1.end(), 0.0), 32.0);
}

// Data slots take their bits in slot order; a slot whose data is off takes
// none; the slot layout interleaves data, MAC and pilot chips.
TEST(ChipFrame, DataBitsAreConsumedSlotBySlotIntoTheLayout) {
    FrameConfig config = defaultFrameConfig();
    config.DATAchnActive = 1;
    config.MACchnActive = 1;
    config.slot.DATAslotMod[0] = 3;      // slot 1: 16QAM, 6400 bits
    config.slot.DATAslotActive[1] = 0;   // slot 2: off
    config.slot.RAslotActive[3] = 0;     // slot 4: MAC idle
    config.slot.RPCslotActiveChn[3] = 0;
    FrameInputs in = inputsOf(config);
    const ChipFrame f = buildChipFrame(in);

    ModParams p = *fwdTrfChnModParams(1);
    p.modulationSymbolsRequired = 1600;
    auto dataOf = [&](std::size_t firstBit, Modulation modulation) {
        p.modulationType = modulation;
        const auto n = static_cast<std::size_t>(bitsPerSymbol(modulation)) * 1600;
        std::vector<double> bits(in.dataBits.begin() + firstBit, in.dataBits.begin() + firstBit + n);
        return fwdTrfChn(bits, p, 5, {});
    };
    const auto slot1 = dataOf(0, Modulation::Qam16);
    const auto slot3 = dataOf(6400, Modulation::Qpsk);  // slot 3 follows slot 1 directly
    auto dataChipsOf = [&](int slot) {
        const std::size_t b = static_cast<std::size_t>(slot) * kSlotChips;
        std::vector<cplx> d(f.chips.begin() + b, f.chips.begin() + b + 400);
        d.insert(d.end(), f.chips.begin() + b + 624, f.chips.begin() + b + 1424);
        d.insert(d.end(), f.chips.begin() + b + 1648, f.chips.begin() + b + 2048);
        return d;
    };
    EXPECT_EQ(dataChipsOf(0), slot1);
    EXPECT_EQ(dataChipsOf(2), slot3);

    // MAC bursts of slot 1 sit at chips 401, 561, 1425, 1585.
    std::vector<double> gains(59), bits(59);
    for (int ch = 0; ch < 59; ++ch) {
        gains[ch] = config.slot.RPCslotActive[0][ch] * std::pow(10.0, -3.0 / 20);
        bits[ch] = 1;
    }
    const auto mac = fwdMacSlot(bits, gains, 1, std::pow(10.0, -3.0 / 20));
    for (auto [pos, from] : {std::pair{400, 0}, {560, 64}, {1424, 128}, {1584, 192}})
        for (int k = 0; k < 64; ++k) ASSERT_EQ(f.chips[pos + k], mac[from + k]) << pos + k;

    const auto expectMask = [&](int slot, SlotIdle idle) {
        const auto m = rfOnMask(idle);
        EXPECT_TRUE(std::equal(m.begin(), m.end(), f.marker2.begin() + slot * kSlotChips)) << "slot " << slot + 1;
    };
    expectMask(0, SlotIdle::None);
    expectMask(1, SlotIdle::Data);
    expectMask(3, SlotIdle::Mac);
}

TEST(FrameBuilder, ShortDataBitsAreAClearError) {
    FrameConfig config = defaultFrameConfig();
    config.DATAchnActive = 1;
    FrameInputs in = frameInputs(config, std::vector<double>(3200 * 15 + 10, 0.0));
    try {
        fwdChnFrame(in);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("DATAbits"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("slot 16"), std::string::npos) << e.what();
    }
}

TEST(FrameBuilder, LengthsMarkersAndSpectrumOrientation) {
    FrameConfig config = defaultFrameConfig();
    config.OverSampling = 2;
    config.IdleSlotGainActive = 0;  // deterministic
    const FrameResult plain = fwdChnFrame(inputsOf(config));
    ASSERT_EQ(plain.waveform.size(), 65536u);
    ASSERT_EQ(plain.marker1.size(), 65536u);
    for (std::size_t k : {0u, 1u, 2048u, 2049u, 4096u, 4097u}) EXPECT_EQ(plain.marker1[k], 1.0) << k;
    for (std::size_t k : {2u, 2047u, 2050u}) EXPECT_EQ(plain.marker1[k], 0.0) << k;

    config.MirrorSpectrum = 1;
    const FrameResult mirrored = fwdChnFrame(inputsOf(config));
    for (std::size_t k = 0; k < plain.waveform.size(); ++k)
        ASSERT_EQ(plain.waveform[k], std::conj(mirrored.waveform[k])) << k;
}

// The equaliser acts on the filter the frame was actually built with.
TEST(FrameBuilder, EqualiserFollowsTheFilterUsed) {
    FrameConfig config = defaultFrameConfig();
    config.IdleSlotGainActive = 0;
    config.OverSampling = 4;
    config.FilterType = 4;
    config.MirrorSpectrum = 1;
    const FrameInputs in = inputsOf(config);
    const FrameResult built = fwdChnFrame(in);

    const ChipFrame chips = buildChipFrame(in);
    auto expected = basebandFilter(upsample(fwdQuadSpreading(chips.chips, 0), 4), 4, FilterShape::None);
    expected = fwdPhaseEq(expected, 4, FilterShape::None);
    ASSERT_EQ(built.waveform.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) ASSERT_EQ(built.waveform[k], expected[k]) << k;
}

}  // namespace
}  // namespace tolvane
