// Walsh codes, repetition, 16-way demultiplexing, Walsh cover, gain, sum.
#pragma once

#include <complex>
#include <vector>

namespace tolvane {

using cvec = std::vector<std::complex<double>>;

// A rows x cols matrix stored row-major (row r at data[r*cols ...]).
template <typename T>
struct RowMatrix {
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::vector<T> data;
    T& at(std::size_t r, std::size_t c) { return data[r * cols + c]; }
    const T& at(std::size_t r, std::size_t c) const { return data[r * cols + c]; }
};

// Sylvester-Hadamard table of size 2^floor(log2(index)); index >= 1.
RowMatrix<double> walshMatrix(double index);

// Each symbol times the whole code, symbol-major.
cvec walshCover(const cvec& signal, const std::vector<double>& code);

// Whole-sequence repetition `factor` times.
template <typename T>
std::vector<T> repeatSequence(const std::vector<T>& input, long long factor);

// Repetition and truncation to exactly `length` symbols; throws Error for
// empty data and a positive length.
cvec fwdTrfRepSeq(const cvec& data, long long length);

// 16 x ceil(N/16) matrix: row i holds symbols i, i+16, ... (zero padded).
RowMatrix<std::complex<double>> fwdTrfDemux(const cvec& data);
// Row i covered by Walsh code i-1 of length 16: 16 x 16M.
RowMatrix<std::complex<double>> fwdTrfWalshCover(const RowMatrix<std::complex<double>>& input);
// Every element divided by 4.
RowMatrix<std::complex<double>> fwdTrfChnGain(RowMatrix<std::complex<double>> input);
// Column sums: one row of chips.
cvec fwdTrfSummer(const RowMatrix<std::complex<double>>& input);

// Demux, Walsh cover, gain and summer in one pass over the symbols, without
// the 16-row intermediates: 16 * ceil(N/16) chips, equal bit for bit to the
// four stages run one after another.
cvec fwdTrfCoverAndSum(const cvec& symbols);

}  // namespace tolvane
