#include "session/analysis_value.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "runtime/convert.hpp"
#include "runtime/registry.hpp"
#include "session/analysis_report.hpp"

namespace tolvane {

namespace {

// The JSON report as a record: objects are records in the same key order,
// null (what was not measured) an empty matrix, true/false 1/0, an array of
// numbers a row, any other array a 1 x N cell list. Building the record from
// the JSON report keeps one list of keys for both forms.
Value reportValue(const nlohmann::ordered_json& j) {
    if (j.is_null()) return Value::empty();
    if (j.is_boolean()) return Value::scalar(j.get<bool>() ? 1 : 0);
    if (j.is_number()) return Value::scalar(j.get<double>());
    if (j.is_string()) return Value::text(j.get<std::string>());
    if (j.is_object()) {
        Record r;
        for (const auto& [key, item] : j.items()) r.set(key, reportValue(item));
        return Value::record(std::move(r));
    }
    bool allNumbers = !j.empty();
    for (const auto& item : j) allNumbers = allNumbers && item.is_number();
    if (allNumbers) {
        std::vector<double> row;
        for (const auto& item : j) row.push_back(item.get<double>());
        return Value::row(std::move(row));
    }
    std::vector<Value> items;
    for (const auto& item : j) items.push_back(reportValue(item));
    const std::size_t n = items.size();
    return Value::cellMatrix(1, n, std::move(items));
}

const std::vector<std::string> kOptionFields = {"pnOffset",      "filter", "phaseEq",      "frameSlots",
                                                "carrierOffset", "slots",  "maxIterations"};

}  // namespace

Value analysisReportToValue(const AnalysisReport& report) { return reportValue(analysisReportJson(report)); }

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
