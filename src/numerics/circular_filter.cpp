#include "numerics/circular_filter.hpp"

#include <fftw3.h>

#include <algorithm>
#include <memory>
#include <string>

#include "base/diagnostics.hpp"
#include "numerics/fft.hpp"

namespace tolvane {

namespace {

// Filters up to this length run as a direct loop; longer ones by FFT.
constexpr std::size_t kDirectMaxTaps = 32;
// Outputs computed per block of the direct loops (kept in L1 cache).
constexpr std::size_t kBlock = 128;

std::size_t positiveMod(long long value, std::size_t n) {
    const long long m = static_cast<long long>(n);
    long long r = value % m;
    if (r < 0) r += m;
    return static_cast<std::size_t>(r);
}

// Taps folded onto a circle of n samples: a filter longer than the row
// wraps around it, and taps k and k + n act on the same sample.
template <typename T>
std::vector<T> foldTaps(const std::vector<T>& h, std::size_t n) {
    if (h.size() <= n) return h;
    std::vector<T> folded(n, T{});
    for (std::size_t k = 0; k < h.size(); ++k) folded[k % n] += h[k];
    return folded;
}

// Writes value z[m] of the unrotated circular convolution to its place in
// the output, y[(m - shift) mod N].
class RotatedWriter {
public:
    RotatedWriter(std::vector<cplx>& out, std::size_t shift) : out_(out), shift_(shift) {}
    void put(std::size_t m, cplx value) {
        const std::size_t n = out_.size();
        out_[m >= shift_ ? m - shift_ : m + n - shift_] = value;
    }

private:
    std::vector<cplx>& out_;
    std::size_t shift_;
};

// The two inner kernels are also compiled for AVX2 where the processor has
// it (chosen at load time); without FMA the results are the same bits.
// Not under ThreadSanitizer: the loader runs the function that chooses the
// clone before the sanitizer's runtime has started, and its instrumented
// code crashes there.
#if defined(__x86_64__) && defined(__has_attribute) && !defined(__SANITIZE_THREAD__)
#if __has_attribute(target_clones)
#define TOLVANE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef TOLVANE_VECTOR_CLONES
#define TOLVANE_VECTOR_CLONES
#endif

// acc[t] += h * src[t] over interleaved (re, im) doubles: a complex row
// scaled by a real tap. Independent elements, so it vectorises.
inline void axpy(double h, const double* src, double* acc, std::size_t count) {
    for (std::size_t t = 0; t < count; ++t) acc[t] += h * src[t];
}

// acc[t] = sum_k h[k] src[t - 2k], t < count2 (interleaved doubles; src
// points at the block's first sample).
TOLVANE_VECTOR_CLONES
void firBlock(const double* h, std::size_t taps, const double* src, std::size_t count2, double* acc) {
    std::fill(acc, acc + count2, 0.0);
    for (std::size_t k = 0; k < taps; ++k) axpy(h[k], src - 2 * k, acc, count2);
}

// For each phase p < r: acc[p * stride + t] = sum_i taps[p][i] src[t - 2i],
// over the phase's own taps (p + i r < length).
TOLVANE_VECTOR_CLONES
void polyphaseBlock(const double* phaseTaps, std::size_t r, std::size_t perPhase, std::size_t length,
                    const double* src, std::size_t count2, double* acc, std::size_t stride) {
    for (std::size_t p = 0; p < r; ++p) {
        double* a = acc + p * stride;
        std::fill(a, a + count2, 0.0);
        const double* hp = phaseTaps + p * perPhase;
        for (std::size_t i = 0; i < perPhase && p + i * r < length; ++i) axpy(hp[i], src - 2 * i, a, count2);
    }
}

// Direct circular convolution with real taps (h.size() <= N).
void directReal(const std::vector<cplx>& x, const std::vector<double>& h, RotatedWriter& out) {
    const std::size_t n = x.size();
    const std::size_t L = h.size();
    // Head: outputs whose taps reach across the start of the row.
    for (std::size_t m = 0; m + 1 < L && m < n; ++m) {
        cplx acc{};
        for (std::size_t k = 0; k < L; ++k) acc += h[k] * x[m >= k ? m - k : m + n - k];
        out.put(m, acc);
    }
    // Interior, in blocks of outputs.
    const double* xd = reinterpret_cast<const double*>(x.data());
    double acc[2 * kBlock];
    for (std::size_t m0 = L - 1; m0 < n; m0 += kBlock) {
        const std::size_t count = std::min(kBlock, n - m0);
        firBlock(h.data(), L, xd + 2 * m0, 2 * count, acc);
        for (std::size_t i = 0; i < count; ++i) out.put(m0 + i, {acc[2 * i], acc[2 * i + 1]});
    }
}

// An array in FFTW's alignment, released on scope exit.
struct AlignedRow {
    explicit AlignedRow(std::size_t n)
        : data(reinterpret_cast<cplx*>(fftw_alloc_complex(n)), [](cplx* p) { fftw_free(p); }) {
        if (!data) throw Error("Out of memory for an FFT buffer of " + numberText(static_cast<double>(n)) + " samples.");
    }
    cplx* get() const { return data.get(); }
    std::unique_ptr<cplx, void (*)(cplx*)> data;
};

// Circular convolution by overlap-save FFT blocks (h.size() <= N).
void fftConvolve(const std::vector<cplx>& x, const std::vector<cplx>& h, RotatedWriter& out) {
    const std::size_t n = x.size();
    const std::size_t L = h.size();
    std::size_t block = 1024;
    while (block < 8 * L) block *= 2;
    const std::size_t valid = block - L + 1;

    AlignedRow response(block), buffer(block);
    std::fill(response.get(), response.get() + block, cplx{});
    std::copy(h.begin(), h.end(), response.get());
    dft(response.get(), response.get(), block, FftDirection::Forward);
    const double scale = 1.0 / static_cast<double>(block);
    for (std::size_t i = 0; i < block; ++i) response.get()[i] *= scale;

    for (std::size_t m0 = 0; m0 < n; m0 += valid) {
        // Segment x[(m0 - L + 1 + t) mod N], t = 0 .. block - 1.
        std::size_t src = positiveMod(static_cast<long long>(m0) - static_cast<long long>(L - 1), n);
        for (std::size_t t = 0; t < block;) {
            const std::size_t run = std::min(block - t, n - src);
            std::copy(x.begin() + static_cast<std::ptrdiff_t>(src),
                      x.begin() + static_cast<std::ptrdiff_t>(src + run), buffer.get() + t);
            t += run;
            src = 0;
        }
        dft(buffer.get(), buffer.get(), block, FftDirection::Forward);
        for (std::size_t i = 0; i < block; ++i) buffer.get()[i] *= response.get()[i];
        dft(buffer.get(), buffer.get(), block, FftDirection::Inverse);
        const std::size_t count = std::min(valid, n - m0);
        for (std::size_t i = 0; i < count; ++i) out.put(m0 + i, buffer.get()[L - 1 + i]);
    }
}

}  // namespace

void circularConvolve(const std::vector<cplx>& x, const std::vector<double>& h, long long delay,
                      std::vector<cplx>& y) {
    const std::size_t n = x.size();
    if (n == 0 || h.empty()) {
        y.assign(n, cplx{});
        return;
    }
    y.resize(n);
    RotatedWriter out(y, positiveMod(delay, n));
    const std::vector<double> taps = foldTaps(h, n);
    if (taps.size() <= kDirectMaxTaps || n < 4 * taps.size()) {
        directReal(x, taps, out);
    } else {
        fftConvolve(x, std::vector<cplx>(taps.begin(), taps.end()), out);
    }
}

std::vector<cplx> circularConvolve(const std::vector<cplx>& x, const std::vector<double>& h, long long delay) {
    std::vector<cplx> y;
    circularConvolve(x, h, delay, y);
    return y;
}

std::vector<cplx> circularConvolve(const std::vector<cplx>& x, const std::vector<cplx>& h, long long delay) {
    const std::size_t n = x.size();
    if (n == 0 || h.empty()) return std::vector<cplx>(n);
    const std::vector<cplx> taps = foldTaps(h, n);
    if (taps.size() <= kDirectMaxTaps || n < 4 * taps.size()) {
        // Real and imaginary taps separately: y = x*hr + i (x*hi).
        std::vector<double> re(taps.size()), im(taps.size());
        for (std::size_t k = 0; k < taps.size(); ++k) {
            re[k] = taps[k].real();
            im[k] = taps[k].imag();
        }
        std::vector<cplx> y = circularConvolve(x, re, delay);
        if (std::any_of(im.begin(), im.end(), [](double v) { return v != 0.0; })) {
            const std::vector<cplx> yi = circularConvolve(x, im, delay);
            for (std::size_t i = 0; i < n; ++i) y[i] += cplx(-yi[i].imag(), yi[i].real());
        }
        return y;
    }
    std::vector<cplx> y(n);
    RotatedWriter out(y, positiveMod(delay, n));
    fftConvolve(x, taps, out);
    return y;
}

void circularConvolveUpsampled(const std::vector<cplx>& chips, int factor, const std::vector<double>& h,
                               long long delay, std::vector<cplx>& y, std::vector<cplx>& extended) {
    if (factor < 1) throw Error("Upsampling factor must be a positive integer (was " + numberText(factor) + ").");
    const std::size_t r = static_cast<std::size_t>(factor);
    const std::size_t nChips = chips.size();
    const std::size_t n = nChips * r;
    if (n == 0 || h.empty()) {
        y.assign(n, cplx{});
        return;
    }
    // Every output sample is written below, so a row that already has the
    // length keeps its contents until then (no clearing pass).
    y.resize(n);
    RotatedWriter out(y, positiveMod(delay, n));
    const std::vector<double> taps = foldTaps(h, n);

    // Phase p of the output sees taps p, p + r, p + 2r, ... : a zero-padded
    // table phaseTaps[p][i] = taps[p + i r] of perPhase entries each.
    const std::size_t perPhase = (taps.size() + r - 1) / r;
    std::vector<double> phaseTaps(r * perPhase, 0.0);
    for (std::size_t k = 0; k < taps.size(); ++k) phaseTaps[(k % r) * perPhase + k / r] = taps[k];

    // Chips with the last perPhase - 1 (circularly) in front, so that
    // ext[q + perPhase - 1 - i] = chips[(q - i) mod N].
    std::vector<cplx>& ext = extended;
    ext.resize(nChips + perPhase - 1);
    for (std::size_t i = 0; i + 1 < perPhase; ++i)
        ext[i] = chips[positiveMod(static_cast<long long>(i) - static_cast<long long>(perPhase - 1), nChips)];
    std::copy(chips.begin(), chips.end(), ext.begin() + static_cast<std::ptrdiff_t>(perPhase - 1));
    const double* cd = reinterpret_cast<const double*>(ext.data());

    // z[q r + p] = sum_i phaseTaps[p][i] chips[q - i], over blocks of chips.
    constexpr std::size_t chipBlock = 64;
    std::vector<double> acc(r * 2 * chipBlock);
    for (std::size_t q0 = 0; q0 < nChips; q0 += chipBlock) {
        const std::size_t count = std::min(chipBlock, nChips - q0);
        polyphaseBlock(phaseTaps.data(), r, perPhase, taps.size(), cd + 2 * (q0 + perPhase - 1), 2 * count,
                       acc.data(), 2 * chipBlock);
        for (std::size_t qq = 0; qq < count; ++qq) {
            const std::size_t m = (q0 + qq) * r;
            for (std::size_t p = 0; p < r; ++p) {
                const double* a = acc.data() + p * 2 * chipBlock + 2 * qq;
                out.put(m + p, {a[0], a[1]});
            }
        }
    }
}

std::vector<cplx> circularConvolveUpsampled(const std::vector<cplx>& chips, int factor,
                                            const std::vector<double>& h, long long delay) {
    std::vector<cplx> y, extended;
    circularConvolveUpsampled(chips, factor, h, delay, y, extended);
    return y;
}

void circularIirInPlace(std::vector<cplx>& x, const std::vector<double>& b, const std::vector<double>& a,
                        std::size_t filtlen, long long advance) {
    if (b.empty()) throw Error("The filter numerator must not be empty.");
    if (a.empty() || a[0] == 0.0) throw Error("The first denominator coefficient must be non-zero.");
    const std::size_t n = x.size();
    if (n == 0) return;

    // Normalised coefficients, both of length order + 1.
    const std::size_t len = std::max(b.size(), a.size());
    std::vector<double> bn(len, 0.0), an(len, 0.0);
    for (std::size_t i = 0; i < b.size(); ++i) bn[i] = b[i] / a[0];
    for (std::size_t i = 0; i < a.size(); ++i) an[i] = a[i] / a[0];
    const std::size_t order = len - 1;

    // Transposed direct form II; real and imaginary parts run as two
    // independent recursions with the same real coefficients.
    std::vector<double> zr(order + 1, 0.0), zi(order + 1, 0.0);
    auto step = [&](cplx v) {
        const double vr = v.real(), vi = v.imag();
        const double outR = bn[0] * vr + zr[0];
        const double outI = bn[0] * vi + zi[0];
        for (std::size_t k = 1; k <= order; ++k) {
            zr[k - 1] = bn[k] * vr + zr[k] - an[k] * outR;
            zi[k - 1] = bn[k] * vi + zi[k] - an[k] * outI;
        }
        return cplx(outR, outI);
    };

    // Warm-up over the last filtlen - 1 samples (wrapping as often as needed).
    const std::size_t warmup = filtlen > 0 ? filtlen - 1 : 0;
    std::size_t src = positiveMod(-static_cast<long long>(warmup % n), n);
    for (std::size_t i = 0; i < warmup; ++i) {
        step(x[src]);
        if (++src == n) src = 0;
    }

    // Output m goes to (m - shift) mod N. For m >= shift that place has
    // been read already; the first `shift` outputs belong at the end, which
    // is still to be read, so they wait in a small buffer.
    const std::size_t shift = positiveMod(advance, n);
    std::vector<cplx> head(shift);
    auto place = [&](std::size_t m, cplx value) {
        if (m >= shift) {
            x[m - shift] = value;
        } else {
            head[m] = value;
        }
    };
    if (order == 2) {
        // The common second-order section, with its state in registers.
        const double b0 = bn[0], b1 = bn[1], b2 = bn[2], a1 = an[1], a2 = an[2];
        double r0 = zr[0], r1 = zr[1], i0 = zi[0], i1 = zi[1];
        for (std::size_t m = 0; m < n; ++m) {
            const double vr = x[m].real(), vi = x[m].imag();
            const double outR = b0 * vr + r0;
            const double outI = b0 * vi + i0;
            r0 = b1 * vr + r1 - a1 * outR;
            i0 = b1 * vi + i1 - a1 * outI;
            r1 = b2 * vr - a2 * outR;
            i1 = b2 * vi - a2 * outI;
            place(m, {outR, outI});
        }
    } else {
        for (std::size_t m = 0; m < n; ++m) place(m, step(x[m]));
    }
    std::copy(head.begin(), head.end(), x.end() - static_cast<std::ptrdiff_t>(shift));
}

std::vector<cplx> circularIir(const std::vector<cplx>& x, const std::vector<double>& b,
                              const std::vector<double>& a, std::size_t filtlen, long long advance) {
    std::vector<cplx> y = x;
    circularIirInPlace(y, b, a, filtlen, advance);
    return y;
}

}  // namespace tolvane
