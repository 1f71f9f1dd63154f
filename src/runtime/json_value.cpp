#include "runtime/json_value.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "numerics/diagnostics.hpp"

namespace tolvane {

namespace {

// ---- JSON -> value ------------------------------------------------------------

// The strings that stand for non-finite numbers.
std::optional<double> nonFinite(const std::string& s) {
    if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (s == "Inf" || s == "+Inf") return std::numeric_limits<double>::infinity();
    if (s == "-Inf") return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

bool isNumberLike(const Json& j) {
    return j.is_number() || j.is_boolean() || (j.is_string() && nonFinite(j.get_ref<const std::string&>()));
}

double numberOf(const Json& j) {
    if (j.is_boolean()) return j.get<bool>() ? 1.0 : 0.0;
    if (j.is_string()) return *nonFinite(j.get_ref<const std::string&>());
    return j.get<double>();
}

bool isNumericArray(const Json& j) {
    if (!j.is_array()) return false;
    for (const auto& e : j)
        if (!isNumberLike(e)) return false;
    return true;
}

// True for a non-empty array whose items are all arrays of numbers.
bool isNumericRows(const Json& j) {
    if (!j.is_array() || j.empty()) return false;
    for (const auto& e : j)
        if (!isNumericArray(e)) return false;
    return true;
}

struct Block {
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::vector<double> data;  // column-major
};

std::string where(const std::string& path) { return path.empty() ? "the value" : path; }

// A number, a row or a matrix as a block; nothing when `j` is none of these.
std::optional<Block> numericBlock(const Json& j, const std::string& path) {
    Block b;
    if (isNumberLike(j)) {
        b.rows = b.cols = 1;
        b.data.push_back(numberOf(j));
        return b;
    }
    if (isNumericArray(j)) {
        if (j.empty()) return b;  // 0 x 0
        b.rows = 1;
        b.cols = j.size();
        for (const auto& e : j) b.data.push_back(numberOf(e));
        return b;
    }
    if (isNumericRows(j)) {
        b.rows = j.size();
        b.cols = j.front().size();
        for (std::size_t r = 0; r < b.rows; ++r) {
            if (j[r].size() != b.cols)
                throw Error("Ragged matrix in " + where(path) + ": row " + std::to_string(r + 1) + " has " +
                            std::to_string(j[r].size()) + " numbers, row 1 has " + std::to_string(b.cols) +
                            ".");
        }
        b.data.resize(b.rows * b.cols);
        for (std::size_t r = 0; r < b.rows; ++r)
            for (std::size_t c = 0; c < b.cols; ++c) b.data[c * b.rows + r] = numberOf(j[r][c]);
        return b;
    }
    return std::nullopt;
}

std::string shapeText(const Block& b) { return std::to_string(b.rows) + "x" + std::to_string(b.cols); }

Value fromJson(const Json& j, const std::string& path);

std::optional<Value> complexFromJson(const Json& j, const std::string& path) {
    if (j.size() != 2 || !j.contains("re") || !j.contains("im")) return std::nullopt;
    auto re = numericBlock(j.at("re"), path + ".re");
    auto im = numericBlock(j.at("im"), path + ".im");
    if (!re || !im) return std::nullopt;
    if (re->rows != im->rows || re->cols != im->cols)
        throw Error("Complex value in " + where(path) + ": \"re\" is " + shapeText(*re) + " but \"im\" is " +
                    shapeText(*im) + ".");
    std::vector<cplx> data(re->data.size());
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = cplx(re->data[i], im->data[i]);
    return Value::complexMatrix(re->rows, re->cols, std::move(data));
}

Value fromJson(const Json& j, const std::string& path) {
    if (j.is_null()) return Value{};
    if (auto block = numericBlock(j, path)) return Value::matrix(block->rows, block->cols, std::move(block->data));
    if (j.is_string()) return Value::text(j.get<std::string>());
    if (j.is_object()) {
        if (auto z = complexFromJson(j, path)) return *z;
        Record r;
        for (const auto& [key, item] : j.items()) r.set(key, fromJson(item, path + "." + key));
        return Value::record(std::move(r));
    }
    if (j.is_array()) {
        std::vector<Value> items;
        items.reserve(j.size());
        for (std::size_t i = 0; i < j.size(); ++i)
            items.push_back(fromJson(j[i], path + "[" + std::to_string(i) + "]"));
        return Value::cell(std::move(items));
    }
    throw Error("Unsupported JSON item in " + where(path) + ".");
}

// ---- value -> JSON ------------------------------------------------------------

Json numberJson(double x) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
    constexpr double exactLimit = 9007199254740992.0;  // 2^53
    if (std::floor(x) == x && std::fabs(x) < exactLimit && !(x == 0.0 && std::signbit(x)))
        return static_cast<std::int64_t>(x);
    return x;
}

// A matrix given by an element accessor as a number, a row or rows.
template <typename At>
Json blockJson(std::size_t rows, std::size_t cols, At at) {
    if (rows == 1 && cols == 1) return numberJson(at(0));
    Json out = Json::array();
    if (rows * cols == 0) return out;
    if (rows == 1) {
        for (std::size_t c = 0; c < cols; ++c) out.push_back(numberJson(at(c)));
        return out;
    }
    for (std::size_t r = 0; r < rows; ++r) {
        Json row = Json::array();
        for (std::size_t c = 0; c < cols; ++c) row.push_back(numberJson(at(c * rows + r)));
        out.push_back(std::move(row));
    }
    return out;
}

}  // namespace

Value valueFromJson(const Json& json) { return fromJson(json, ""); }

Json valueToJson(const Value& v) {
    switch (v.kind()) {
        case Kind::Unset: return nullptr;
        case Kind::Real: {
            const auto& d = v.realData();
            return blockJson(v.rows(), v.cols(), [&](std::size_t i) { return d[i]; });
        }
        case Kind::Complex: {
            const auto& d = v.complexData();
            Json out = Json::object();
            out["re"] = blockJson(v.rows(), v.cols(), [&](std::size_t i) { return d[i].real(); });
            out["im"] = blockJson(v.rows(), v.cols(), [&](std::size_t i) { return d[i].imag(); });
            return out;
        }
        case Kind::Char: return v.str();
        case Kind::Record: {
            Json out = Json::object();
            for (const auto& [name, field] : v.rec().fields()) out[name] = valueToJson(field);
            return out;
        }
        case Kind::Cell: {
            const auto& items = v.cells();
            Json out = Json::array();
            if (v.rows() <= 1) {
                for (const auto& item : items) out.push_back(valueToJson(item));
                return out;
            }
            for (std::size_t r = 0; r < v.rows(); ++r) {
                Json row = Json::array();
                for (std::size_t c = 0; c < v.cols(); ++c) row.push_back(valueToJson(items[c * v.rows() + r]));
                out.push_back(std::move(row));
            }
            return out;
        }
        case Kind::Handle: return numberJson(v.handleValue());
    }
    return nullptr;
}

Value parseJsonValue(const std::string& text) {
    Json j;
    try {
        j = Json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        // Drop the library's "[json.exception.parse_error.N] " tag.
        std::string what = e.what();
        if (auto close = what.find("] "); what.rfind("[json.exception", 0) == 0 && close != std::string::npos)
            what.erase(0, close + 2);
        throw Error("Malformed JSON: " + what);
    }
    return valueFromJson(j);
}

std::string jsonText(const Json& json) {
    // Text that is not valid UTF-8 is written with replacement characters
    // rather than failing the whole output.
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string valueToJsonText(const Value& value) { return jsonText(valueToJson(value)); }

}  // namespace tolvane
