// The report's two forms: the JSON document has exactly the agreed keys,
// with null for what was not measured (and for any number that is not
// finite); the table prints the same numbers and "-" for the missing ones.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "session/analysis_report.hpp"

namespace tolvane {
namespace {

std::set<std::string> keysOf(const nlohmann::ordered_json& j) {
    std::set<std::string> keys;
    for (const auto& [k, v] : j.items()) keys.insert(k);
    return keys;
}

// Two slots: slot 3 fully measured (a QPSK slot, RA and one RPC channel
// active), slot 4 idle with nothing measured; one packet and its preamble.
AnalysisReport fixture() {
    AnalysisReport r;
    r.sampleRate = 2457600;
    r.samplesPerChip = 2;
    r.frameSlots = 16;
    r.firstSlot = 3;
    r.lastSlot = 4;
    r.pnOffset = 137;
    r.timingOffsetChips = 0.125;
    r.frequencyErrorHz = -12.5;
    r.phaseErrorDeg = 1.75;
    r.chipRateErrorPpm = 0.5;
    r.rho.pilot = 0.99987;
    r.rho.mac = std::nullopt;
    r.rho.data = 0.9912;
    r.rho.overall = 0.99951;
    r.evmRmsPercent = 2.25;
    r.evmPeakPercent = std::nullopt;
    r.originOffsetDb = -61.5;
    r.iqGainDb = 0.015;
    r.iqQuadratureDeg = -0.25;
    r.snrDb = 38.5;
    SlotReport s3;
    s3.index = 3;
    s3.pilotPowerDb = -0.5;
    s3.macPowerDb = -3.25;
    s3.dataPowerDb = 0.75;
    s3.data = "QPSK";
    s3.evmPercent = 1.5;
    s3.raActive = true;
    s3.raBit = 1;
    s3.raGainDb = -6;
    for (int m = 5; m <= 63; ++m) s3.rpc.push_back({m, m == 17, m == 17 ? 1 : 0, m == 17 ? -9.5 : 0});
    SlotReport s4;
    s4.index = 4;
    s4.pilotPowerDb = std::numeric_limits<double>::quiet_NaN();  // not finite: null
    s4.data = "idle";
    s4.idlePowerDb = -10.25;
    for (int m = 5; m <= 63; ++m) s4.rpc.push_back({m, false, 0, 0});
    r.slotReports = {s3, s4};
    for (int k = 0; k < 64; ++k) {
        r.codeDomain.macI[static_cast<std::size_t>(k)] = -40 - k;
        r.codeDomain.macQ[static_cast<std::size_t>(k)] = -100 - k;
    }
    for (int k = 0; k < 16; ++k) r.codeDomain.data[static_cast<std::size_t>(k)] = -12.0 - 0.5 * k;
    r.codeDomain.preamble = {{3, 17, 64, -0.25}};
    PacketReport p;
    p.startSlot = 3;
    p.occupiedSlots = {3, 7};
    p.drc = 3;
    p.macIndex = 17;
    p.fcsOk = true;
    p.payloadHex = "0f3a";
    p.iterations = 2;
    r.packets = {p};
    return r;
}

TEST(AnalysisReport, JsonHasExactlyTheAgreedKeysAndNullForWhatWasNotMeasured) {
    const auto j = analysisReportJson(fixture());
    EXPECT_EQ(keysOf(j), (std::set<std::string>{"sampleRate", "frameSlots", "firstSlot", "lastSlot", "pnOffset",
                                                "timingOffsetChips", "frequencyErrorHz", "phaseErrorDeg",
                                                "chipRateErrorPpm", "rho", "evmPercent", "originOffsetDb",
                                                "iqImbalance", "snrDb", "mirrorSpectrum", "slots", "codeDomain",
                                                "packets"}));
    EXPECT_EQ(keysOf(j["rho"]), (std::set<std::string>{"pilot", "mac", "data", "overall"}));
    EXPECT_EQ(keysOf(j["evmPercent"]), (std::set<std::string>{"rms", "peak"}));
    EXPECT_EQ(keysOf(j["iqImbalance"]), (std::set<std::string>{"gainDb", "quadratureDeg"}));
    EXPECT_EQ(keysOf(j["codeDomain"]), (std::set<std::string>{"mac", "data", "preamble"}));
    EXPECT_EQ(keysOf(j["codeDomain"]["mac"]), (std::set<std::string>{"i", "q"}));
    ASSERT_EQ(j["slots"].size(), 2u);
    for (const auto& s : j["slots"]) {
        EXPECT_EQ(keysOf(s), (std::set<std::string>{"index", "pilotPowerDb", "macPowerDb", "dataPowerDb", "data",
                                                    "evmPercent", "idlePowerDb", "ra", "rpc"}));
        EXPECT_EQ(keysOf(s["ra"]), (std::set<std::string>{"active", "bit", "gainDb"}));
        ASSERT_EQ(s["rpc"].size(), 59u);
        EXPECT_EQ(keysOf(s["rpc"][0]), (std::set<std::string>{"macIndex", "active", "bit", "gainDb"}));
    }
    EXPECT_EQ(keysOf(j["codeDomain"]["preamble"][0]), (std::set<std::string>{"slot", "macIndex", "chips", "powerDb"}));
    EXPECT_EQ(keysOf(j["packets"][0]), (std::set<std::string>{"startSlot", "slots", "drc", "macIndex", "fcsOk",
                                                              "payloadHex", "iterations"}));

    // The numbers, in their places.
    EXPECT_EQ(j["pnOffset"], 137);
    EXPECT_EQ(j["frequencyErrorHz"], -12.5);
    EXPECT_EQ(j["rho"]["pilot"], 0.99987);
    EXPECT_EQ(j["rho"]["overall"], 0.99951);
    EXPECT_EQ(j["evmPercent"]["rms"], 2.25);
    EXPECT_EQ(j["iqImbalance"]["quadratureDeg"], -0.25);
    const auto& s3 = j["slots"][0];
    EXPECT_EQ(s3["index"], 3);
    EXPECT_EQ(s3["data"], "QPSK");
    EXPECT_EQ(s3["ra"]["bit"], 1);
    EXPECT_EQ(s3["ra"]["active"], true);
    EXPECT_EQ(s3["rpc"][12]["macIndex"], 17);
    EXPECT_EQ(s3["rpc"][12]["active"], true);
    EXPECT_EQ(s3["rpc"][12]["gainDb"], -9.5);
    EXPECT_EQ(j["codeDomain"]["mac"]["i"].size(), 64u);
    EXPECT_EQ(j["codeDomain"]["mac"]["q"][63], -163);
    EXPECT_EQ(j["codeDomain"]["data"].size(), 16u);
    EXPECT_EQ(j["codeDomain"]["data"][15], -19.5);
    EXPECT_EQ(j["packets"][0]["slots"], nlohmann::ordered_json::array({3, 7}));
    EXPECT_EQ(j["packets"][0]["payloadHex"], "0f3a");
    EXPECT_EQ(j["packets"][0]["fcsOk"], true);

    // What was not measured is null, never a number.
    EXPECT_TRUE(j["rho"]["mac"].is_null());
    EXPECT_TRUE(j["evmPercent"]["peak"].is_null());
    const auto& s4 = j["slots"][1];
    EXPECT_TRUE(s4["pilotPowerDb"].is_null());  // NaN
    EXPECT_TRUE(s4["macPowerDb"].is_null());
    EXPECT_TRUE(s4["dataPowerDb"].is_null());
    EXPECT_TRUE(s4["evmPercent"].is_null());
    EXPECT_EQ(s4["idlePowerDb"], -10.25);
    EXPECT_TRUE(s3["idlePowerDb"].is_null());

    // The text is the same document, and parses back to it.
    EXPECT_EQ(nlohmann::ordered_json::parse(analysisReportJsonText(fixture())), j);
}

TEST(AnalysisReport, TablePrintsTheSameNumbers) {
    const std::string t = analysisReportTable(fixture());
    auto has = [&](const std::string& s) { return t.find(s) != std::string::npos; };
    for (const char* s : {"2.457600 MHz", "3 to 4 of 16", "137", "0.1250 chips", "-12.500 Hz", "1.750 deg",
                          "0.5000 ppm", "overall 0.99951", "pilot 0.99987", "MAC -", "data 0.99120",
                          "rms 2.250 %  peak - %", "-61.50 dB", "gain 0.015 dB  quadrature -0.250 deg", "38.50 dB",
                          "MirrorSpectrum 0", "17:1/-9.50", "-163.0", "-19.5", "0f3a", "3,7"})
        EXPECT_TRUE(has(s)) << s << "\n" << t;
    // Slot 3's line: measured values; slot 4's: dashes where nothing was measured.
    EXPECT_TRUE(has("   3     -0.50   -3.25     0.75  QPSK     1.50        -      1    -6.00  17:1/-9.50\n")) << t;
    EXPECT_TRUE(has("   4         -       -        -  idle        -   -10.25      -        -  -\n")) << t;
    EXPECT_TRUE(has("    3   17     64     -0.25")) << t;
    EXPECT_TRUE(has("    3    3   17  ok            2  3,7  0f3a")) << t;
}

}  // namespace
}  // namespace tolvane
