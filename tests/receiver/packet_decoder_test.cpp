#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/mod_params.hpp"
#include "onex/packets.hpp"
#include "onex/traffic_channel.hpp"
#include "receiver/packet_decoder.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

std::vector<double> randomPayload(int drc, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::vector<double> bits(static_cast<std::size_t>(packetPayloadBits(drc)));
    for (auto& b : bits) b = static_cast<double>(gen() & 1U);
    return bits;
}

// A packet's data chips as the frame carries them: the coded traffic chain
// (encoder, scrambler, interleaver on), QPSK at unit symbol energy.
std::vector<cplx> packetChips(const std::vector<double>& packet, int drc, int mac) {
    const ModParams params = *fwdTrfChnModParams(drc);
    std::vector<cplx> chips = fwdTrfChn(packet, params, mac, TrafficSwitches{true, true, true});
    if (params.modulationType == Modulation::Qpsk)
        for (cplx& c : chips) c /= std::sqrt(2.0);
    return chips;
}

std::vector<cplx> payloadChips(const std::vector<double>& payload, int drc, int mac) {
    return packetChips(physicalLayerPacket(payload), drc, mac);
}

void addNoise(std::vector<cplx>& chips, double variance, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::normal_distribution<double> normal(0.0, std::sqrt(variance / 2));
    for (cplx& c : chips) c += cplx(normal(gen), normal(gen));
}

bool samePayload(const DecodedPacket& got, const std::vector<double>& sent) {
    if (got.payload.size() != sent.size()) return false;
    for (std::size_t i = 0; i < sent.size(); ++i)
        if (got.payload[i] != static_cast<int>(sent[i])) return false;
    return true;
}

// Every data rate with a traffic MAC index, and the control channel's two
// (3 with DRC 1, 2 with DRC 2), with both algorithms.
TEST(PacketDecoder, CleanPacketsOfEveryRate) {
    struct Case {
        int drc, mac;
    };
    std::vector<Case> cases;
    for (int drc = 1; drc <= 12; ++drc) cases.push_back({drc, 5 + 4 * drc});
    cases.push_back({1, 3});
    cases.push_back({2, 2});
    for (const Case& c : cases)
        for (bool logMap : {false, true}) {
            SCOPED_TRACE("DRC " + std::to_string(c.drc) + " MAC " + std::to_string(c.mac) +
                         (logMap ? " log-MAP" : " max-log-MAP"));
            const std::vector<double> payload = randomPayload(c.drc, static_cast<std::uint64_t>(100 * c.drc + c.mac));
            PacketDecoderOptions options;
            options.logMap = logMap;
            const DecodedPacket got = decodePacket(payloadChips(payload, c.drc, c.mac), 0.1, c.drc, c.mac, options);
            EXPECT_TRUE(got.fcsOk);
            EXPECT_TRUE(samePayload(got, payload));
            EXPECT_EQ(got.payload.size(), static_cast<std::size_t>(packetPayloadBits(c.drc)));
            EXPECT_EQ(got.iterations, 1);
        }
}

// A clean packet decodes however small the noise variance given (the
// ratios grow without bound as it shrinks), and for QPSK, whose ratios the
// variance only scales, however large. Chips of absurd size are no fault:
// whatever the decoder says, it does not claim a payload it did not find.
TEST(PacketDecoder, ExtremeScalesStaySound) {
    struct Case {
        int drc;
        double variance;
    };
    for (const Case& c : {Case{1, 1e-300}, Case{1, 1e-12}, Case{1, 1e3}, Case{8, 1e-300}, Case{8, 1e-12},
                          Case{12, 1e-300}, Case{12, 1e-12}}) {
        SCOPED_TRACE("DRC " + std::to_string(c.drc) + " variance " + std::to_string(c.variance));
        const std::vector<double> payload = randomPayload(c.drc, 77);
        const DecodedPacket got = decodePacket(payloadChips(payload, c.drc, 40), c.variance, c.drc, 40);
        EXPECT_TRUE(got.fcsOk);
        EXPECT_TRUE(samePayload(got, payload));
    }
    for (int drc : {1, 8, 12}) {
        SCOPED_TRACE("DRC " + std::to_string(drc));
        const std::vector<double> payload = randomPayload(drc, 78);
        std::vector<cplx> huge = payloadChips(payload, drc, 40);
        for (cplx& c : huge) c *= 1e300;
        const DecodedPacket got = decodePacket(huge, 1.0, drc, 40, PacketDecoderOptions{2, false});
        if (got.fcsOk) {
            EXPECT_TRUE(samePayload(got, payload));
        }
    }
}

// Noisy packets of each modulation, the noise about 2 dB or more below what
// each rate's code can bear (per coded bit), decode in a few iterations.
TEST(PacketDecoder, NoisyPacketsDecode) {
    struct Case {
        int drc;
        double variance;  // per chip, against unit chip energy
    };
    for (const Case& c : {Case{3, 4.0}, Case{7, 1.0}, Case{8, 0.3}, Case{10, 0.15}, Case{12, 0.1}}) {
        SCOPED_TRACE("DRC " + std::to_string(c.drc));
        const std::vector<double> payload = randomPayload(c.drc, static_cast<std::uint64_t>(c.drc));
        std::vector<cplx> chips = payloadChips(payload, c.drc, 21);
        addNoise(chips, c.variance, static_cast<std::uint64_t>(c.drc) + 50);
        const DecodedPacket got = decodePacket(chips, c.variance, c.drc, 21);
        EXPECT_TRUE(got.fcsOk);
        EXPECT_TRUE(samePayload(got, payload));
        EXPECT_LE(got.iterations, 6);
    }
}

// A frame that carries fewer chips than the chain made: the missing ones
// are erased. DRC 1 repeats its symbols almost ten times, so its first
// quarter alone still decodes; cut mid-way through a Walsh group too.
TEST(PacketDecoder, MissingChipsAreErased) {
    const std::vector<double> payload = randomPayload(1, 9);
    std::vector<cplx> chips = payloadChips(payload, 1, 6);
    chips.resize(chips.size() / 4 + 7);
    addNoise(chips, 1.0, 3);
    const DecodedPacket got = decodePacket(chips, 1.0, 1, 6);
    EXPECT_TRUE(got.fcsOk);
    EXPECT_TRUE(samePayload(got, payload));

    // DRC 12 sends each symbol once: without its second half nothing decodes.
    const std::vector<double> payload12 = randomPayload(12, 9);
    std::vector<cplx> chips12 = payloadChips(payload12, 12, 6);
    chips12.resize(chips12.size() / 2);
    EXPECT_FALSE(decodePacket(chips12, 0.01, 12, 6).fcsOk);
    EXPECT_FALSE(decodePacket({}, 0.01, 12, 6).fcsOk);
}

// A failure is reported as one: never a made-up success.
TEST(PacketDecoder, CorruptPacketsFailTheCheck) {
    PacketDecoderOptions options;
    options.maxIterations = 4;

    // The code word is perfect but the FCS inside it is wrong: the decoder
    // finds the code word and must still say the check failed.
    const std::vector<double> payload = randomPayload(6, 1);
    std::vector<double> packet = physicalLayerPacket(payload);
    packet[payload.size() + 3] = 1.0 - packet[payload.size() + 3];
    DecodedPacket got = decodePacket(packetChips(packet, 6, 12), 0.1, 6, 12, options);
    EXPECT_FALSE(got.fcsOk);
    EXPECT_EQ(got.iterations, 4);
    EXPECT_TRUE(samePayload(got, payload));  // the decisions are still the received bits

    // Scrambled for another MAC index, or another rate's packet.
    got = decodePacket(payloadChips(payload, 6, 12), 0.1, 6, 13, options);
    EXPECT_FALSE(got.fcsOk);
    EXPECT_EQ(got.iterations, 4);
    EXPECT_FALSE(decodePacket(payloadChips(randomPayload(9, 2), 9, 12), 0.1, 6, 12, options).fcsOk);

    // Noise only, and noise far above the signal.
    std::vector<cplx> noise(1536);
    addNoise(noise, 1.0, 8);
    EXPECT_FALSE(decodePacket(noise, 1.0, 12, 5, options).fcsOk);
    std::vector<cplx> drowned = payloadChips(randomPayload(12, 3), 12, 5);
    addNoise(drowned, 10.0, 4);
    EXPECT_FALSE(decodePacket(drowned, 10.0, 12, 5, options).fcsOk);
}

TEST(PacketDecoder, RefusalsNameTheArgument) {
    const std::vector<cplx> chips(100);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    PacketDecoderOptions noIterations;
    noIterations.maxIterations = 0;
    PacketDecoderOptions tooMany;
    tooMany.maxIterations = 17;
    std::vector<cplx> withNan(100);
    withNan[41] = cplx(0.0, nan);
    struct Case {
        std::vector<cplx> chips;
        double variance;
        int drc, mac;
        PacketDecoderOptions options;
        std::string words;
    };
    const Case cases[] = {
        {chips, 1.0, 0, 5, {}, "DRC 0"},
        {chips, 1.0, 13, 5, {}, "DRC 13"},
        {chips, 1.0, 1, -1, {}, "MAC index -1"},
        {chips, 1.0, 1, 64, {}, "MAC index 64"},
        {chips, 0.0, 1, 5, {}, "noise variance 0"},
        {chips, -1.0, 1, 5, {}, "noise variance -1"},
        {chips, nan, 1, 5, {}, "noise variance"},
        {chips, inf, 1, 5, {}, "noise variance"},
        {chips, 1.0, 1, 5, noIterations, "iterations 0"},
        {chips, 1.0, 1, 5, tooMany, "iterations 17"},
        {std::vector<cplx>(1537), 1.0, 12, 5, {}, "1537 chips given; a DRC 12 packet has 1536"},
        {withNan, 1.0, 12, 5, {}, "chip 42"},
    };
    for (const Case& c : cases) {
        try {
            decodePacket(c.chips, c.variance, c.drc, c.mac, c.options);
            ADD_FAILURE() << "no refusal for " << c.words;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace tolvane
