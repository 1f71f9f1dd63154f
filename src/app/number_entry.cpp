#include "app/number_entry.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "base/text.hpp"

namespace tolvane::app {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r' || c == '\n'; }

// One token as a plain decimal number: [sign] digits [. digits] [e [sign] digits],
// with at least one digit in the mantissa, or [sign] Inf / NaN.
std::optional<double> readToken(std::string_view t) {
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    const std::string_view body = t.substr(i);
    if (equalsIgnoringCase(body, "inf")) return negative ? -HUGE_VAL : HUGE_VAL;
    if (equalsIgnoringCase(body, "nan")) return std::nan("");
    std::size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != t.size()) return std::nullopt;
    // The token has the grammar strtod reads in the "C" locale's decimal form;
    // a copy gives it the terminator it needs.
    const std::string copy(t);
    return std::strtod(copy.c_str(), nullptr);
}

}  // namespace

std::vector<double> readNumberList(const std::string& text) { return readNumberEntry(text).value_or(std::vector<double>{}); }

std::optional<std::vector<double>> readNumberEntry(const std::string& text) {
    if (text.size() > kMaxNumberEntryBytes) return std::nullopt;
    std::string_view s(text);
    auto trim = [](std::string_view v) {
        while (!v.empty() && isSeparator(v.front()) && v.front() != ',' && v.front() != ';') v.remove_prefix(1);
        while (!v.empty() && isSeparator(v.back()) && v.back() != ',' && v.back() != ';') v.remove_suffix(1);
        return v;
    };
    s = trim(s);
    if (!s.empty() && s.front() == '[') {
        if (s.back() != ']') return std::nullopt;
        s = trim(s.substr(1, s.size() - 2));
    }
    if (s.find_first_of("[]") != std::string_view::npos) return std::nullopt;
    std::vector<double> out;
    std::size_t i = 0;
    bool expectNumber = true;  // a comma or semicolon must sit between two numbers
    bool sawComma = false;
    while (i < s.size()) {
        const char c = s[i];
        if (c == ',' || c == ';') {
            if (expectNumber) return std::nullopt;  // ",4" or "4,,5"
            expectNumber = true;
            sawComma = true;
            ++i;
            continue;
        }
        if (isSeparator(c)) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < s.size() && !isSeparator(s[j])) ++j;
        const auto value = readToken(s.substr(i, j - i));
        if (!value) return std::nullopt;
        out.push_back(*value);
        expectNumber = false;
        sawComma = false;
        i = j;
    }
    if (sawComma) return std::nullopt;  // "4,"
    return out;
}

std::vector<double> truncateEach(std::vector<double> list) {
    for (double& v : list) v = std::trunc(v);
    return list;
}

std::vector<double> roundEach(std::vector<double> list) {
    for (double& v : list) v = std::round(v);
    return list;
}

std::vector<double> scaleEach(std::vector<double> list, double factor) {
    for (double& v : list) v *= factor;
    return list;
}

double clampFromBelow(const std::vector<double>& list, double lo, double hi) {
    double m = lo;
    for (double v : list)
        if (!std::isnan(v)) m = std::max(m, v);
    return std::min(m, hi);
}

double clampFromAbove(const std::vector<double>& list, double lo, double hi) {
    double m = hi;
    for (double v : list)
        if (!std::isnan(v)) m = std::min(m, v);
    return std::max(m, lo);
}

std::optional<double> readSingleNumber(const std::string& text) {
    const std::vector<double> list = readNumberList(text);
    if (list.size() != 1 || std::isnan(list[0])) return std::nullopt;
    return list[0];
}

}  // namespace tolvane::app
