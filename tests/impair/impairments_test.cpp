// The impairments and multi-carrier composites: the clean frame kept bit
// for bit when they are off, the added noise's power in the channel, the
// refusals, and what the verification receiver measures on impaired frames
// (the receiver shares no code with the impairments).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "../receiver/frames.hpp"
#include "base/diagnostics.hpp"
#include "impair/impairments.hpp"
#include "numerics/fft.hpp"
#include "numerics/noise.hpp"
#include "onex/bit_source.hpp"
#include "receiver/analysis.hpp"
#include "runtime/parameters_value.hpp"
#include "session/generate_job.hpp"
#include "session/session.hpp"

namespace tolvane {
namespace {

using rxtest::cplx;
using rxtest::cvec;

// The frame of `config` with its impairments, the idle noise and the added
// noise both seeded by `seed`.
cvec impaired(const FrameConfig& config, std::uint64_t seed, ImpairmentReport* report = nullptr) {
    FrameWorkspace work;
    ImpairWorkspace impair;
    seedNoise(seed);
    const ImpairmentReport r = calculateImpairedFrame(config, work, impair, seed);
    if (report) *report = r;
    return work.result().waveform;
}

cvec clean(const FrameConfig& config, std::uint64_t seed) {
    seedNoise(seed);
    return calculateFrame(config).waveform;
}

// Power in |f - centre| <= 0.6144 MHz, per sample (Parseval over the whole
// frame).
double inBandPower(const cvec& x, double rate, double centreHz = 0) {
    const cvec s = fft(x);
    const std::size_t n = s.size();
    double sum = 0;
    for (std::size_t b = 0; b < n; ++b) {
        const double f = (b < (n + 1) / 2 ? double(b) : double(b) - double(n)) * rate / double(n);
        if (std::abs(f - centreHz) <= kNoiseChannelHz / 2) sum += std::norm(s[b]);
    }
    return sum / (double(n) * double(n));
}

double db(double x) { return 10 * std::log10(x); }

// The receiver's frame: pilot, MAC and data on, an idle data portion (with
// its idle noise) in slot 7.
FrameConfig busyConfig(int os, int pn = 77) { return rxtest::mode1Config(3, true, os, pn); }

TEST(ImpairOff, EveryFieldPresentButOffGivesThePlainFrameBitForBit) {
    // Through the record, so every new field is present (at its "off"
    // value, with non-default levels behind the switches).
    FrameConfig base = busyConfig(4);
    base.CarrierToNoise = 3;
    base.OriginOffset = -20;
    base.ClipPAPR = 4;
    FrameConfig single = base;
    single.Carriers = {{2.0e6, -3, 100, 5}};  // one row: one carrier, as without the field
    FrameConfig mode3 = defaultFrameConfig();
    mode3.Mode = 3;
    mode3.Packets = {{1, 12, 5}, {2, 12, 6}};
    for (const FrameConfig& c : {base, single, mode3}) {
        const Value record = parametersToValue(c);
        ASSERT_TRUE(record.hasField("AWGNActive") && record.hasField("Carriers") && record.hasField("ClipPAPR"));
        const FrameConfig read = parametersFromValue(record);
        EXPECT_FALSE(impairmentsOn(read));
        const cvec a = clean(c, 5), b = impaired(read, 5);
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(cplx)));
    }
    // A record written before the fields existed reads as all off.
    Value older = parametersToValue(defaultFrameConfig());
    for (const char* name : {"AWGNActive", "CarrierToNoise", "FrequencyOffset", "IQGainImbalance",
                             "IQQuadratureError", "OriginOffsetActive", "OriginOffset", "ClipPAPRActive", "ClipPAPR",
                             "Carriers"})
        older.rec().remove(name);
    const FrameConfig read = parametersFromValue(older);
    EXPECT_FALSE(impairmentsOn(read));
    EXPECT_TRUE(read.Carriers.empty());
}

// Noisy minus clean of one seed is the added noise alone (so the idle
// noise did not change), with the stated power in the channel and a flat
// density over the sample rate.
TEST(ImpairNoise, ChannelPowerIsCarrierPowerLessCarrierToNoise) {
    for (int os : {2, 5})
        for (double cn : {30.0, 10.0, 0.0, -20.0}) {
            FrameConfig c = busyConfig(os);
            const cvec x = clean(c, 21);
            c.AWGNActive = 1;
            c.CarrierToNoise = cn;
            ImpairmentReport report;
            const cvec y = impaired(c, 21, &report);
            ASSERT_EQ(x.size(), y.size());
            cvec noise(x.size());
            for (std::size_t n = 0; n < x.size(); ++n) noise[n] = y[n] - x[n];
            const double rate = os * kChipRate;
            const double carrier = rxtest::meanPower(x);
            SCOPED_TRACE("os " + std::to_string(os) + " C/N " + std::to_string(cn));
            EXPECT_NEAR(db(report.carrierPower), db(carrier), 1e-9);
            EXPECT_NEAR(db(inBandPower(noise, rate)), db(carrier) - cn, 0.1);
            EXPECT_NEAR(db(rxtest::meanPower(noise)), db(carrier) - cn + db(rate / kNoiseChannelHz), 0.1);
        }
    // The same seed, the same noise; another seed, other noise.
    FrameConfig c = busyConfig(2);
    c.AWGNActive = 1;
    EXPECT_EQ(impaired(c, 3), impaired(c, 3));
    EXPECT_NE(impaired(c, 3), impaired(c, 4));
}

// The added noise's numbers are standard normal: moments, and the share
// beyond each of several levels (the ziggurat's tail starts at 3.44)
// against the normal distribution's.
TEST(ImpairNoise, GeneratorDrawsStandardNormalNumbers) {
    AwgnStream noise;
    noise.seed(99);
    const std::size_t n = 4000000;
    const double levels[] = {0.5, 1.0, 2.0, 3.0, 3.4, 3.5, 4.0, 4.5};
    double sum = 0, sum2 = 0, sum4 = 0;
    std::size_t beyond[std::size(levels)]{};
    for (std::size_t k = 0; k < n; ++k) {
        const double x = noise.normal();
        sum += x;
        sum2 += x * x;
        sum4 += x * x * x * x;
        for (std::size_t l = 0; l < std::size(levels); ++l) beyond[l] += std::abs(x) > levels[l];
    }
    const double N = double(n);
    EXPECT_NEAR(sum / N, 0.0, 5 / std::sqrt(N));
    EXPECT_NEAR(sum2 / N, 1.0, 5 * std::sqrt(2 / N));
    EXPECT_NEAR(sum4 / N, 3.0, 5 * std::sqrt(96 / N));
    for (std::size_t l = 0; l < std::size(levels); ++l) {
        const double p = std::erfc(levels[l] / std::sqrt(2.0));
        EXPECT_NEAR(double(beyond[l]) / N, p, 5 * std::sqrt(p * (1 - p) / N)) << "beyond " << levels[l];
    }
}

// The chain's stages against their definitions on a small row.
TEST(ImpairChain, StagesFollowTheirDefinitions) {
    cvec w;
    for (int n = 0; n < 3000; ++n) w.push_back(std::polar(1.0 + 0.9 * std::sin(0.01 * n), 0.37 * n));
    const double rate = 2 * kChipRate;
    AwgnStream noise;
    FrameConfig c = defaultFrameConfig();
    c.IQGainImbalance = 1.2;
    c.IQQuadratureError = -4;
    c.OriginOffsetActive = 1;
    c.OriginOffset = -20;
    c.FrequencyOffset = 123456.7;
    cvec y = w;
    applyImpairments(y, c, rate, noise);
    const double g = std::pow(10.0, 1.2 / 40), phi = -4 * rxtest::kPi / 180;
    cvec expect(w.size());
    double power = 0;
    for (std::size_t n = 0; n < w.size(); ++n) {
        expect[n] = cplx(g * w[n].real(), (w[n].imag() * std::cos(phi) + w[n].real() * std::sin(phi)) / g);
        power += std::norm(expect[n]);
    }
    const double dc = 0.1 * std::sqrt(power / double(w.size()));
    double worst = 0;
    for (std::size_t n = 0; n < w.size(); ++n) {
        const cplx e = (expect[n] + dc) * std::polar(1.0, 2 * rxtest::kPi * 123456.7 * double(n) / rate);
        worst = std::max(worst, std::abs(y[n] - e));
    }
    EXPECT_LT(worst, 1e-12);

    // Clipping: no magnitude above the limit, phases kept, the crest factor
    // reported is the clipped row's (above the limit's ratio to the rms
    // before clipping by the power the clipping took off).
    c = defaultFrameConfig();
    c.ClipPAPRActive = 1;
    c.ClipPAPR = 3;
    y = w;
    const ImpairmentReport r = applyImpairments(y, c, rate, noise);
    const double limit = std::sqrt(rxtest::meanPower(w)) * std::pow(10.0, 3.0 / 20);
    double peak = 0;
    for (std::size_t n = 0; n < w.size(); ++n) {
        EXPECT_LE(std::abs(y[n]), limit * (1 + 1e-12));
        EXPECT_NEAR(std::arg(y[n] * std::conj(w[n])), 0.0, 1e-12);
        peak = std::max(peak, std::norm(y[n]));
    }
    ASSERT_TRUE(r.crestFactorDb);
    EXPECT_NEAR(*r.crestFactorDb, db(peak / rxtest::meanPower(y)), 1e-9);
    EXPECT_NEAR(*r.crestFactorDb, 3.0 + db(rxtest::meanPower(w) / rxtest::meanPower(y)), 1e-9);
}

// The record by name (what the C entries and calls by name write) reaches
// the session's calculate job, which gives the impaired frame of the seed
// and reports the crest factor after clipping.
TEST(ImpairSession, TheRecordByNameDrivesTheCalculation) {
    FrameConfig c = busyConfig(3);
    c.AWGNActive = 1;
    c.CarrierToNoise = 12;
    c.IQQuadratureError = 3;
    c.ClipPAPRActive = 1;
    c.ClipPAPR = 6;
    c.Carriers = {{-0.9e6, 0, 3, 0}, {0.9e6, -6, 9, 100}};
    Session s;
    s.setParametersValue(parametersToValue(c));
    s.calculate(17);
    ImpairmentReport expected;
    const cvec want = impaired(c, 17, &expected);
    EXPECT_EQ(s.waveform(), want);
    ASSERT_TRUE(s.impairmentReport().crestFactorDb);
    EXPECT_EQ(*s.impairmentReport().crestFactorDb, *expected.crestFactorDb);
}

TEST(ImpairRefusals, NameTheField) {
    Session s;
    const auto refusal = [&](const FrameConfig& c) -> std::string {
        s.setConfig(c);
        try {
            s.calculate(1);
        } catch (const Error& e) {
            return e.what();
        }
        return "accepted";
    };
    FrameConfig c = defaultFrameConfig();
    c.Carriers = {{-1.88e6, 0, 0, 0}, {1.88e6, 0, 4, 0}};
    c.OverSampling = 4;
    EXPECT_EQ(refusal(c), "parameters.Carriers need ±2.58 MHz; use OverSampling 5 or more (6.144 MHz).");
    c.OverSampling = 5;
    EXPECT_EQ(refusal(c), "accepted");
    c = defaultFrameConfig();
    c.OverSampling = 2;
    c.FrequencyOffset = 600e3;
    EXPECT_NE(refusal(c).find("parameters.FrequencyOffset value 600000 Hz is outside"), std::string::npos);
    c.FrequencyOffset = 528.8e3;
    EXPECT_EQ(refusal(c), "accepted");

    struct Case {
        const char* name;
        const char* value;
        const char* message;
    };
    std::string seventeenRows = "[";
    for (int r = 0; r < 17; ++r) seventeenRows += r ? "; 0 0 0 0" : "0 0 0 0";
    const std::string kSeventeen = seventeenRows + "]";
    const Case cases[] = {
        {"CarrierToNoise", "61", "\"CarrierToNoise\" value 61 is outside the allowed range (numbers -20 to 60)."},
        {"IQGainImbalance", "3.5", "\"IQGainImbalance\" value 3.5 is outside"},
        {"IQQuadratureError", "-11", "\"IQQuadratureError\" value -11 is outside"},
        {"OriginOffset", "-5", "\"OriginOffset\" value -5 is outside the allowed range (numbers -80 to -10)."},
        {"ClipPAPR", "2", "\"ClipPAPR\" value 2 is outside the allowed range (numbers 3 to 20)."},
        {"AWGNActive", "2", "\"AWGNActive\" value 2 is outside"},
        {"Carriers", "[1 2 3]", "\"Carriers\" must be M x 4 rows of frequency offset"},
        {"Carriers", "[0 0 512 0; 0 0 0 0]", "Carriers row 1: PN offset 512 is not a whole number 0 to 511."},
        {"Carriers", "[0 0 0 2048]", "Carriers row 1: delay 2048 is not a whole number of chips 0 to 2047."},
        {"Carriers", "[0 0 0 0; 0 21 0 0]", "Carriers row 2: power 21 dB is outside -60 to 20 dB."},
        {"Carriers", kSeventeen.c_str(), "\"Carriers\" holds 17 rows; at most 16 carriers are combined."},
    };
    for (const Case& k : cases) {
        GenerateOptions o;
        o.sets = {std::string(k.name) + "=" + k.value};
        std::string message = "accepted";
        try {
            prepareGenerate(o);
        } catch (const GenerateInputError& e) {
            message = e.what();
        }
        EXPECT_NE(message.find(k.message), std::string::npos) << k.name << "=" << k.value << ": " << message;
    }
    GenerateOptions o;
    o.carriers = 4;
    o.carrierSpacing = 1.25e6;
    o.sets = {"OverSampling=4"};
    try {
        prepareGenerate(o);
        ADD_FAILURE() << "four carriers at oversampling 4 accepted";
    } catch (const GenerateInputError& e) {
        EXPECT_STREQ(e.what(), "parameters.Carriers need ±2.58 MHz; use OverSampling 5 or more (6.144 MHz).");
    }
    o.sets = {"OverSampling=5"};
    const GenerateSetup setup = prepareGenerate(o);
    ASSERT_EQ(setup.config.Carriers.size(), 4u);
    EXPECT_EQ(setup.config.Carriers[0].offsetHz, -1.875e6);
    EXPECT_EQ(setup.config.Carriers[3].offsetHz, 1.875e6);
    EXPECT_EQ(setup.config.Carriers[3].pnOffset, 12);
}

AnalysisOptions optionsFor(const FrameConfig& c) {
    AnalysisOptions o;
    o.filter = static_cast<FilterShape>(static_cast<int>(c.FilterType));
    o.phaseEq = c.PhaseEq == 1;
    o.generatedOversampling = static_cast<int>(c.OverSampling);
    return o;
}

TEST(ImpairMeasured, ReceiverFindsTheCarrierToNoise) {
    for (double cn : {30.0, 20.0, 10.0, 3.0}) {
        FrameConfig c = busyConfig(4);
        c.AWGNActive = 1;
        c.CarrierToNoise = cn;
        const AnalysisReport r = analyzeWaveform(impaired(c, 8), 4 * kChipRate, optionsFor(c));
        SCOPED_TRACE("C/N " + std::to_string(cn));
        EXPECT_EQ(r.pnOffset, 77);
        EXPECT_NEAR(r.snrDb, cn, 0.3);
    }
}

TEST(ImpairMeasured, ReceiverFindsFrequencyOffsetIqImbalanceAndOriginOffset) {
    struct Case {
        double hz, gainDb, phiDeg, originDb;
    };
    const Case cases[] = {
        {1000.5, 0, 0, 0},     {-7500.25, 0, 0, 0}, {0, 0.5, 0, 0},  {0, -1.0, 0, 0},  {0, 0, 2.0, 0},
        {0, 0, -5.0, 0},       {0, 0, 0, -20},    {0, 0, 0, -35},  {0, 0, 0, -50},   {300, 0.3, -1.5, -30},
    };
    for (const Case& k : cases) {
        FrameConfig c = busyConfig(8);
        c.FrequencyOffset = k.hz;
        c.IQGainImbalance = k.gainDb;
        c.IQQuadratureError = k.phiDeg;
        c.OriginOffsetActive = k.originDb != 0;
        if (k.originDb != 0) c.OriginOffset = k.originDb;
        const AnalysisReport r = analyzeWaveform(impaired(c, 2), 8 * kChipRate, optionsFor(c));
        SCOPED_TRACE("hz " + std::to_string(k.hz) + " gain " + std::to_string(k.gainDb) + " phi " +
                     std::to_string(k.phiDeg) + " origin " + std::to_string(k.originDb));
        EXPECT_EQ(r.pnOffset, 77);
        EXPECT_NEAR(r.frequencyErrorHz, k.hz, 1.0);
        // The receiver gives Q's gain relative to I's; the impairment sets
        // I's relative to Q's.
        EXPECT_NEAR(r.iqGainDb, -k.gainDb, 0.05);
        EXPECT_NEAR(r.iqQuadratureDeg, k.phiDeg, 0.3);
        if (k.originDb != 0) {
            EXPECT_NEAR(r.originOffsetDb, k.originDb, 0.5);
        } else {
            EXPECT_LT(r.originOffsetDb, -60);
        }
    }
}

TEST(ImpairMultiCarrier, EachCarrierAnalysedAlone) {
    FrameConfig c = busyConfig(8);
    // (A carrier at the centre would be analysed without the channel filter.)
    c.Carriers = {{1.25e6, 0, 10, 0}, {-1.25e6, -3, 200, 300}, {3.75e6, 2, 301, 1024}};
    const cvec y = impaired(c, 4);
    const double rate = 8 * kChipRate;
    double channelDb[3]{};
    for (std::size_t k = 0; k < c.Carriers.size(); ++k) {
        AnalysisOptions o = optionsFor(c);
        o.carrierOffsetHz = c.Carriers[k].offsetHz;
        const AnalysisReport r = analyzeWaveform(y, rate, o);
        SCOPED_TRACE("carrier " + std::to_string(k + 1));
        EXPECT_EQ(r.pnOffset, static_cast<int>(c.Carriers[k].pnOffset));
        EXPECT_GE(r.rho.overall, 0.995);
        // The receiver's powers are relative to the carrier's own; the
        // carrier's power is its channel's in the recording's spectrum.
        channelDb[k] = db(inBandPower(y, rate, c.Carriers[k].offsetHz));
    }
    EXPECT_NEAR(channelDb[1] - channelDb[0], -3, 0.1);
    EXPECT_NEAR(channelDb[2] - channelDb[0], 2, 0.1);
}

TEST(ImpairMultiCarrier, CarriersDrawOnTheDataSourceInTurnAndMarkersAreCarrierOnes) {
    FrameConfig c = busyConfig(2);
    c.Carriers = {{0, 0, 10, 5}, {0, -60, 0, 0}};  // carrier 2 far below carrier 1
    FrameWorkspace work;
    ImpairWorkspace impair;
    seedNoise(1);
    calculateImpairedFrame(c, work, impair, 1);
    FrameConfig one = c;
    one.Carriers.clear();
    one.PilotOffsetIndex = 10;
    seedNoise(1);
    const FrameResult plain = calculateFrame(one);
    const std::size_t n = plain.waveform.size(), d = 5 * 2;
    const double tolerance = 1e-2 * std::sqrt(rxtest::meanPower(plain.waveform));
    for (std::size_t k = 0; k < n; k += 97) {
        EXPECT_NEAR(std::abs(work.result().waveform[(k + d) % n] - plain.waveform[k]), 0.0, tolerance);
        EXPECT_EQ(work.result().marker1[(k + d) % n], plain.marker1[k]);
        EXPECT_EQ(work.result().marker2[(k + d) % n], plain.marker2[k]);
    }
    // The second carrier's bits follow the first's.
    const long long bits = requiredDataBits(one);
    ASSERT_EQ(impair.bits.size(), static_cast<std::size_t>(2 * bits));
    std::vector<double> run;
    generateBitStream(DataSource(5), 2 * bits, {}, run);
    EXPECT_EQ(impair.bits, run);
}

}  // namespace
}  // namespace tolvane
