#include "runtime/mod_params_value.hpp"

#include <algorithm>
#include <limits>

#include "base/diagnostics.hpp"
#include "runtime/bindings/choice_values.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

namespace {

// Each field with its place in the struct, in the record's order.
enum class FieldKind { Whole, Real, Rate, Modulation };

struct FieldRef {
    const char* name;
    FieldKind kind;
    int ModParams::*whole;  // the whole-number fields
};

const FieldRef kFields[] = {
    {"drcValue", FieldKind::Whole, &ModParams::drcValue},
    {"dataRate", FieldKind::Real, nullptr},
    {"slots", FieldKind::Whole, &ModParams::slots},
    {"bits", FieldKind::Whole, &ModParams::bits},
    {"codeRate", FieldKind::Rate, nullptr},
    {"modulationType", FieldKind::Modulation, nullptr},
    {"preambleTDMChips", FieldKind::Whole, &ModParams::preambleTDMChips},
    {"pilotTDMChips", FieldKind::Whole, &ModParams::pilotTDMChips},
    {"macTDMChips", FieldKind::Whole, &ModParams::macTDMChips},
    {"dataTDMChips", FieldKind::Whole, &ModParams::dataTDMChips},
    {"modulationSymbolsProvided", FieldKind::Whole, &ModParams::modulationSymbolsProvided},
    {"modulationSymbolsRequired", FieldKind::Whole, &ModParams::modulationSymbolsRequired},
};

void readField(ModParams& params, const FieldRef& f, const Value& record, const std::string& name) {
    const std::string where = name + "." + f.name;
    const double x = modParamsNumber(record, f.name, name);
    constexpr long long intLimit = std::numeric_limits<int>::max();
    switch (f.kind) {
    case FieldKind::Whole: params.*f.whole = static_cast<int>(wholeNumber(x, where, -intLimit, intLimit)); break;
    case FieldKind::Real: params.dataRate = x; break;
    case FieldKind::Rate: params.codeRate = codeRateOf(x, where); break;
    case FieldKind::Modulation: params.modulationType = modulationOf(x, where); break;
    }
}

double fieldValue(const ModParams& params, const FieldRef& f) {
    switch (f.kind) {
    case FieldKind::Whole: return params.*f.whole;
    case FieldKind::Real: return params.dataRate;
    case FieldKind::Rate: return codeRateValue(params.codeRate);
    case FieldKind::Modulation: return static_cast<double>(params.modulationType);
    }
    return 0.0;
}

}  // namespace

double modParamsNumber(const Value& record, const std::string& field, const std::string& name) {
    const std::string where = name + "." + field;
    const Value& v = valueRecord(record, name).field(field);
    if (!v.isNumeric() || v.numel() != 1) throw Error("\"" + where + "\" must be a numeric scalar.");
    return valueScalar(v, where);
}

const std::vector<std::string>& modParamsFieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const FieldRef& f : kFields) out.emplace_back(f.name);
        return out;
    }();
    return names;
}

Value modParamsToValue(const ModParams& params) {
    Record r;
    for (const FieldRef& f : kFields) r.set(f.name, Value::scalar(fieldValue(params, f)));
    return Value::record(std::move(r));
}

Value modParamsRecord(double drcValue) {
    if (auto row = fwdTrfChnModParams(drcValue)) return modParamsToValue(*row);
    Record r;
    r.set("drcValue", Value::scalar(drcValue));
    return Value::record(std::move(r));
}

ModParams modParamsFromValue(const Value& record, const std::vector<std::string>& required, const std::string& name) {
    valueRecord(record, name);
    for (const std::string& field : required) record.field(field);  // throws naming the missing field
    ModParams params;
    for (const FieldRef& f : kFields) {
        if (!record.hasField(f.name)) continue;
        const bool needed = std::find(required.begin(), required.end(), f.name) != required.end();
        try {
            readField(params, f, record, name);
        } catch (const Error&) {
            if (needed) throw;  // a field nobody reads may hold anything
        }
    }
    return params;
}

}  // namespace tolvane
