// The receiver by name: the report as a record with the JSON report's keys,
// the options record and its refusals.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "onex/constants.hpp"
#include "runtime/library.hpp"
#include "session/analysis_value.hpp"
#include "session/by_name.hpp"
#include "session/session.hpp"

namespace tolvane {
namespace {

std::vector<std::string> fieldNames(const Value& v) {
    std::vector<std::string> names;
    for (const auto& f : v.rec().fields()) names.push_back(f.first);
    return names;
}

TEST(AnalysisValue, TheRecordHoldsTheReportUnderTheJsonKeys) {
    AnalysisReport a;
    a.pnOffset = 312;
    a.rho.pilot = 0.9995;
    a.rho.overall = 0.998;
    a.evmRmsPercent = 0.4;
    a.codeDomain.macI[4] = -3;
    a.codeDomain.macQ[63] = -20;
    SlotReport s;
    s.index = 3;
    s.data = "packet";
    s.raActive = true;
    s.raGainDb = -6;
    s.rpc.push_back(RpcReport{17, true, 1, -12.5});
    a.slotReports.push_back(s);
    a.packets.push_back(PacketReport{3, {3, 7}, 11, 9, true, "A5", 2});
    a.codeDomain.preamble.push_back(PreambleReport{3, 9, 128, -0.5});

    const Value v = analysisReportToValue(a);
    const std::vector<std::string> top = {"sampleRate",       "frameSlots",    "firstSlot",      "lastSlot",
                                          "pnOffset",         "timingOffsetChips", "frequencyErrorHz",
                                          "phaseErrorDeg",    "chipRateErrorPpm", "rho",     "evmPercent",
                                          "originOffsetDb",   "iqImbalance",   "snrDb",          "mirrorSpectrum", "slots",
                                          "codeDomain",       "packets"};
    EXPECT_EQ(fieldNames(v), top);
    EXPECT_EQ(v.field("pnOffset"), Value::scalar(312));
    EXPECT_EQ(v.field("rho").field("pilot"), Value::scalar(0.9995));
    EXPECT_TRUE(v.field("rho").field("mac").isEmpty());  // no MAC measured: empty, never a made-up 0
    EXPECT_TRUE(v.field("evmPercent").field("peak").isEmpty());
    const Value& slot = v.field("slots").cells().at(0);
    EXPECT_EQ(slot.field("data").str(), "packet");
    EXPECT_EQ(slot.field("ra").field("gainDb"), Value::scalar(-6));
    EXPECT_EQ(slot.field("rpc").cells().at(0).field("macIndex"), Value::scalar(17));
    EXPECT_EQ(slot.field("rpc").cells().at(0).field("gainDb"), Value::scalar(-12.5));
    const Value& packet = v.field("packets").cells().at(0);
    EXPECT_EQ(packet.field("slots"), Value::row({3, 7}));
    EXPECT_EQ(packet.field("payloadHex").str(), "A5");
    EXPECT_EQ(packet.field("fcsOk"), Value::scalar(1));
    const Value& mac = v.field("codeDomain").field("mac");
    ASSERT_EQ(mac.field("i").numel(), 64u);
    EXPECT_EQ(mac.field("i").realAt(4), -3);
    EXPECT_EQ(mac.field("q").realAt(63), -20);
    EXPECT_EQ(v.field("codeDomain").field("preamble").cells().at(0).field("chips"), Value::scalar(128));
}

TEST(AnalysisValue, OptionsReadFromARecordAndRefusedByName) {
    EXPECT_FALSE(analysisOptionsFromValue(Value()).pnOffset);
    EXPECT_FALSE(analysisOptionsFromValue(Value::empty()).pnOffset);
    Record r;
    r.set("pnOffset", Value::scalar(17));
    r.set("filter", Value::scalar(2));
    r.set("phaseEq", Value::scalar(0));
    r.set("frameSlots", Value::scalar(32));
    r.set("carrierOffset", Value::scalar(1.25e6));
    r.set("slots", Value::row({2, 5}));
    r.set("maxIterations", Value::scalar(4));
    const AnalysisOptions o = analysisOptionsFromValue(Value::record(r));
    EXPECT_EQ(o.pnOffset, 17);
    EXPECT_EQ(o.filter, FilterShape::Std);
    EXPECT_FALSE(o.phaseEq);
    EXPECT_EQ(o.frameSlots, 32);
    EXPECT_EQ(o.carrierOffsetHz, 1.25e6);
    EXPECT_EQ(o.firstSlot, 2);
    EXPECT_EQ(o.lastSlot, 5);
    EXPECT_EQ(o.maxIterations, 4);
    Record automatic;
    automatic.set("pnOffset", Value::text("auto"));
    EXPECT_FALSE(analysisOptionsFromValue(Value::record(automatic)).pnOffset);

    const std::pair<std::function<void(Record&)>, std::string> refused[] = {
        {[](Record& x) { x.set("pnOfset", Value::scalar(1)); }, "options.pnOfset is not an analysis option"},
        {[](Record& x) { x.set("pnOffset", Value::scalar(512)); }, "options.pnOffset"},
        {[](Record& x) { x.set("pnOffset", Value::text("all")); }, "options.pnOffset"},
        {[](Record& x) { x.set("filter", Value::scalar(0)); }, "options.filter"},
        {[](Record& x) { x.set("phaseEq", Value::scalar(0.5)); }, "options.phaseEq"},
        {[](Record& x) { x.set("frameSlots", Value::scalar(20)); }, "Frame slots 20"},
        {[](Record& x) { x.set("slots", Value::scalar(2)); }, "options.slots"},
        {[](Record& x) { x.set("slots", Value::row({5, 2})); }, "Slots 5:2"},
        {[](Record& x) { x.set("maxIterations", Value::scalar(40)); }, "options.maxIterations"},
    };
    for (const auto& [set, words] : refused) {
        Record x;
        set(x);
        try {
            analysisOptionsFromValue(Value::record(x));
            ADD_FAILURE() << words << ": accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(analysisOptionsFromValue(Value::scalar(3)), Error);  // not a record
}

// By name, as the C entries reach it: a frame of ours in, the report out.
// Given its PN offset, the receiver measures the frame there; searched, it
// finds the offset the frame was made with or, since every half slot of this
// frame looks alike, the same samples read half a slot later (16 further).
TEST(AnalysisValue, OneXFwdAnalyzeByName) {
    installSession();
    library().initialize();
    Session s;
    s.resetConfig();
    s.config().PilotOffsetIndex = 99;
    s.config().OverSampling = 4;
    s.calculate(5);
    const Value wave = Value::complexRow(s.waveform());
    Record options;
    options.set("filter", Value::scalar(static_cast<double>(s.config().FilterType)));
    options.set("pnOffset", Value::scalar(99));
    std::vector<Value> out =
        callByName("OneX_FwdAnalyze", 1, {wave, Value::scalar(kChipRate * 4), Value::record(options)});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].field("pnOffset"), Value::scalar(99));
    EXPECT_GE(out[0].field("rho").field("pilot").realAt(0), 0.999);
    EXPECT_EQ(out[0].field("slots").numel(), 16u);
    options.set("pnOffset", Value::text("auto"));
    out = callByName("OneX_FwdAnalyze", 1, {wave, Value::scalar(kChipRate * 4), Value::record(options)});
    const double found = out[0].field("pnOffset").realAt(0);
    EXPECT_TRUE(found == 99 || found == 83) << found;
    EXPECT_GE(out[0].field("rho").field("pilot").realAt(0), 0.999);

    // Too slow a rate is the receiver's refusal; an unknown option is named.
    EXPECT_THROW(callByName("OneX_FwdAnalyze", 1, {wave, Value::scalar(1e6)}), Error);
    Record bad;
    bad.set("pnoffset", Value::scalar(1));
    try {
        callByName("OneX_FwdAnalyze", 1, {wave, Value::scalar(kChipRate * 4), Value::record(bad)});
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("pnoffset"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace tolvane
