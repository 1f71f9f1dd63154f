#include "runtime/mod_params_value.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "numerics/diagnostics.hpp"

namespace tolvane {

namespace {

// Each field with its place in the struct, in the record's order.
struct FieldRef {
    const char* name;
    double ModParams::*real;  // the two real fields
    int ModParams::*integer;  // all the others
};

const FieldRef kFields[] = {
    {"drcValue", nullptr, &ModParams::drcValue},
    {"dataRate", &ModParams::dataRate, nullptr},
    {"slots", nullptr, &ModParams::slots},
    {"bits", nullptr, &ModParams::bits},
    {"codeRate", &ModParams::codeRate, nullptr},
    {"modulationType", nullptr, &ModParams::modulationType},
    {"preambleTDMChips", nullptr, &ModParams::preambleTDMChips},
    {"pilotTDMChips", nullptr, &ModParams::pilotTDMChips},
    {"macTDMChips", nullptr, &ModParams::macTDMChips},
    {"dataTDMChips", nullptr, &ModParams::dataTDMChips},
    {"modulationSymbolsProvided", nullptr, &ModParams::modulationSymbolsProvided},
    {"modulationSymbolsRequired", nullptr, &ModParams::modulationSymbolsRequired},
};

void readField(ModParams& params, const FieldRef& f, const Value& v, const std::string& name) {
    const std::string where = name + "." + f.name;
    if (!v.isNumeric() || v.numel() != 1) throw Error(where + " must be a numeric scalar.");
    const double x = v.realAt(0);
    if (f.real) {
        params.*f.real = x;
        return;
    }
    if (!std::isfinite(x) || std::floor(x) != x || std::fabs(x) > std::numeric_limits<int>::max())
        throw Error(where + " = " + std::to_string(x) + " must be a whole number.");
    params.*f.integer = static_cast<int>(x);
}

}  // namespace

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
    for (const FieldRef& f : kFields)
        r.set(f.name, Value::scalar(f.real ? params.*f.real : static_cast<double>(params.*f.integer)));
    return Value::record(std::move(r));
}

Value modParamsRecord(double drcValue) {
    if (auto row = fwdTrfChnModParams(drcValue)) return modParamsToValue(*row);
    Record r;
    r.set("drcValue", Value::scalar(drcValue));
    return Value::record(std::move(r));
}

ModParams modParamsFromValue(const Value& record, const std::vector<std::string>& required, const std::string& name) {
    if (!record.isRecord()) throw Error(name + " must be a record, not " + std::string(kindName(record.kind())) + ".");
    for (const std::string& field : required) record.field(field);  // throws naming the missing field
    ModParams params;
    for (const FieldRef& f : kFields) {
        if (!record.hasField(f.name)) continue;
        const bool needed = std::find(required.begin(), required.end(), f.name) != required.end();
        try {
            readField(params, f, record.field(f.name), name);
        } catch (const Error&) {
            if (needed) throw;  // a field nobody reads may hold anything
        }
    }
    return params;
}

}  // namespace tolvane
