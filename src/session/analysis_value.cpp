#include "session/analysis_value.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "runtime/convert.hpp"
#include "runtime/registry.hpp"

namespace tolvane {

namespace {

Value optionalNumber(const std::optional<double>& v) { return v ? Value::scalar(*v) : Value::empty(); }

Value numbers(const double* first, std::size_t n) { return Value::row(std::vector<double>(first, first + n)); }

Value list(std::vector<Value> items) {
    const std::size_t n = items.size();
    return Value::cellMatrix(1, n, std::move(items));
}

Value slotValue(const SlotReport& s) {
    Record r;
    r.set("index", Value::scalar(s.index));
    r.set("pilotPowerDb", Value::scalar(s.pilotPowerDb));
    r.set("macPowerDb", optionalNumber(s.macPowerDb));
    r.set("dataPowerDb", optionalNumber(s.dataPowerDb));
    r.set("data", Value::text(s.data));
    r.set("evmPercent", optionalNumber(s.evmPercent));
    r.set("idlePowerDb", optionalNumber(s.idlePowerDb));
    Record ra;
    ra.set("active", Value::scalar(s.raActive ? 1 : 0));
    ra.set("bit", Value::scalar(s.raBit));
    ra.set("gainDb", Value::scalar(s.raGainDb));
    r.set("ra", Value::record(std::move(ra)));
    std::vector<Value> rpc;
    for (const RpcReport& c : s.rpc) {
        Record e;
        e.set("macIndex", Value::scalar(c.macIndex));
        e.set("active", Value::scalar(c.active ? 1 : 0));
        e.set("bit", Value::scalar(c.bit));
        e.set("gainDb", Value::scalar(c.gainDb));
        rpc.push_back(Value::record(std::move(e)));
    }
    r.set("rpc", list(std::move(rpc)));
    return Value::record(std::move(r));
}

Value packetValue(const PacketReport& p) {
    Record r;
    r.set("startSlot", Value::scalar(p.startSlot));
    std::vector<double> slots(p.occupiedSlots.begin(), p.occupiedSlots.end());
    r.set("slots", Value::row(std::move(slots)));
    r.set("drc", Value::scalar(p.drc));
    r.set("macIndex", Value::scalar(p.macIndex));
    r.set("fcsOk", Value::scalar(p.fcsOk ? 1 : 0));
    r.set("payloadHex", Value::text(p.payloadHex));
    r.set("iterations", Value::scalar(p.iterations));
    return Value::record(std::move(r));
}

const std::vector<std::string> kOptionFields = {"pnOffset",      "filter", "phaseEq",      "frameSlots",
                                                "carrierOffset", "slots",  "maxIterations"};

}  // namespace

Value analysisReportToValue(const AnalysisReport& a) {
    Record r;
    r.set("sampleRate", Value::scalar(a.sampleRate));
    r.set("frameSlots", Value::scalar(a.frameSlots));
    r.set("firstSlot", Value::scalar(a.firstSlot));
    r.set("lastSlot", Value::scalar(a.lastSlot));
    r.set("pnOffset", Value::scalar(a.pnOffset));
    r.set("timingOffsetChips", Value::scalar(a.timingOffsetChips));
    r.set("frequencyErrorHz", Value::scalar(a.frequencyErrorHz));
    r.set("phaseErrorDeg", Value::scalar(a.phaseErrorDeg));
    r.set("chipRateErrorPpm", Value::scalar(a.chipRateErrorPpm));
    Record rho;
    rho.set("pilot", optionalNumber(a.rho.pilot));
    rho.set("mac", optionalNumber(a.rho.mac));
    rho.set("data", optionalNumber(a.rho.data));
    rho.set("overall", Value::scalar(a.rho.overall));
    r.set("rho", Value::record(std::move(rho)));
    Record evm;
    evm.set("rms", optionalNumber(a.evmRmsPercent));
    evm.set("peak", optionalNumber(a.evmPeakPercent));
    r.set("evmPercent", Value::record(std::move(evm)));
    r.set("originOffsetDb", Value::scalar(a.originOffsetDb));
    Record iq;
    iq.set("gainDb", Value::scalar(a.iqGainDb));
    iq.set("quadratureDeg", Value::scalar(a.iqQuadratureDeg));
    r.set("iqImbalance", Value::record(std::move(iq)));
    r.set("snrDb", Value::scalar(a.snrDb));
    r.set("mirrorSpectrum", Value::scalar(a.mirrorSpectrum ? 1 : 0));
    std::vector<Value> slots;
    for (const SlotReport& s : a.slotReports) slots.push_back(slotValue(s));
    r.set("slots", list(std::move(slots)));
    Record cd;
    Record mac;
    mac.set("i", numbers(a.codeDomain.macI.data(), a.codeDomain.macI.size()));
    mac.set("q", numbers(a.codeDomain.macQ.data(), a.codeDomain.macQ.size()));
    cd.set("mac", Value::record(std::move(mac)));
    cd.set("data", numbers(a.codeDomain.data.data(), a.codeDomain.data.size()));
    std::vector<Value> preamble;
    for (const PreambleReport& p : a.codeDomain.preamble) {
        Record e;
        e.set("slot", Value::scalar(p.slot));
        e.set("macIndex", Value::scalar(p.macIndex));
        e.set("chips", Value::scalar(p.chips));
        e.set("powerDb", Value::scalar(p.powerDb));
        preamble.push_back(Value::record(std::move(e)));
    }
    cd.set("preamble", list(std::move(preamble)));
    r.set("codeDomain", Value::record(std::move(cd)));
    std::vector<Value> packets;
    for (const PacketReport& p : a.packets) packets.push_back(packetValue(p));
    r.set("packets", list(std::move(packets)));
    return Value::record(std::move(r));
}

AnalysisOptions analysisOptionsFromValue(const Value& options) {
    AnalysisOptions o;
    if (!options.isSet() || (options.isReal() && options.isEmpty())) return o;
    const Record& r = valueRecord(options, "options").rec();
    for (const auto& [name, value] : r.fields()) {
        bool known = false;
        for (const std::string& k : kOptionFields) known = known || k == name;
        if (!known)
            throw Error("options." + name +
                        " is not an analysis option (pnOffset, filter, phaseEq, frameSlots, carrierOffset, slots, "
                        "maxIterations).");
    }
    const auto has = [&](const char* name) { return r.has(name) && !r.at(name).isEmpty(); };
    if (has("pnOffset")) {
        const Value& v = r.at("pnOffset");
        if (v.isText()) {
            if (v.str() != "auto") throw Error("options.pnOffset must be an offset index (0 to 511) or \"auto\".");
        } else {
            o.pnOffset = static_cast<int>(valueWhole(v, "options.pnOffset", 0, 511));
        }
    }
    if (has("filter")) o.filter = static_cast<FilterShape>(valueWhole(r.at("filter"), "options.filter", 1, 4));
    if (has("phaseEq")) o.phaseEq = valueWhole(r.at("phaseEq"), "options.phaseEq", 0, 1) != 0;
    if (has("frameSlots"))
        o.frameSlots = static_cast<int>(valueWhole(r.at("frameSlots"), "options.frameSlots", 0, 128));
    if (has("carrierOffset")) o.carrierOffsetHz = valueScalar(r.at("carrierOffset"), "options.carrierOffset");
    if (has("slots")) {
        const std::vector<double> range = valueReal(r.at("slots"), "options.slots");
        if (range.size() != 2) throw Error("options.slots must be [first last].");
        o.firstSlot = static_cast<int>(wholeNumber(range[0], "options.slots", 1, 128));
        o.lastSlot = static_cast<int>(wholeNumber(range[1], "options.slots", 1, 128));
    }
    if (has("maxIterations"))
        o.maxIterations = static_cast<int>(valueWhole(r.at("maxIterations"), "options.maxIterations", 1, 16));
    checkAnalysisOptions(o);
    return o;
}

void registerAnalysisByName(Registry& reg) {
    define(reg, "OneX_FwdAnalyze", 3, 1, {"waveform", "sampleRate", "options"}, {"report"}, [](Call& c) {
        const std::vector<std::complex<double>> samples = argComplex(c, 0);
        const double rate = argScalar(c, 1);
        const AnalysisOptions options = c.has(2) ? analysisOptionsFromValue(c.in(2)) : AnalysisOptions{};
        c.setOut(0, analysisReportToValue(analyzeWaveform(samples, rate, options)));
    });
}

}  // namespace tolvane
