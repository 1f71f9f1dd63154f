#include "runtime/matrix_literal.hpp"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "numerics/diagnostics.hpp"

namespace tolvane {

namespace {

[[noreturn]] void bad(const std::string& text, const std::string& why) {
    throw Error("\"" + text + "\" is not a number or matrix literal: " + why + ".");
}

// Reads the numbers of one row, separated by blanks and/or commas.
std::vector<double> parseRow(const std::string& row, const std::string& whole) {
    std::vector<double> values;
    std::size_t i = 0;
    while (i < row.size()) {
        const char ch = row[i];
        if (std::isspace(static_cast<unsigned char>(ch)) || ch == ',') {
            ++i;
            continue;
        }
        const char* start = row.c_str() + i;
        char* end = nullptr;
        const double x = std::strtod(start, &end);
        if (end == start) bad(whole, "unexpected '" + std::string(1, ch) + "'");
        values.push_back(x);
        i += static_cast<std::size_t>(end - start);
        if (i < row.size() && !std::isspace(static_cast<unsigned char>(row[i])) && row[i] != ',')
            bad(whole, "unexpected '" + std::string(1, row[i]) + "'");
    }
    return values;
}

}  // namespace

Value parseMatrixLiteral(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) bad(text, "it is empty");
    std::string body = text.substr(first, last - first + 1);
    const bool bracketed = body.front() == '[';
    if (bracketed) {
        if (body.back() != ']') bad(text, "missing ']'");
        body = body.substr(1, body.size() - 2);
    } else if (body.find(';') != std::string::npos) {
        bad(text, "a matrix needs brackets");
    }

    std::vector<std::vector<double>> rows;
    std::size_t pos = 0;
    while (true) {
        const std::size_t semi = body.find(';', pos);
        rows.push_back(parseRow(body.substr(pos, semi == std::string::npos ? std::string::npos : semi - pos), text));
        if (semi == std::string::npos) break;
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
