#include <gtest/gtest.h>

#include <complex>
#include <random>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/mod_params.hpp"
#include "onex/modulator.hpp"
#include "onex/traffic_channel.hpp"
#include "onex/walsh.hpp"
#include "runtime/library.hpp"
#include "runtime/mod_params_value.hpp"
#include "../support/signal_checks.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

TEST(ModParams, TableRows) {
    struct Row {
        int drc;
        double rate;
        int slots, bits;
        double code;
        int mod, preamble, pilot, mac, data, provided, required;
    } rows[] = {
        {1, 38.4, 16, 1024, 0.2, 1, 1024, 3072, 4096, 24576, 2560, 24576},
        {4, 307.2, 2, 1024, 0.2, 1, 128, 384, 512, 3072, 2560, 3072},
        {5, 307.2, 4, 2048, 1.0 / 3.0, 1, 128, 768, 1024, 6272, 3072, 6272},
        {8, 921.6, 2, 3072, 1.0 / 3.0, 2, 64, 384, 512, 3136, 3072, 3136},
        {10, 1228.8, 2, 4096, 1.0 / 3.0, 3, 64, 384, 512, 3136, 3072, 3136},
        {12, 2457.6, 1, 4096, 1.0 / 3.0, 3, 64, 192, 256, 1536, 3072, 1536},
    };
    for (const Row& r : rows) {
        const auto p = fwdTrfChnModParams(r.drc);
        ASSERT_TRUE(p.has_value()) << r.drc;
        EXPECT_EQ(p->drcValue, r.drc);
        EXPECT_EQ(p->dataRate, r.rate) << r.drc;
        EXPECT_EQ(p->slots, r.slots) << r.drc;
        EXPECT_EQ(p->bits, r.bits) << r.drc;
        EXPECT_EQ(codeRateValue(p->codeRate), r.code) << r.drc;  // exactly 0.2 or the double nearest 1/3
        EXPECT_EQ(static_cast<int>(p->modulationType), r.mod) << r.drc;
        EXPECT_EQ(p->preambleTDMChips, r.preamble) << r.drc;
        EXPECT_EQ(p->pilotTDMChips, r.pilot) << r.drc;
        EXPECT_EQ(p->macTDMChips, r.mac) << r.drc;
        EXPECT_EQ(p->dataTDMChips, r.data) << r.drc;
        EXPECT_EQ(p->modulationSymbolsProvided, r.provided) << r.drc;
        EXPECT_EQ(p->modulationSymbolsRequired, r.required) << r.drc;
    }
    // Relations every row keeps.
    for (int drc = 1; drc <= 12; ++drc) {
        const ModParams p = *fwdTrfChnModParams(drc);
        EXPECT_EQ(p.pilotTDMChips, 192 * p.slots) << drc;
        EXPECT_EQ(p.macTDMChips, 256 * p.slots) << drc;
        EXPECT_EQ(p.dataTDMChips, 1600 * p.slots - p.preambleTDMChips) << drc;
        EXPECT_EQ(p.modulationSymbolsRequired, p.dataTDMChips) << drc;
        EXPECT_EQ(p.modulationSymbolsProvided,
                  p.bits * symbolsPerBit(p.codeRate) / bitsPerSymbol(p.modulationType)) << drc;
    }
    for (double drc : {0.0, 13.0, 2.5, -1.0}) EXPECT_FALSE(fwdTrfChnModParams(drc).has_value()) << drc;
}

TEST(ModParams, RecordByName) {
    const Value five = callByName("OneX_FwdTrfChnModParams", 1, {Value::scalar(5)}).at(0);
    ASSERT_TRUE(five.isRecord());
    std::vector<std::string> names;
    for (const auto& [name, value] : five.rec().fields()) names.push_back(name);
    EXPECT_EQ(names, modParamsFieldNames());
    EXPECT_EQ(names.front(), "drcValue");
    EXPECT_EQ(names.back(), "modulationSymbolsRequired");
    EXPECT_EQ(five.field("codeRate"), Value::scalar(1.0 / 3.0));
    EXPECT_EQ(five.field("slots"), Value::scalar(4));
    EXPECT_EQ(modParamsFromValue(five).bits, 2048);

    const Value thirteen = callByName("OneX_FwdTrfChnModParams", 1, {Value::scalar(13)}).at(0);
    ASSERT_EQ(thirteen.rec().size(), 1u);
    EXPECT_EQ(thirteen.field("drcValue"), Value::scalar(13));
}

using testing_support::randomBits;

ModParams slotParams(Modulation modulation) {
    ModParams p = *fwdTrfChnModParams(1);
    p.modulationSymbolsRequired = 1600;
    p.modulationType = modulation;
    return p;
}

TEST(TrafficChannel, OneSlotOfChipsForEveryModulation) {
    for (Modulation mod : {Modulation::Qpsk, Modulation::Psk8, Modulation::Qam16}) {
        const std::vector<double> bits = randomBits(1600u * bitsPerSymbol(mod), static_cast<int>(mod));
        const std::vector<cplx> chips = fwdTrfChn(bits, slotParams(mod), 5, TrafficSwitches{});
        ASSERT_EQ(chips.size(), 1600u) << static_cast<int>(mod);
        // The stages run one by one give the same chips.
        const cvec symbols = fwdTrfRepSeq(fwdTrfModulator(bits, mod), 1600);
        EXPECT_EQ(chips, fwdTrfSummer(fwdTrfChnGain(fwdTrfWalshCover(fwdTrfDemux(symbols)))))
            << static_cast<int>(mod);
    }
    // 16QAM on QPSK's 3200 bits: 800 symbols sent twice.
    const std::vector<double> bits = randomBits(3200, 9);
    const std::vector<cplx> chips = fwdTrfChn(bits, slotParams(Modulation::Qam16), 5, TrafficSwitches{});
    ASSERT_EQ(chips.size(), 1600u);
    EXPECT_EQ(std::vector<cplx>(chips.begin(), chips.begin() + 800), std::vector<cplx>(chips.begin() + 800, chips.end()));
    EXPECT_THROW(fwdTrfChn({}, slotParams(Modulation::Qpsk), 5, TrafficSwitches{}), Error);
}

TEST(TrafficChannel, RequiredSymbolsRoundUpToWholeColumns) {
    ModParams p = slotParams(Modulation::Qpsk);
    p.modulationSymbolsRequired = 20;
    EXPECT_EQ(fwdTrfChn(randomBits(40, 1), p, 5, TrafficSwitches{}).size(), 32u);
}

TEST(TrafficChannel, EncoderDropsTheTailFieldAndRunsInThePipeline) {
    const ModParams p = *fwdTrfChnModParams(1);
    std::vector<double> packet = randomBits(1024, 4);
    const std::vector<double> coded = fwdEncoder(packet, p);
    EXPECT_EQ(coded.size(), 5120u);
    for (std::size_t i = 1018; i < 1024; ++i) packet[i] = 1 - packet[i];
    EXPECT_EQ(fwdEncoder(packet, p), coded);

    // Encoder on: the 1024-bit packet becomes 5120 code bits, 2560 QPSK
    // symbols, repeated to the 24576 the packet's 16 slots carry.
    const std::vector<cplx> chips = fwdTrfChn(packet, p, 5, TrafficSwitches{true, false, false});
    ASSERT_EQ(chips.size(), 24576u);
    EXPECT_EQ(chips, fwdTrfCoverAndSum(fwdTrfRepSeq(fwdTrfModulator(coded, Modulation::Qpsk), 24576)));
}

TEST(TrafficChannelByName, MissingFieldsAndSwitches) {
    const Value bits = Value::row(randomBits(3200, 2));
    Value record = modParamsToValue(slotParams(Modulation::Qpsk));
    const Value off = Value::scalar(0);
    const Value out =
        callByName("OneX_FwdTrfChn", 1, {bits, record, Value::scalar(5), off, off, off}).at(0);
    ASSERT_TRUE(out.isComplex());
    EXPECT_EQ(out.numel(), 1600u);
    EXPECT_EQ(out.rows(), 1u);

    // A DRC outside the table has neither modulationType nor
    // modulationSymbolsRequired: the modulator step names the first.
    const Value thirteen = callByName("OneX_FwdTrfChnModParams", 1, {Value::scalar(13)}).at(0);
    struct Case {
        Value record;
        Value encoder;
        std::string field;
    } cases[] = {
        {thirteen, off, "'modulationType'"},
        {thirteen, Value::scalar(1), "'codeRate'"},
        {[&] { Value r = record; r.rec().remove("modulationSymbolsRequired"); return r; }(), off,
         "'modulationSymbolsRequired'"},
    };
    for (const Case& c : cases) {
        try {
            callByName("OneX_FwdTrfChn", 1, {bits, c.record, Value::scalar(5), c.encoder, off, off});
            ADD_FAILURE() << c.field;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.field), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("OneX_FwdTrfChn"), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(callByName("OneX_FwdTrfChn", 1, {Value::row({}), record, Value::scalar(5), off, off, off}), Error);

    const Value coded = callByName("OneX_FwdEncoder", 1, {Value::row(randomBits(1024, 4)),
                                                          callByName("OneX_FwdTrfChnModParams", 1, {Value::scalar(1)}).at(0)})
                            .at(0);
    EXPECT_EQ(coded.numel(), 5120u);

    // The record's rate reaches the coder as a number: 1 drops only the
    // tail field, a number that is no code rate codes nothing.
    const std::vector<double> packet = randomBits(1024, 6);
    for (double rate : {1.0, 0.3}) {
        Record r;
        r.set("codeRate", Value::scalar(rate));
        const Value out = callByName("OneX_FwdEncoder", 1, {Value::row(packet), Value::record(r)}).at(0);
        EXPECT_EQ(out.numel(), rate == 1.0 ? 1018u : 0u) << rate;
    }
}

}  // namespace
}  // namespace tolvane
