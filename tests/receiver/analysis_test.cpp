// The analysis against frames of the project's own generator: clean frames
// across filters, equaliser, oversampling and modes; the same frames
// shifted, rotated, scaled and offset in frequency; noise; hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/diagnostics.hpp"
#include "frames.hpp"
#include "numerics/fft.hpp"
#include "onex/mod_params.hpp"
#include "onex/packets.hpp"
#include "receiver/analysis.hpp"

namespace tolvane {
namespace {

using rxtest::cplx;
using rxtest::cvec;

const char* modulationName(double mod) { return mod == 1 ? "QPSK" : mod == 2 ? "8PSK" : "16QAM"; }

AnalysisOptions optionsFor(const FrameConfig& c) {
    AnalysisOptions o;
    o.filter = static_cast<FilterShape>(static_cast<int>(c.FilterType));
    o.phaseEq = c.PhaseEq == 1;
    return o;
}

// The report of a frame against its configuration: content and the
// clean-frame accuracy.
void expectContent(const AnalysisReport& r, const FrameConfig& c, double tolGainDb, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(r.pnOffset, static_cast<int>(c.PilotOffsetIndex));
    ASSERT_EQ(r.slotReports.size(), static_cast<std::size_t>(c.FrameSlots));
    for (const SlotReport& s : r.slotReports) {
        SCOPED_TRACE("slot " + std::to_string(s.index));
        const auto row = static_cast<std::size_t>((s.index - 1) % kSlots);
        const bool macOn = c.MACchnActive && (c.slot.RAslotActive[row] + c.slot.RPCslotActiveChn[row] >= 1);
        if (c.Mode == 1) {
            const bool dataOn = c.DATAchnActive && c.slot.DATAslotActive[row];
            EXPECT_EQ(s.data, dataOn ? modulationName(c.slot.DATAslotMod[row]) : "idle");
            EXPECT_EQ(s.dataPowerDb.has_value(), dataOn);
        }
        EXPECT_EQ(s.macPowerDb.has_value(), macOn);
        if (!macOn) continue;
        const bool raOn = c.slot.RAslotActive[row] == 1;
        EXPECT_EQ(s.raActive, raOn);
        if (raOn) {
            EXPECT_EQ(s.raBit, static_cast<int>(c.slot.RAslotValue[row]));
            EXPECT_NEAR(s.raGainDb, c.slot.RAslotGain[row], tolGainDb);
        }
        ASSERT_EQ(s.rpc.size(), 59u);
        for (std::size_t k = 0; k < 59; ++k) {
            const bool on = c.slot.RPCslotActive[row][k] == 1 && c.slot.RPCslotActiveChn[row] == 1;
            EXPECT_EQ(s.rpc[k].active, on) << "MAC index " << k + 5;
            if (!on || !s.rpc[k].active) continue;
            EXPECT_EQ(s.rpc[k].bit, static_cast<int>(c.slot.RPCslotValue[row][k])) << "MAC index " << k + 5;
            EXPECT_NEAR(s.rpc[k].gainDb, c.slot.RPCslotGain[row][k], tolGainDb) << "MAC index " << k + 5;
        }
    }
}

// Codes no slot uses lie at least 40 dB below the MAC's total power.
void expectQuietCodes(const AnalysisReport& r, const FrameConfig& c) {
    std::array<bool, 64> usedI{}, usedQ{};
    for (int s = 0; s < kSlots; ++s) {
        if (c.slot.RAslotActive[s]) usedI[2] = true;
        for (int k = 0; k < kRpcChannels; ++k)
            if (c.slot.RPCslotActive[s][k] && c.slot.RPCslotActiveChn[s]) {
                const int mac = k + 5;
                (mac % 2 ? usedQ : usedI)[static_cast<std::size_t>(mac / 2 + 32 * (mac % 2))] = true;
            }
    }
    for (std::size_t k = 0; k < 64; ++k) {
        if (!usedI[k]) { EXPECT_LE(r.codeDomain.macI[k], -40.0) << "I code " << k; }
        if (!usedQ[k]) { EXPECT_LE(r.codeDomain.macQ[k], -40.0) << "Q code " << k; }
    }
}

void expectClean(const AnalysisReport& r) {
    ASSERT_TRUE(r.rho.pilot && r.rho.mac && r.rho.data);
    EXPECT_GE(*r.rho.pilot, 0.999);
    EXPECT_GE(*r.rho.mac, 0.999);
    EXPECT_GE(*r.rho.data, 0.999);
    EXPECT_GE(r.rho.overall, 0.999);
    ASSERT_TRUE(r.evmRmsPercent);
    EXPECT_LE(*r.evmRmsPercent, 1.0);
}

struct CleanCase {
    int filter;
    bool eq;
    int os;
    int pn;
};

TEST(AnalysisClean, Mode1AcrossFiltersEqualiserAndOversampling) {
    const CleanCase cases[] = {
        {1, false, 2, 0},   {1, true, 5, 511}, {2, true, 2, 3},   {2, false, 8, 100}, {3, true, 8, 37},
        {3, false, 4, 255}, {3, true, 30, 17}, {4, false, 3, 64}, {4, true, 4, 400},  {2, true, 13, 201},
    };
    for (const CleanCase& k : cases) {
        const FrameConfig c = rxtest::mode1Config(k.filter, k.eq, k.os, k.pn);
        const FrameResult f = calculateFrame(c);
        const std::string what = "filter " + std::to_string(k.filter) + " eq " + std::to_string(k.eq) + " os " +
                                 std::to_string(k.os) + " pn " + std::to_string(k.pn);
        const AnalysisReport r = analyzeWaveform(f.waveform, k.os * kChipRate, optionsFor(c));
        SCOPED_TRACE(what);
        expectClean(r);
        expectContent(r, c, 0.1, what);
        expectQuietCodes(r, c);
        // Uncoded symbols load the 16 data codes evenly.
        for (double p : r.codeDomain.data) EXPECT_NEAR(p, -12.04, 0.5);
        EXPECT_TRUE(r.codeDomain.preamble.empty());
        EXPECT_NEAR(r.timingOffsetChips, 0.0, 0.05);
        EXPECT_NEAR(r.frequencyErrorHz, 0.0, 1.0);
        EXPECT_EQ(r.samplesPerChip, k.os);
    }
}

TEST(AnalysisClean, Mode2UnmodulatedFrame) {
    FrameConfig c = rxtest::mode1Config(3, true, 4, 123);
    c.Mode = 2;
    const FrameResult f = calculateFrame(c);
    AnalysisOptions o = optionsFor(c);
    o.pnOffset = 123;  // every slot alike: only a known offset places the slots
    const AnalysisReport r = analyzeWaveform(f.waveform, 4 * kChipRate, o);
    expectClean(r);
    EXPECT_EQ(r.pnOffset, 123);
    EXPECT_NEAR(r.timingOffsetChips, 0.0, 0.05);
    for (const SlotReport& s : r.slotReports) EXPECT_EQ(s.data, "unmodulated");
    // Searched: every slot alike, the earliest boundary is taken, which for
    // a frame recorded from its start is the right one.
    o.pnOffset.reset();
    std::vector<std::string> warnings;
    const auto previous = setWarningSink([&](const std::string& m) { warnings.push_back(m); });
    const AnalysisReport searched = analyzeWaveform(f.waveform, 4 * kChipRate, o);
    setWarningSink(previous);
    EXPECT_EQ(warnings.size(), 1u);
    EXPECT_EQ(searched.pnOffset, 123);
    EXPECT_NEAR(searched.timingOffsetChips, 0.0, 0.05);
}

// Shifts (whole samples with every filter, fractions with the equiripple
// shapes), phase, gain and carrier offsets: the same content, the offsets
// measured.
TEST(AnalysisImpaired, ShiftRotationGainAndCarrierOffset) {
    struct Case {
        int filter;
        bool eq;
        int os;
        double shiftSamples;
        double gain, phaseDeg, hz;
    };
    const Case cases[] = {
        {1, false, 4, 4 * 1500.0, 0.3, 40, 5000},   {4, true, 2, 2 * 700.0 + 1, 20.0, -170, -5000},
        {2, true, 8, 8 * 1234.0 + 3.37, 1.0, 90, 1234.5}, {3, true, 8, 8 * 511.0 + 5.5, 0.01, -60, -4321},
        {3, false, 5, 5 * 2000.0 + 0.25, 3.0, 10, 0},  {2, false, 3, 3 * 20.0 + 2.71, 1.0, 0, 4999},
    };
    for (const Case& k : cases) {
        const FrameConfig c = rxtest::mode1Config(k.filter, k.eq, k.os, 300);
        const FrameResult f = calculateFrame(c);
        const double rate = k.os * kChipRate;
        const cvec shifted = rxtest::delayCyclic(f.waveform, k.shiftSamples);
        const cvec y = rxtest::impair(shifted, k.gain, k.phaseDeg * rxtest::kPi / 180.0, k.hz, rate);
        const std::string what = "filter " + std::to_string(k.filter) + " shift " + std::to_string(k.shiftSamples) +
                                 " hz " + std::to_string(k.hz);
        const AnalysisReport r = analyzeWaveform(y, rate, optionsFor(c));
        SCOPED_TRACE(what);
        expectClean(r);
        expectContent(r, c, 0.1, what);
        EXPECT_NEAR(r.timingOffsetChips, k.shiftSamples / k.os, 0.05);
        // The default orientation conjugates the chain's output: a test's
        // offset of +f appears as such in the recording.
        EXPECT_NEAR(r.frequencyErrorHz, k.hz, 1.0);
    }
}

// Chip-band noise on a frame whose pilot, MAC and data carry the same power.
FrameConfig levelConfig(int filter, int os) {
    FrameConfig c = rxtest::mode1Config(filter, true, os, 77);
    for (int s = 0; s < kSlots; ++s) {
        c.slot.DATAslotActive[s] = 1;
        c.slot.DATAslotMod[s] = s % 2 ? 3 : 2;  // 8PSK and 16QAM: unit symbol energy like the pilot
        c.slot.RPCslotActiveChn[s] = 1;
        c.slot.RAslotActive[s] = 1;
        c.slot.RAslotGain[s] = 0;
        c.slot.RAslotValue[s] = s % 2;
        c.slot.RPCslotActive[s].fill(0);
    }
    return c;
}

TEST(AnalysisNoise, RhoAndSnrFollowTheChannelSnr) {
    for (int filter : {2, 3})
        for (double snr : {5.0, 10.0, 15.0, 20.0, 30.0}) {
            const FrameConfig c = levelConfig(filter, 4);
            const FrameResult f = calculateFrame(c);
            const cvec y = rxtest::addChannelNoise(f.waveform, 4, snr, 11 + static_cast<unsigned>(snr));
            const AnalysisReport r = analyzeWaveform(y, 4 * kChipRate, optionsFor(c));
            SCOPED_TRACE("filter " + std::to_string(filter) + " snr " + std::to_string(snr));
            EXPECT_EQ(r.pnOffset, 77);
            ASSERT_TRUE(r.rho.pilot);
            EXPECT_NEAR(*r.rho.pilot, 1.0 / (1.0 + std::pow(10.0, -snr / 10.0)), 0.01);
            EXPECT_NEAR(r.snrDb, snr, 0.5);
        }
}

TEST(AnalysisRefusals, HostileInput) {
    const double rate = 2 * kChipRate;
    AnalysisOptions o;
    EXPECT_THROW(analyzeWaveform({}, rate, o), Error);
    EXPECT_THROW(analyzeWaveform(cvec(1000, cplx(1, 0)), rate, o), Error);
    EXPECT_THROW(analyzeWaveform(cvec(5000, cplx(1, 0)), 1e6, o), Error);
    EXPECT_THROW(analyzeWaveform(cvec(5000, cplx(1, 0)), std::nan(""), o), Error);
    cvec withNan(3 * 4096, cplx(0.5, 0.5));
    withNan[100] = cplx(std::nan(""), 0);
    EXPECT_THROW(analyzeWaveform(withNan, rate, o), Error);
    EXPECT_THROW(analyzeWaveform(cvec(3 * 4096), rate, o), NoPilotFound);
    const cvec noise = rxtest::addChannelNoise(cvec(32768 * 2, cplx(1e-3, 0)), 2, -40, 5);
    EXPECT_THROW(analyzeWaveform(noise, rate, o), NoPilotFound);
    o.pnOffset = 600;
    EXPECT_THROW(analyzeWaveform(noise, rate, o), Error);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

std::string hexOf(const std::vector<double>& bits) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (std::size_t k = 0; k < bits.size(); k += 4) {
        int v = 0;
        for (std::size_t j = 0; j < 4; ++j) v = 2 * v + (k + j < bits.size() && bits[k + j] != 0 ? 1 : 0);
        out += digits[v];
    }
    return out;
}

FrameConfig packetConfig(int filter, int os, int frameSlots, std::vector<PacketRow> packets) {
    FrameConfig c = rxtest::mode1Config(filter, true, os, 250);
    c.Mode = 3;
    c.FrameSlots = frameSlots;
    c.Packets = std::move(packets);
    c.ProjectedLength = projectedLength(c);
    return c;
}

// Every packet of the frame found, named and decoded to the generator's payload.
void expectPackets(const AnalysisReport& r, const FrameResult& f) {
    ASSERT_EQ(r.packets.size(), f.packets.size());
    for (const FramePacket& p : f.packets) {
        SCOPED_TRACE("packet from slot " + std::to_string(p.startSlot) + " DRC " + std::to_string(p.drc));
        const PacketReport* found = nullptr;
        for (const PacketReport& q : r.packets)
            if (q.startSlot == p.startSlot) found = &q;
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->drc, p.drc);
        EXPECT_EQ(found->macIndex, p.macIndex);
        EXPECT_EQ(found->occupiedSlots, p.occupiedSlots);
        EXPECT_TRUE(found->fcsOk);
        EXPECT_EQ(found->payloadHex, hexOf(p.payload));
        EXPECT_GE(found->iterations, 1);
        // Its preamble in the code-domain list: MAC index and length.
        const PreambleReport* preamble = nullptr;
        for (const PreambleReport& q : r.codeDomain.preamble)
            if (q.slot == p.startSlot) preamble = &q;
        ASSERT_NE(preamble, nullptr);
        EXPECT_EQ(preamble->macIndex, p.macIndex);
        EXPECT_EQ(preamble->chips, fwdTrfChnModParams(p.drc)->preambleTDMChips);
    }
    EXPECT_EQ(r.codeDomain.preamble.size(), f.packets.size());
    for (const SlotReport& s : r.slotReports) {
        bool occupied = false;
        for (const FramePacket& p : f.packets)
            for (int k : p.occupiedSlots) occupied = occupied || k == s.index;
        EXPECT_EQ(s.data, occupied ? "packet" : "idle") << "slot " << s.index;
    }
}

TEST(AnalysisPackets, EveryRateFoundAndDecoded) {
    struct Case {
        int filter, os, slots;
        std::vector<PacketRow> packets;
    };
    const Case cases[] = {
        {3, 4, 16, {{1, 12, 5}, {2, 10, 17}, {3, 8, 63}, {4, 4, 40}, {5, 6, 6}, {9, 9, 7}, {10, 11, 33}, {11, 7, 8}, {13, 12, 9}}},
        {2, 2, 64, {{1, 1, 3}, {2, 2, 2}, {3, 3, 11}, {4, 5, 12}}},
    };
    for (const Case& k : cases) {
        const FrameConfig c = packetConfig(k.filter, k.os, k.slots, k.packets);
        const FrameResult f = calculateFrame(c);
        const AnalysisReport r = analyzeWaveform(f.waveform, k.os * kChipRate, optionsFor(c));
        SCOPED_TRACE("frame of " + std::to_string(k.slots) + " slots");
        EXPECT_EQ(r.pnOffset, 250);
        ASSERT_TRUE(r.rho.pilot && r.rho.data);
        EXPECT_GE(*r.rho.pilot, 0.999);
        EXPECT_GE(*r.rho.data, 0.999);
        ASSERT_TRUE(r.evmRmsPercent);
        EXPECT_LE(*r.evmRmsPercent, 1.0);
        expectContent(r, c, 0.1, "packets");
        expectPackets(r, f);
    }
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

// Packets of every rate under chip-band noise: all decode at 15 dB; at
// -10 dB no DRC 12 packet passes its check (or no pilot is claimed).
TEST(AnalysisPackets, NoiseDecodesAt15DbAndNothingFalseAtMinus10) {
    struct Case {
        int slots;
        std::vector<PacketRow> packets;
    };
    const Case cases[] = {
        {16, {{1, 12, 5}, {2, 10, 17}, {3, 8, 63}, {4, 4, 40}, {5, 6, 6}, {9, 9, 7}, {10, 11, 33}, {11, 7, 8}, {13, 12, 9}}},
        {64, {{1, 1, 3}, {2, 2, 2}, {3, 3, 11}, {4, 5, 12}}},
    };
    for (const Case& k : cases) {
        const FrameConfig c = packetConfig(3, 2, k.slots, k.packets);
        const FrameResult f = calculateFrame(c);
        const cvec y = rxtest::addChannelNoise(f.waveform, 2, 15.0, 99);
        const AnalysisReport r = analyzeWaveform(y, 2 * kChipRate, optionsFor(c));
        SCOPED_TRACE("frame of " + std::to_string(k.slots) + " slots at 15 dB");
        expectPackets(r, f);
    }
    const FrameConfig c = packetConfig(2, 2, 16, fillPackets(16, 12, 20));
    const FrameResult f = calculateFrame(c);
    for (unsigned seed : {1u, 2u, 3u}) {
        const cvec y = rxtest::addChannelNoise(f.waveform, 2, -10.0, seed);
        try {
            const AnalysisReport r = analyzeWaveform(y, 2 * kChipRate, optionsFor(c));
            for (const PacketReport& p : r.packets) EXPECT_FALSE(p.fcsOk) << "slot " << p.startSlot;
        } catch (const NoPilotFound&) {
        }
    }
}

// Band-limited interpolation at any instant of a cyclic frame: the frame
// upsampled four times through its spectrum, then cubic interpolation.
cvec resampleCyclic(const cvec& x, double fromRate, double toRate, double startSeconds, std::size_t count) {
    const std::size_t n = x.size(), up = 4;
    cvec s = fft(x);
    cvec wide(n * up);
    for (std::size_t b = 0; b < n; ++b) {
        const std::size_t to = b < n / 2 ? b : b + n * (up - 1);
        wide[to] = s[b] * static_cast<double>(up);
    }
    wide = ifft(wide);
    const double rate = fromRate * up;
    const auto m = static_cast<long long>(wide.size());
    auto at = [&](long long k) { return wide[static_cast<std::size_t>(((k % m) + m) % m)]; };
    cvec out(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = (startSeconds + static_cast<double>(i) / toRate) * rate;
        const auto k = static_cast<long long>(std::floor(t));
        const double u = t - static_cast<double>(k);
        const cplx p0 = at(k - 1), p1 = at(k), p2 = at(k + 1), p3 = at(k + 2);
        out[i] = p1 + 0.5 * u * (p2 - p0 + u * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3 + u * (3.0 * (p1 - p2) + p3 - p0)));
    }
    return out;
}

TEST(AnalysisResampled, TenMegahertzCaptureGivesTheSameResults) {
    for (const double hz : {0.0, -3000.0}) {
        const FrameConfig c = rxtest::mode1Config(3, true, 8, 421);
        const FrameResult f = calculateFrame(c);
        const double slot = kSlotChips / kChipRate;
        const double lead = 0.37 * slot;  // the capture starts 0.37 slot before slot 1
        const double rate = 10e6;
        cvec y = resampleCyclic(f.waveform, 8 * kChipRate, rate, -lead, static_cast<std::size_t>(16.5 * slot * rate));
        y = rxtest::impair(y, 0.5, 1.0, hz, rate);
        const AnalysisReport r = analyzeWaveform(y, rate, optionsFor(c));
        SCOPED_TRACE("carrier offset " + std::to_string(hz));
        expectClean(r);
        expectContent(r, c, 0.1, "10 MHz");
        EXPECT_EQ(r.samplesPerChip, 8);
        EXPECT_NEAR(r.timingOffsetChips, 0.37 * kSlotChips, 0.05);
        EXPECT_NEAR(r.frequencyErrorHz, hz, 1.0);
        EXPECT_NEAR(r.chipRateErrorPpm, 0.0, 0.1);
        EXPECT_FALSE(r.mirrorSpectrum);
    }
}

// A 10 MHz capture of a frame generated at 2 or 5 samples per chip: with
// the generated ratio given, the reference uses that very filter design.
TEST(AnalysisResampled, GeneratedRatioGiven) {
    for (const int os : {2, 5}) {
        const FrameConfig c = rxtest::mode1Config(3, true, os, 10);
        const FrameResult f = calculateFrame(c);
        const double slot = kSlotChips / kChipRate;
        const cvec y = resampleCyclic(f.waveform, os * kChipRate, 10e6, -0.3 * slot,
                                      static_cast<std::size_t>(16.5 * slot * 10e6));
        AnalysisOptions o = optionsFor(c);
        o.generatedOversampling = os;
        const AnalysisReport r = analyzeWaveform(y, 10e6, o);
        SCOPED_TRACE("generated at " + std::to_string(os));
        EXPECT_EQ(r.samplesPerChip, os);
        expectClean(r);
        expectContent(r, c, 0.1, "generated ratio");
        EXPECT_NEAR(r.timingOffsetChips, 0.3 * kSlotChips, 0.05);
    }
    AnalysisOptions bad;
    bad.generatedOversampling = 1;
    EXPECT_THROW(analyzeWaveform(cvec(8192, cplx(1, 0)), 10e6, bad), Error);
}

// A transmitter whose chip clock runs fast or slow: the capture's clock is
// the reference, so the frame's instants come early or late.
TEST(AnalysisResampled, ChipRateErrorMeasuredAndTakenOut) {
    const FrameConfig c = rxtest::mode1Config(2, true, 8, 12);
    FrameResult f = calculateFrame(c);
    for (auto& v : f.waveform) v = std::conj(v);  // the other orientation (MirrorSpectrum 1)
    for (const double ppm : {3.0, -8.0}) {
        const double rate = 8 * kChipRate;
        const double slot = kSlotChips / kChipRate;
        const cvec y = resampleCyclic(f.waveform, rate * (1.0 + ppm * 1e-6), rate, -0.2 * slot,
                                      static_cast<std::size_t>(16.5 * slot * rate));
        const AnalysisReport r = analyzeWaveform(y, rate, optionsFor(c));
        SCOPED_TRACE(std::to_string(ppm) + " ppm");
        EXPECT_EQ(r.pnOffset, 12);
        EXPECT_TRUE(r.mirrorSpectrum);
        EXPECT_NEAR(r.chipRateErrorPpm, ppm, 0.1);
        // Measured and taken out: the clean-frame accuracy holds.
        expectClean(r);
        expectContent(r, c, 0.1, "clock error");
        EXPECT_NEAR(r.timingOffsetChips, 0.2 * kSlotChips, 0.05);
    }
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

// I/Q gain imbalance, quadrature error and an origin offset applied by the
// test: Q' = g (Q cos(phi) + I sin(phi)), plus a constant.
TEST(AnalysisImpaired, IqImbalanceAndOriginOffset) {
    struct Case {
        double gainDb, phiDeg, originDb;
    };
    const Case cases[] = {{0.5, 0.0, -200}, {0.0, 2.0, -200}, {-0.3, -1.5, -30}, {0.0, 0.0, -25}};
    const FrameConfig c = levelConfig(3, 8);
    const FrameResult f = calculateFrame(c);
    const double power = rxtest::meanPower(f.waveform);
    for (const Case& k : cases) {
        const double g = std::pow(10.0, k.gainDb / 20.0), phi = k.phiDeg * rxtest::kPi / 180.0;
        const cplx dc = std::polar(std::sqrt(power * std::pow(10.0, k.originDb / 10.0)), 0.3);
        cvec y(f.waveform.size());
        for (std::size_t n = 0; n < y.size(); ++n) {
            const double i = f.waveform[n].real(), q = f.waveform[n].imag();
            y[n] = cplx(i, g * (q * std::cos(phi) + i * std::sin(phi))) + dc;
        }
        const AnalysisReport r = analyzeWaveform(y, 8 * kChipRate, optionsFor(c));
        SCOPED_TRACE("gain " + std::to_string(k.gainDb) + " phi " + std::to_string(k.phiDeg));
        EXPECT_NEAR(r.iqGainDb, k.gainDb, 0.05);
        EXPECT_NEAR(r.iqQuadratureDeg, k.phiDeg, 0.1);
        if (k.originDb > -100) {
            EXPECT_NEAR(r.originOffsetDb, k.originDb, 0.5);
        } else {
            EXPECT_LT(r.originOffsetDb, -60);
        }
        EXPECT_EQ(r.pnOffset, 77);
    }
}

// A second carrier 2.5 MHz away: the one asked for is analysed.
TEST(AnalysisOptionsUse, CarrierOffsetSlotRangeAndKnownOffset) {
    const FrameConfig a = rxtest::mode1Config(3, true, 8, 40);
    FrameConfig b = rxtest::mode1Config(3, true, 8, 300);
    b.slot.DATAslotMod.fill(3);
    const FrameResult fa = calculateFrame(a), fb = calculateFrame(b);
    const double rate = 8 * kChipRate;
    const cvec up = rxtest::impair(fa.waveform, 1.0, 0.0, 1.25e6, rate);
    const cvec down = rxtest::impair(fb.waveform, 1.0, 0.0, -1.25e6, rate);
    cvec both(up.size());
    for (std::size_t n = 0; n < both.size(); ++n) both[n] = up[n] + down[n];
    AnalysisOptions o = optionsFor(a);
    o.carrierOffsetHz = 1.25e6;
    AnalysisReport r = analyzeWaveform(both, rate, o);
    EXPECT_EQ(r.pnOffset, 40);
    ASSERT_TRUE(r.rho.pilot);
    EXPECT_GE(*r.rho.pilot, 0.99);
    o.carrierOffsetHz = -1.25e6;
    r = analyzeWaveform(both, rate, o);
    EXPECT_EQ(r.pnOffset, 300);
    for (const SlotReport& s : r.slotReports) EXPECT_EQ(s.data, s.index % 16 == 7 ? "idle" : "16QAM");

    // Slots 3 to 6 only, the offset known.
    o = optionsFor(a);
    o.pnOffset = 40;
    o.firstSlot = 3;
    o.lastSlot = 6;
    r = analyzeWaveform(fa.waveform, rate, o);
    ASSERT_EQ(r.slotReports.size(), 4u);
    EXPECT_EQ(r.firstSlot, 3);
    EXPECT_EQ(r.slotReports.front().index, 3);
    EXPECT_EQ(r.slotReports.front().data, "16QAM");
    EXPECT_NEAR(r.timingOffsetChips, 2.0 * kSlotChips, 0.05);
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

// Short recordings: one and two whole slots cut from a frame.
TEST(AnalysisShort, OneAndTwoSlots) {
    const FrameConfig c = rxtest::mode1Config(3, true, 4, 200);
    const FrameResult f = calculateFrame(c);
    for (int slots : {1, 2}) {
        const std::size_t from = 4 * kSlotChips * 4;  // slot 5 onwards
        const cvec y(f.waveform.begin() + static_cast<std::ptrdiff_t>(from),
                     f.waveform.begin() + static_cast<std::ptrdiff_t>(from + static_cast<std::size_t>(slots) * kSlotChips * 4));
        const AnalysisReport r = analyzeWaveform(y, 4 * kChipRate, optionsFor(c));
        SCOPED_TRACE(std::to_string(slots) + " slots");
        EXPECT_EQ(r.pnOffset, (200 - 4 * 32 + 512) % 512);  // slot 5 taken as the first
        ASSERT_EQ(r.slotReports.size(), static_cast<std::size_t>(slots));
        EXPECT_EQ(r.slotReports[0].data, "8PSK");
        ASSERT_TRUE(r.rho.pilot);
        EXPECT_GE(*r.rho.pilot, 0.99);
    }
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

// Every slot with the same MAC: the half-slot ambiguity is said, and a known
// offset settles it.
TEST(AnalysisAmbiguity, SameMacInEverySlotWarnsAndAKnownOffsetSettles) {
    FrameConfig c = rxtest::mode1Config(3, true, 4, 66);
    for (int s = 0; s < kSlots; ++s) {
        c.slot.RAslotGain[s] = -3;
        c.slot.RAslotValue[s] = 1;
        c.slot.RPCslotActive[s].fill(0);
        c.slot.RPCslotActiveChn[s] = 1;
        c.slot.RAslotActive[s] = 1;
    }
    const FrameResult f = calculateFrame(c);
    std::vector<std::string> warnings;
    const auto previous = setWarningSink([&](const std::string& m) { warnings.push_back(m); });
    const cvec early = rxtest::delayCyclic(f.waveform, 4 * 300.0);
    AnalysisReport r = analyzeWaveform(early, 4 * kChipRate, optionsFor(c));
    EXPECT_EQ(r.pnOffset, 66);
    EXPECT_NEAR(r.timingOffsetChips, 300.0, 0.05);
    EXPECT_EQ(warnings.size(), 1u);
    AnalysisOptions known = optionsFor(c);
    known.pnOffset = 66;
    const cvec late = rxtest::delayCyclic(f.waveform, 4 * 1500.0);
    r = analyzeWaveform(late, 4 * kChipRate, known);
    EXPECT_EQ(r.pnOffset, 66);
    EXPECT_NEAR(r.timingOffsetChips, 1500.0, 0.05);
    EXPECT_EQ(r.slotReports.front().index, 1);
    setWarningSink(previous);
}

}  // namespace
}  // namespace tolvane
