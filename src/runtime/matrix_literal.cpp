#include "runtime/matrix_literal.hpp"

#include <cctype>
#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/diagnostics.hpp"
#include "runtime/input_limits.hpp"

namespace tolvane {

namespace {

// The text as quoted in a message, cut when long.
std::string quotedText(const std::string& text) {
    constexpr std::size_t longest = 80;
    return "\"" + (text.size() <= longest ? text : text.substr(0, longest) + "...") + "\"";
}

[[noreturn]] void bad(const std::string& text, const std::string& why) {
    throw Error(quotedText(text) + " is not a number or matrix literal: " + why + ".");
}

bool isBlank(char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; }
bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// The length of the plain decimal number at the start of `s` (an optional
// sign, digits with an optional decimal point, an optional exponent), or 0
// when there is none.
std::size_t decimalLength(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t k = i + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        const std::size_t start = k;
        while (k < s.size() && isDigit(s[k])) ++k;
        if (k == start) return 0;  // "1e" or "1e+" has no exponent
        i = k;
    }
    return i;
}

// Reads the numbers of one row: plain decimal numbers separated by blanks
// or by one comma (with blanks around it or not). A comma needs a number on
// each side.
std::vector<double> parseRow(std::string_view row, const std::string& whole) {
    std::vector<double> values;
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < row.size() && isBlank(row[i])) ++i;
    };
    skipBlanks();
    while (i < row.size()) {
        if (row[i] == ',') bad(whole, values.empty() ? "a comma with no number before it" : "two commas in a row");
        std::size_t word = i;
        while (word < row.size() && !isBlank(row[word]) && row[word] != ',') ++word;
        const std::string_view token = row.substr(i, word - i);
        const std::size_t length = decimalLength(token);
        if (length != token.size()) {
            if (length == 0 && token.size() == 1) bad(whole, "unexpected '" + std::string(token) + "'");
            bad(whole, quotedText(std::string(token)) + " is not a plain decimal number");
        }
        // from_chars takes no leading '+' and reads the same in every locale.
        const std::size_t skip = token.front() == '+' ? 1 : 0;
        double x = 0;
        const auto [end, ec] = std::from_chars(token.data() + skip, token.data() + token.size(), x);
        if (ec != std::errc() || end != token.data() + token.size())
            bad(whole, quotedText(std::string(token)) + " is outside the range of numbers");
        values.push_back(x);
        i = word;
        skipBlanks();
        if (i < row.size() && row[i] == ',') {
            ++i;
            skipBlanks();
            if (i == row.size()) bad(whole, "a comma with no number after it");
        }
    }
    return values;
}

}  // namespace

Value parseMatrixLiteral(const std::string& text) {
    if (text.size() > limits::kMaxLiteralChars)
        bad(text, "it is " + std::to_string(text.size()) + " characters long, more than the " +
                      std::to_string(limits::kMaxLiteralChars) + " allowed");
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) bad(text, "it is empty");
    std::string_view body(text.data() + first, last - first + 1);
    const bool bracketed = body.front() == '[';
    if (bracketed) {
        if (body.size() < 2 || body.back() != ']') bad(text, "missing ']'");
        body = body.substr(1, body.size() - 2);
    } else if (body.find(';') != std::string_view::npos) {
        bad(text, "a matrix needs brackets");
    }

    std::vector<std::vector<double>> rows;
    std::size_t pos = 0;
    while (true) {
        const std::size_t semi = body.find(';', pos);
        rows.push_back(parseRow(body.substr(pos, semi == std::string_view::npos ? std::string_view::npos : semi - pos),
                                text));
        if (semi == std::string_view::npos) break;
        pos = semi + 1;
    }
    // A trailing semicolon leaves an empty last row: ignore it.
    if (rows.size() > 1 && rows.back().empty()) rows.pop_back();
    if (rows.size() == 1 && rows[0].empty()) {
        if (!bracketed) bad(text, "it is empty");
        return Value::empty();
    }
    if (!bracketed && rows[0].size() != 1) bad(text, "several numbers need brackets");
    const std::size_t cols = rows[0].size();
    for (const auto& r : rows)
        if (r.size() != cols) bad(text, "its rows differ in length");
    std::vector<double> data(rows.size() * cols);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < cols; ++c) data[c * rows.size() + r] = rows[r][c];
    return Value::matrix(rows.size(), cols, std::move(data));
}

}  // namespace tolvane
