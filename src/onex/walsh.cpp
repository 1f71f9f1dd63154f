// Walsh codes, repetition, 16-way demultiplexing, Walsh cover, gain, sum.
#include "onex/walsh.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <string>

#include "base/diagnostics.hpp"

namespace tolvane {

namespace {

using cplx = std::complex<double>;

// The largest table built on request (4096 x 4096, 128 MiB); the chain
// itself only uses 16 and 64.
constexpr int kMaxWalshOrder = 12;

// The 16 x 16 table the traffic channel covers with, built once.
const RowMatrix<double>& walsh16() {
    static const RowMatrix<double> table = walshMatrix(16);
    return table;
}

}  // namespace

RowMatrix<double> walshMatrix(double index) {
    if (!(index > 0)) throw Error("Walsh index = " + numberText(index) + " must be a positive number.");
    const double order = std::floor(std::log2(index));
    if (order > kMaxWalshOrder)
        throw Error("Walsh index = " + numberText(index) + " asks for a table larger than 4096 x 4096.");
    // Indexes below 1 give no doubling step: the 1 x 1 table [1].
    const std::size_t size = std::size_t{1} << static_cast<int>(std::max(order, 0.0));
    RowMatrix<double> h{size, size, std::vector<double>(size * size)};
    // Sylvester doubling [H H; H -H] leaves entry (r, q) = (-1)^popcount(r & q).
    for (std::size_t r = 0; r < size; ++r)
        for (std::size_t q = 0; q < size; ++q) h.at(r, q) = (std::popcount(r & q) & 1) ? -1.0 : 1.0;
    return h;
}

cvec walshCover(const cvec& signal, const std::vector<double>& code) {
    cvec out;
    out.reserve(signal.size() * code.size());
    for (const cplx& s : signal)
        for (double c : code) out.push_back(s * c);
    return out;
}

template <typename T>
std::vector<T> repeatSequence(const std::vector<T>& input, long long factor) {
    std::vector<T> out;
    if (factor <= 0) return out;
    out.reserve(input.size() * static_cast<std::size_t>(factor));
    for (long long k = 0; k < factor; ++k) out.insert(out.end(), input.begin(), input.end());
    return out;
}

template std::vector<double> repeatSequence(const std::vector<double>&, long long);
template std::vector<cplx> repeatSequence(const std::vector<cplx>&, long long);

cvec fwdTrfRepSeq(const cvec& data, long long length) {
    if (length <= 0) return {};
    const auto want = static_cast<std::size_t>(length);
    if (want <= data.size()) return cvec(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(want));
    if (data.empty())
        throw Error("The symbol repetition got no symbols to repeat to reqLength = " + numberText(static_cast<double>(length)) + ".");
    cvec out;
    out.reserve(want);
    while (out.size() + data.size() <= want) out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(want - out.size()));
    return out;
}

RowMatrix<cplx> fwdTrfDemux(const cvec& data) {
    const std::size_t cols = (data.size() + 15) / 16;
    RowMatrix<cplx> out{16, cols, std::vector<cplx>(16 * cols)};
    for (std::size_t k = 0; k < data.size(); ++k) out.at(k % 16, k / 16) = data[k];
    return out;
}

RowMatrix<cplx> fwdTrfWalshCover(const RowMatrix<cplx>& input) {
    if (input.rows < 16)
        throw Error("The Walsh cover needs 16 rows of symbols, but the input has " + numberText(static_cast<double>(input.rows)) + ".");
    const RowMatrix<double>& w = walsh16();
    RowMatrix<cplx> out{16, input.cols * 16, std::vector<cplx>(16 * input.cols * 16)};
    for (std::size_t r = 0; r < 16; ++r) {
        const cvec row(input.data.begin() + static_cast<std::ptrdiff_t>(r * input.cols),
                       input.data.begin() + static_cast<std::ptrdiff_t>((r + 1) * input.cols));
        const cvec covered = walshCover(row, std::vector<double>(w.data.begin() + static_cast<std::ptrdiff_t>(r * 16),
                                                                 w.data.begin() + static_cast<std::ptrdiff_t>(r * 16 + 16)));
        std::copy(covered.begin(), covered.end(), out.data.begin() + static_cast<std::ptrdiff_t>(r * out.cols));
    }
    return out;
}

RowMatrix<cplx> fwdTrfChnGain(RowMatrix<cplx> input) {
    for (cplx& z : input.data) z /= 4.0;
    return input;
}

cvec fwdTrfSummer(const RowMatrix<cplx>& input) {
    cvec out(input.cols);
    for (std::size_t r = 0; r < input.rows; ++r)
        for (std::size_t k = 0; k < input.cols; ++k) out[k] += input.at(r, k);
    return out;
}

cvec fwdTrfCoverAndSum(const cvec& symbols) {
    // Chip 16n + t is the sum over rows i = 0..15, in row order, of
    // (symbol 16n + i / 4) * W_i[t]: the same products added in the same
    // order as demux, cover, gain and summer, so the chips agree to the bit.
    // Multiplying by +-1 and dividing by 4 are exact, which makes the order
    // of those two irrelevant.
    const RowMatrix<double>& w = walsh16();
    const std::size_t columns = (symbols.size() + 15) / 16;
    cvec out(columns * 16);
    std::array<double, 16> xr{}, xi{}, ar{}, ai{};
    for (std::size_t n = 0; n < columns; ++n) {
        for (std::size_t i = 0; i < 16; ++i) {
            const std::size_t k = n * 16 + i;
            const cplx s = k < symbols.size() ? symbols[k] / 4.0 : cplx{};
            xr[i] = s.real();
            xi[i] = s.imag();
        }
        ar.fill(0.0);
        ai.fill(0.0);
        for (std::size_t i = 0; i < 16; ++i) {
            const double* code = w.data.data() + i * 16;
            for (std::size_t t = 0; t < 16; ++t) {
                ar[t] += code[t] * xr[i];
                ai[t] += code[t] * xi[i];
            }
        }
        for (std::size_t t = 0; t < 16; ++t) out[n * 16 + t] = {ar[t], ai[t]};
    }
    return out;
}

}  // namespace tolvane
