// Value shapes shared by the adapters of the forward-link chain: vectors
// that keep their orientation, 16-row matrices, and row checks.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/walsh.hpp"
#include "runtime/value.hpp"

namespace tolvane::chain {

// True for a column with more than one element.
inline bool isColumn(const Value& v) { return v.cols() == 1 && v.rows() > 1; }

// Raises Error unless `v` is a row, a scalar or empty.
inline void requireRow(const Value& v, const std::string& name) {
    if (v.numel() > 1 && v.rows() != 1)
        throw Error("\"" + name + "\" must be a row vector, not " + numberText(static_cast<double>(v.rows())) +
                    " x " + numberText(static_cast<double>(v.cols())) + ".");
}

// Raises Error unless `v` is a vector (or scalar, or empty).
inline void requireVector(const Value& v, const std::string& name) {
    if (v.numel() > 1 && !v.isVector())
        throw Error("\"" + name + "\" must be a vector, not " + numberText(static_cast<double>(v.rows())) + " x " +
                    numberText(static_cast<double>(v.cols())) + ".");
}

// A result oriented like `like`: a column when `like` is a column, else a row.
inline Value realLike(const Value& like, std::vector<double> data) {
    return isColumn(like) ? Value::column(std::move(data)) : Value::row(std::move(data));
}

inline Value complexLike(const Value& like, std::vector<std::complex<double>> data) {
    const std::size_t n = data.size();
    return isColumn(like) ? Value::complexMatrix(n, 1, std::move(data)) : Value::complexRow(std::move(data));
}

// A matrix value as a row-major matrix.
inline RowMatrix<std::complex<double>> toRowMatrix(const Value& v) {
    const std::vector<std::complex<double>> data = v.toComplex();
    RowMatrix<std::complex<double>> m{v.rows(), v.cols(), std::vector<std::complex<double>>(data.size())};
    for (std::size_t c = 0; c < v.cols(); ++c)
        for (std::size_t r = 0; r < v.rows(); ++r) m.at(r, c) = data[c * v.rows() + r];
    return m;
}

// A row-major matrix as a value; all-zero imaginary parts are dropped, as
// after arithmetic.
inline Value fromRowMatrix(const RowMatrix<std::complex<double>>& m) {
    std::vector<std::complex<double>> data(m.data.size());
    for (std::size_t r = 0; r < m.rows; ++r)
        for (std::size_t c = 0; c < m.cols; ++c) data[c * m.rows + r] = m.at(r, c);
    Value v = Value::complexMatrix(m.rows, m.cols, std::move(data));
    v.simplify();
    return v;
}

}  // namespace tolvane::chain
