#include "runtime/value.hpp"

#include <algorithm>

#include "base/diagnostics.hpp"

namespace tolvane {

const char* kindName(Kind kind) {
    switch (kind) {
        case Kind::Unset: return "uninitialised";
        case Kind::Real: return "double";
        case Kind::Complex: return "complex double";
        case Kind::Char: return "char";
        case Kind::Record: return "struct";
        case Kind::Cell: return "cell";
        case Kind::Handle: return "handle";
    }
    return "unknown";
}

// ---- Record ---------------------------------------------------------------

std::size_t Record::find(const std::string& name) const {
    if (!index_.empty()) {
        const auto it = index_.find(name);
        return it == index_.end() ? fields_.size() : it->second;
    }
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].first == name) return i;
    return fields_.size();
}

void Record::rebuildIndex() {
    index_.clear();
    if (fields_.size() <= kIndexedFrom) return;
    index_.reserve(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i) index_.emplace(fields_[i].first, i);
}

bool Record::has(const std::string& name) const { return find(name) < fields_.size(); }

const Value& Record::at(const std::string& name) const {
    const std::size_t i = find(name);
    if (i == fields_.size()) throw Error("Reference to non-existent field '" + name + "'.");
    return fields_[i].second;
}

Value& Record::at(const std::string& name) {
    const std::size_t i = find(name);
    if (i == fields_.size()) throw Error("Reference to non-existent field '" + name + "'.");
    return fields_[i].second;
}

void Record::set(const std::string& name, Value value) {
    const std::size_t i = find(name);
    if (i < fields_.size()) {
        fields_[i].second = std::move(value);
        return;
    }
    fields_.emplace_back(name, std::move(value));
    if (!index_.empty()) index_.emplace(name, i);
    else if (fields_.size() > kIndexedFrom) rebuildIndex();
}

bool Record::remove(const std::string& name) {
    const std::size_t i = find(name);
    if (i == fields_.size()) return false;
    fields_.erase(fields_.begin() + static_cast<std::ptrdiff_t>(i));
    // Every later field moved down one place.
    if (!index_.empty()) rebuildIndex();
    return true;
}

bool Record::operator==(const Record& other) const {
    return fields_ == other.fields_;
}

// ---- Value construction ----------------------------------------------------

Value Value::empty() { return matrix(0, 0, {}); }

Value Value::scalar(double x) { return matrix(1, 1, {x}); }

Value Value::row(std::vector<double> values) {
    const std::size_t n = values.size();
    return matrix(1, n, std::move(values));
}

Value Value::column(std::vector<double> values) {
    const std::size_t n = values.size();
    return matrix(n, 1, std::move(values));
}

Value Value::matrix(std::size_t rows, std::size_t cols, std::vector<double> data) {
    if (data.size() != rows * cols) throw Error("Matrix data does not match its dimensions.");
    Value v;
    v.kind_ = Kind::Real;
    v.rows_ = rows;
    v.cols_ = cols;
    v.re_ = std::move(data);
    return v;
}

Value Value::zeros(std::size_t rows, std::size_t cols) {
    return matrix(rows, cols, std::vector<double>(rows * cols, 0.0));
}

Value Value::complexScalar(cplx x) { return complexMatrix(1, 1, {x}); }

Value Value::complexRow(std::vector<cplx> values) {
    const std::size_t n = values.size();
    return complexMatrix(1, n, std::move(values));
}

Value Value::complexMatrix(std::size_t rows, std::size_t cols, std::vector<cplx> data) {
    if (data.size() != rows * cols) throw Error("Matrix data does not match its dimensions.");
    Value v;
    v.kind_ = Kind::Complex;
    v.rows_ = rows;
    v.cols_ = cols;
    v.cx_ = std::move(data);
    return v;
}

Value Value::text(std::string s) {
    Value v;
    v.kind_ = Kind::Char;
    v.rows_ = s.empty() ? 0 : 1;
    v.cols_ = s.size();
    v.text_ = std::move(s);
    return v;
}

Value Value::record(Record r) {
    Value v;
    v.kind_ = Kind::Record;
    v.rows_ = 1;
    v.cols_ = 1;
    v.rec_.push_back(std::move(r));
    return v;
}

Value Value::cell(std::vector<Value> items) {
    const std::size_t n = items.size();
    return cellMatrix(n == 0 ? 0 : 1, n, std::move(items));
}

Value Value::cellMatrix(std::size_t rows, std::size_t cols, std::vector<Value> items) {
    if (items.size() != rows * cols) throw Error("Cell data does not match its dimensions.");
    Value v;
    v.kind_ = Kind::Cell;
    v.rows_ = rows;
    v.cols_ = cols;
    v.cells_ = std::move(items);
    return v;
}

Value Value::handle(double h) {
    Value v;
    v.kind_ = Kind::Handle;
    v.rows_ = 1;
    v.cols_ = 1;
    v.handle_ = h;
    return v;
}

// ---- Access ------------------------------------------------------------------

namespace {
[[noreturn]] void wrongKind(const char* wanted, Kind have) {
    throw Error(std::string("Expected a ") + wanted + " value, got " + kindName(have) + ".");
}
}  // namespace

const std::vector<double>& Value::realData() const {
    if (kind_ == Kind::Complex) wrongKind("real", kind_);
    if (kind_ != Kind::Real) wrongKind("numeric", kind_);
    return re_;
}

std::vector<double>& Value::realData() {
    if (kind_ != Kind::Real) wrongKind("real", kind_);
    return re_;
}

const std::vector<cplx>& Value::complexData() const {
    if (kind_ != Kind::Complex) wrongKind("complex", kind_);
    return cx_;
}

std::vector<cplx>& Value::complexData() {
    if (kind_ != Kind::Complex) wrongKind("complex", kind_);
    return cx_;
}

std::vector<cplx> Value::toComplex() const {
    if (kind_ == Kind::Complex) return cx_;
    if (kind_ == Kind::Real) return std::vector<cplx>(re_.begin(), re_.end());
    wrongKind("numeric", kind_);
}

double Value::realAt(std::size_t i) const {
    if (kind_ == Kind::Real) return re_.at(i);
    if (kind_ == Kind::Complex) return cx_.at(i).real();
    if (kind_ == Kind::Handle && i == 0) return handle_;
    if (kind_ == Kind::Char) return static_cast<unsigned char>(text_.at(i));
    wrongKind("numeric", kind_);
}

cplx Value::complexAt(std::size_t i) const {
    if (kind_ == Kind::Complex) return cx_.at(i);
    return {realAt(i), 0.0};
}

const std::string& Value::str() const {
    if (kind_ != Kind::Char) wrongKind("char", kind_);
    return text_;
}

const Record& Value::rec() const {
    if (kind_ != Kind::Record) wrongKind("struct", kind_);
    return rec_.front();
}

Record& Value::rec() {
    if (kind_ != Kind::Record) wrongKind("struct", kind_);
    return rec_.front();
}

const std::vector<Value>& Value::cells() const {
    if (kind_ != Kind::Cell) wrongKind("cell", kind_);
    return cells_;
}

std::vector<Value>& Value::cells() {
    if (kind_ != Kind::Cell) wrongKind("cell", kind_);
    return cells_;
}

double Value::handleValue() const {
    if (kind_ != Kind::Handle) wrongKind("handle", kind_);
    return handle_;
}

void Value::simplify() {
    if (kind_ != Kind::Complex) return;
    if (std::any_of(cx_.begin(), cx_.end(), [](const cplx& c) { return c.imag() != 0.0; }))
        return;
    re_.resize(cx_.size());
    std::transform(cx_.begin(), cx_.end(), re_.begin(), [](const cplx& c) { return c.real(); });
    cx_.clear();
    kind_ = Kind::Real;
}

bool Value::operator==(const Value& other) const {
    if (kind_ != other.kind_ || rows_ != other.rows_ || cols_ != other.cols_) return false;
    switch (kind_) {
        case Kind::Unset: return true;
        case Kind::Real: return re_ == other.re_;
        case Kind::Complex: return cx_ == other.cx_;
        case Kind::Char: return text_ == other.text_;
        case Kind::Record: return rec_ == other.rec_;
        case Kind::Cell: return cells_ == other.cells_;
        case Kind::Handle: return handle_ == other.handle_;
    }
    return false;
}

}  // namespace tolvane
