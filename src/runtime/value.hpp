// The dynamically typed value that every call by name takes and returns.
//
// A value is one of: uninitialised (distinct from empty), a real or complex
// double matrix, a character row, a record with ordered (possibly nested)
// fields, a cell list, or a window handle. Matrices are stored column-major,
// positions seen by users are 1-based. Values have value semantics.
#pragma once

#include <complex>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tolvane {

class Value;

using cplx = std::complex<double>;

enum class Kind { Unset, Real, Complex, Char, Record, Cell, Handle };

const char* kindName(Kind kind);

// Ordered fields of a record.
//
// Lookups by name take constant time: a record of more than
// kIndexedFrom fields keeps a hash index from name to position next to the
// ordered fields, so building a record of n fields takes time linear in n.
// Smaller records (almost all of them) are searched in order, which is as
// fast for them and keeps copies cheap. The fields can only be changed
// through set, at and remove, which keep the index in step.
class Record {
public:
    using Field = std::pair<std::string, Value>;

    bool has(const std::string& name) const;
    const Value& at(const std::string& name) const;  // throws Error naming the field
    Value& at(const std::string& name);              // throws Error naming the field
    // Sets a field, appending it when new (field order is creation order).
    void set(const std::string& name, Value value);
    bool remove(const std::string& name);
    const std::vector<Field>& fields() const { return fields_; }
    std::size_t size() const;  // defined below, where Value is complete
    bool operator==(const Record& other) const;

    static constexpr std::size_t kIndexedFrom = 32;

private:
    // The position of the field, or size() when there is none.
    std::size_t find(const std::string& name) const;
    void rebuildIndex();

    std::vector<Field> fields_;
    std::unordered_map<std::string, std::size_t> index_;  // empty while size() <= kIndexedFrom
};

class Value {
public:
    Value() = default;  // uninitialised

    // Real matrices.
    static Value empty();
    static Value scalar(double x);
    static Value row(std::vector<double> values);
    static Value column(std::vector<double> values);
    // Column-major data of rows x cols.
    static Value matrix(std::size_t rows, std::size_t cols, std::vector<double> data);
    static Value zeros(std::size_t rows, std::size_t cols);

    // Complex matrices.
    static Value complexScalar(cplx x);
    static Value complexRow(std::vector<cplx> values);
    static Value complexMatrix(std::size_t rows, std::size_t cols, std::vector<cplx> data);

    static Value text(std::string s);
    static Value record(Record r = {});
    static Value cell(std::vector<Value> items);  // a 1 x n cell list
    static Value cellMatrix(std::size_t rows, std::size_t cols, std::vector<Value> items);
    static Value handle(double h);

    Kind kind() const { return kind_; }
    bool isSet() const { return kind_ != Kind::Unset; }
    bool isNumeric() const { return kind_ == Kind::Real || kind_ == Kind::Complex; }
    bool isReal() const { return kind_ == Kind::Real; }
    bool isComplex() const { return kind_ == Kind::Complex; }
    bool isText() const { return kind_ == Kind::Char; }
    bool isRecord() const { return kind_ == Kind::Record; }
    bool isCell() const { return kind_ == Kind::Cell; }
    bool isHandle() const { return kind_ == Kind::Handle; }

    std::size_t rows() const { return rows_; }
    std::size_t cols() const { return cols_; }
    std::size_t numel() const { return rows_ * cols_; }
    bool isEmpty() const { return isSet() && numel() == 0; }
    bool isScalar() const { return numel() == 1; }
    bool isVector() const { return rows_ == 1 || cols_ == 1; }

    // Numeric access (column-major). Reading the real part of a complex
    // value gives its real parts; complexData() of a real value converts.
    const std::vector<double>& realData() const;
    std::vector<double>& realData();
    const std::vector<cplx>& complexData() const;
    std::vector<cplx>& complexData();
    std::vector<cplx> toComplex() const;
    double realAt(std::size_t i) const;  // 0-based linear index
    cplx complexAt(std::size_t i) const;

    const std::string& str() const;
    const Record& rec() const;
    Record& rec();
    const std::vector<Value>& cells() const;
    std::vector<Value>& cells();
    double handleValue() const;

    // Record field helpers.
    const Value& field(const std::string& name) const { return rec().at(name); }
    Value& field(const std::string& name) { return rec().at(name); }
    bool hasField(const std::string& name) const { return isRecord() && rec().has(name); }
    void setField(const std::string& name, Value v) { rec().set(name, std::move(v)); }

    // Drops an all-zero imaginary part: a complex value whose imaginary
    // parts are all zero becomes real.
    void simplify();

    // Exact equality of kind, shape and contents.
    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }

private:
    Kind kind_ = Kind::Unset;
    std::size_t rows_ = 0;
    std::size_t cols_ = 0;
    std::vector<double> re_;
    std::vector<cplx> cx_;
    std::string text_;
    std::vector<Record> rec_;   // holds exactly one record when kind_ == Record
    std::vector<Value> cells_;
    double handle_ = 0.0;
};

inline std::size_t Record::size() const { return fields_.size(); }

}  // namespace tolvane
