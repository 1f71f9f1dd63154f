#include "runtime/json_value.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/diagnostics.hpp"
#include "runtime/input_limits.hpp"

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

// Where an item sits in the whole value, as a chain from the item up to the
// top; turned into text (".a[0].b") only for an error message.
struct Place {
    const Place* parent = nullptr;
    const std::string* key = nullptr;  // a field name, or else
    std::size_t index = 0;             // a position in an array
};

std::string where(const Place* place) {
    if (!place) return "the value";
    std::vector<const Place*> chain;
    for (const Place* p = place; p; p = p->parent) chain.push_back(p);
    std::string text;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        const Place* p = *it;
        if (p->key) {
            // A very long name is cut so the message stays readable.
            constexpr std::size_t longest = 64;
            text += "." + (p->key->size() <= longest ? *p->key : p->key->substr(0, longest) + "...");
        } else {
            text += "[" + std::to_string(p->index) + "]";
        }
    }
    return text;
}

// A number, a row or a matrix as a block; nothing when `j` is none of these.
std::optional<Block> numericBlock(const Json& j, const Place* place) {
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
        b.data.reserve(b.cols);
        for (const auto& e : j) b.data.push_back(numberOf(e));
        return b;
    }
    if (isNumericRows(j)) {
        b.rows = j.size();
        b.cols = j.front().size();
        for (std::size_t r = 0; r < b.rows; ++r) {
            if (j[r].size() != b.cols)
                throw Error("Ragged matrix in " + where(place) + ": row " + std::to_string(r + 1) + " has " +
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

const std::string reKey = "re";
const std::string imKey = "im";

std::optional<Value> complexFromJson(const Json& j, const Place* place) {
    if (j.size() != 2 || !j.contains("re") || !j.contains("im")) return std::nullopt;
    const Place rePlace{place, &reKey};
    const Place imPlace{place, &imKey};
    auto re = numericBlock(j.at("re"), &rePlace);
    auto im = numericBlock(j.at("im"), &imPlace);
    if (!re || !im) return std::nullopt;
    if (re->rows != im->rows || re->cols != im->cols)
        throw Error("Complex value in " + where(place) + ": \"re\" is " + shapeText(*re) + " but \"im\" is " +
                    shapeText(*im) + ".");
    std::vector<cplx> data(re->data.size());
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = cplx(re->data[i], im->data[i]);
    return Value::complexMatrix(re->rows, re->cols, std::move(data));
}

[[noreturn]] void tooDeep() {
    throw Error("The JSON value nests arrays and objects more than " + std::to_string(limits::kMaxJsonDepth) +
                " levels deep; at most " + std::to_string(limits::kMaxJsonDepth) + " are allowed.");
}

// Counts the values made for cell items and record fields against
// limits::kMaxValueCount: each costs far more than a number.
struct ValueCount {
    std::uint64_t made = 0;
    void add() {
        if (++made > limits::kMaxValueCount)
            throw Error("The JSON value holds more than " + std::to_string(limits::kMaxValueCount) +
                        " cell items and record fields, the most allowed.");
    }
};

// `depth` counts the arrays and objects around `j`. Text parsed here never
// nests deeper than the limit (the parser stops first), but a JSON value
// built by code might, so the depth is checked before going down a level.
Value fromJson(const Json& j, const Place* place, std::size_t depth, ValueCount& count) {
    if (j.is_null()) return Value{};
    if (auto block = numericBlock(j, place)) return Value::matrix(block->rows, block->cols, std::move(block->data));
    if (j.is_string()) return Value::text(j.get<std::string>());
    if (!j.is_object() && !j.is_array()) throw Error("Unsupported JSON item in " + where(place) + ".");
    if (depth >= limits::kMaxJsonDepth) tooDeep();
    if (j.is_object()) {
        if (auto z = complexFromJson(j, place)) return std::move(*z);
        Record r;
        for (const auto& [key, item] : j.items()) {
            count.add();
            const Place child{place, &key};
            r.set(key, fromJson(item, &child, depth + 1, count));
        }
        return Value::record(std::move(r));
    }
    std::vector<Value> items;
    items.reserve(j.size());
    for (std::size_t i = 0; i < j.size(); ++i) {
        count.add();
        const Place child{place, nullptr, i};
        items.push_back(fromJson(j[i], &child, depth + 1, count));
    }
    return Value::cell(std::move(items));
}

// Builds the parsed JSON while the parser reads the text, refusing text that
// nests too deep or holds too many items before either can exhaust the stack
// or the memory. Object members are appended in text order in constant time
// (a per-object hash of the names seen finds a repeated name, whose later
// value replaces the earlier one in its first place).
class BoundedBuilder final : public nlohmann::json_sax<Json> {
public:
    explicit BoundedBuilder(Json& root) : root_(root) {}

    bool null() override { return place(Json(nullptr), Item::Other) != nullptr; }
    bool boolean(bool b) override { return place(Json(b), Item::Number) != nullptr; }
    bool number_integer(number_integer_t x) override { return place(Json(x), Item::Number) != nullptr; }
    bool number_unsigned(number_unsigned_t x) override { return place(Json(x), Item::Number) != nullptr; }
    bool number_float(number_float_t x, const string_t&) override { return place(Json(x), Item::Number) != nullptr; }
    bool string(string_t& s) override {
        const Item kind = nonFinite(s) ? Item::Number : Item::Other;
        return place(Json(std::move(s)), kind) != nullptr;
    }
    bool binary(binary_t&) override { throw Error("Malformed JSON: binary data is not JSON text."); }

    bool start_object(std::size_t) override { return open(Json::object()); }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override {
        Frame& frame = frames_.back();
        auto& members = frame.json->get_ref<Json::object_t&>();
        const auto [it, added] = frame.names.try_emplace(name, members.size());
        if (added) {
            members.emplace_back(std::move(name), nullptr);
            slot_ = &members.back().second;
        } else {
            slot_ = &(members.begin() + static_cast<std::ptrdiff_t>(it->second))->second;
        }
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
        // Drop the library's "[json.exception.parse_error.N] " tag.
        std::string what = e.what();
        if (auto close = what.find("] "); what.rfind("[json.exception", 0) == 0 && close != std::string::npos)
            what.erase(0, close + 2);
        throw Error("Malformed JSON: " + what);
    }

private:
    struct Frame {
        Json* json;
        std::unordered_map<std::string, std::size_t> names;  // objects only
    };

    // What an item counts against: numbers (and the words for non-finite
    // numbers), arrays and objects, or other texts and nulls.
    enum class Item { Number, Container, Other };

    Json* place(Json&& item, Item kind) {
        switch (kind) {
            case Item::Number:
                if (++numbers_ > limits::kMaxElements)
                    throw Error("The JSON value holds more than " + std::to_string(limits::kMaxElements) +
                                " numbers, the most allowed.");
                break;
            case Item::Container:
                if (++containers_ > limits::kMaxJsonContainers)
                    throw Error("The JSON value holds more than " + std::to_string(limits::kMaxJsonContainers) +
                                " arrays and objects, the most allowed.");
                break;
            case Item::Other:
                if (++others_ > limits::kMaxValueCount)
                    throw Error("The JSON value holds more than " + std::to_string(limits::kMaxValueCount) +
                                " texts and nulls, the most allowed.");
                break;
        }
        if (frames_.empty()) {
            root_ = std::move(item);
            return &root_;
        }
        Json& parent = *frames_.back().json;
        if (parent.is_array()) {
            auto& items = parent.get_ref<Json::array_t&>();
            items.push_back(std::move(item));
            return &items.back();
        }
        *slot_ = std::move(item);
        return slot_;
    }

    bool open(Json&& container) {
        if (frames_.size() >= limits::kMaxJsonDepth) tooDeep();
        frames_.push_back(Frame{place(std::move(container), Item::Container), {}});
        return true;
    }

    bool close() {
        frames_.pop_back();
        return true;
    }

    Json& root_;
    std::vector<Frame> frames_;
    Json* slot_ = nullptr;  // the member whose name was read last
    std::uint64_t numbers_ = 0;
    std::uint64_t containers_ = 0;
    std::uint64_t others_ = 0;
};

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

Value valueFromJson(const Json& json) {
    ValueCount count;
    return fromJson(json, nullptr, 0, count);
}

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
    if (text.size() > limits::kMaxTextBytes)
        throw Error("The JSON text is " + std::to_string(text.size()) + " bytes long; at most " +
                    std::to_string(limits::kMaxTextBytes) + " are allowed.");
    Json j;
    BoundedBuilder builder(j);
    Json::sax_parse(text, &builder);
    return valueFromJson(j);
}

std::string jsonText(const Json& json) {
    // Text that is not valid UTF-8 is written with replacement characters
    // rather than failing the whole output.
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string valueToJsonText(const Value& value) { return jsonText(valueToJson(value)); }

}  // namespace tolvane
