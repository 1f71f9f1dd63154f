#include "runtime/bindings/choice_values.hpp"

#include "base/diagnostics.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

FilterShape filterShapeOf(double number) {
    if (number == 1.0) return FilterShape::Rectangular;
    if (number == 3.0) return FilterShape::Acp;
    if (number == 4.0) return FilterShape::None;
    return FilterShape::Std;
}

FilterShape filterShapeOf(const Value& v, const std::string& name) {
    if (!v.isText()) return filterShapeOf(valueScalar(v, name));
    const std::string& text = v.str();
    if (text == "IS95-STD") return FilterShape::Std;
    if (text == "IS95-ACP") return FilterShape::Acp;
    if (text == "IS95-EVM") return FilterShape::None;
    return FilterShape::Rectangular;
}

std::optional<Modulation> modulationOf(double number) {
    for (Modulation m : {Modulation::Qpsk, Modulation::Psk8, Modulation::Qam16})
        if (number == static_cast<double>(m)) return m;
    return std::nullopt;
}

Modulation modulationOf(double number, const std::string& name) {
    if (const auto m = modulationOf(number)) return *m;
    throw Error("\"" + name + "\" = " + numberText(number) + " is not a modulation: 1 (QPSK), 2 (8PSK) or 3 (16QAM).");
}

std::optional<CodeRate> codeRateOf(double number) {
    for (CodeRate r : {CodeRate::One, CodeRate::Half, CodeRate::Third, CodeRate::Quarter, CodeRate::Fifth})
        if (number == codeRateValue(r)) return r;
    return std::nullopt;
}

CodeRate codeRateOf(double number, const std::string& name) {
    if (const auto r = codeRateOf(number)) return *r;
    throw Error("\"" + name + "\" = " + numberText(number) + " is not a code rate: 1, 1/2, 1/3, 1/4 or 1/5.");
}

std::optional<DataSource> dataSourceOf(double number) {
    for (int k = static_cast<int>(DataSource::Zeros); k <= static_cast<int>(DataSource::UserPatternAlt); ++k)
        if (number == k) return static_cast<DataSource>(k);
    return std::nullopt;
}

}  // namespace tolvane
