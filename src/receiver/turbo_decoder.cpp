// Iterative turbo decoder.
//
// Each constituent decoder runs the BCJR recursions over the trellis of the
// encoder in onex/turbo: state (s1, s2, s3) with s1 the newest register bit,
// register input a = u ^ s2 ^ s3, next state (a, s1, s2), parities
// y0 = u ^ s1 ^ s2 and y1 = u ^ s1. Both encoders start in state 0 and their
// three tail periods end them there, so the forward recursion starts and the
// backward recursion ends in state 0 only; the tail periods are ordinary
// trellis steps whose systematic symbol is the transmitted tail bit.
//
// Log-likelihood ratios are log(P(0)/P(1)) throughout, so a bit 0 has the
// metric +L/2 and a bit 1 -L/2. Flipping u flips both parities, so the two
// branches leaving a state have opposite metrics: only the u = 0 metric is
// formed, from four values per step (the parity pair depends on s1, s2).
#include "receiver/turbo_decoder.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/diagnostics.hpp"
#include "onex/turbo.hpp"

namespace tolvane {

namespace {

constexpr int kStates = 8;
constexpr float kImpossible = -1.0e30f;  // a state that cannot be reached
constexpr float kMaxChannelLlr = 1.0e4f;  // beyond any real channel's certainty

struct Trellis {
    std::array<int, kStates> next0{}, next1{};  // next state for u = 0 / 1
    std::array<int, kStates> pred0{}, pred1{};  // the state entering n with u = 0 / 1
};

constexpr Trellis kTrellis = [] {
    Trellis t{};
    for (int s = 0; s < kStates; ++s) {
        const int s1 = s & 1, s2 = (s >> 1) & 1, s3 = (s >> 2) & 1;
        for (int u = 0; u < 2; ++u) {
            const int a = u ^ s2 ^ s3;
            const int n = a | (s1 << 1) | (s2 << 2);
            (u == 0 ? t.next0 : t.next1)[static_cast<std::size_t>(s)] = n;
            (u == 0 ? t.pred0 : t.pred1)[static_cast<std::size_t>(n)] = s;
        }
    }
    return t;
}();

// max-log-MAP: the larger of two log-sums.
struct MaxOp {
    static float combine(float a, float b) { return a > b ? a : b; }
};

// log-MAP: log(e^a + e^b) = max(a, b) + log(1 + e^-|a-b|), the correction
// interpolated linearly in a table of step 1/32 (error below 3e-5); from a
// difference of 16 on (correction below 1.2e-7) the last entry stands.
struct JacobianTable {
    static constexpr int kPerUnit = 32;
    static constexpr int kLast = 16 * kPerUnit;
    std::array<float, kLast + 2> value{};
    JacobianTable() {
        for (int i = 0; i <= kLast + 1; ++i)
            value[static_cast<std::size_t>(i)] =
                static_cast<float>(std::log1p(std::exp(-static_cast<double>(i) / kPerUnit)));
    }
};
const JacobianTable kJacobian;

struct MaxStarOp {
    static float combine(float a, float b) {
        const float hi = a > b ? a : b;
        const float lo = a > b ? b : a;
        float d = (hi - lo) * static_cast<float>(JacobianTable::kPerUnit);
        d = d < static_cast<float>(JacobianTable::kLast) ? d : static_cast<float>(JacobianTable::kLast);
        const int i = static_cast<int>(d);
        const float f = d - static_cast<float>(i);
        const float* v = kJacobian.value.data() + i;
        return hi + v[0] + f * (v[1] - v[0]);
    }
};

// The u = 0 branch metrics of one step for the four (s1, s2) values:
// index s & 3 with s1 = bit 0 and s2 = bit 1; y0 = s1 ^ s2, y1 = s1.
inline std::array<float, 4> branchMetrics(float sys, float p0, float p1) {
    const float h0 = 0.5f * p0, h1 = 0.5f * p1;
    return {sys + h0 + h1,   // s1 0, s2 0: y0 0, y1 0
            sys - h0 - h1,   // s1 1, s2 0: y0 1, y1 1
            sys - h0 + h1,   // s1 0, s2 1: y0 1, y1 0
            sys + h0 - h1};  // s1 1, s2 1: y0 0, y1 1
}

}  // namespace

struct TurboDecoder::Impl {
    std::size_t n = 0;      // data bits
    std::size_t steps = 0;  // n + 3 trellis steps per constituent decoder
    int k = 0;              // code symbols per bit
    std::vector<std::uint32_t> perm;       // second encoder's input j is data bit perm[j]
    std::vector<std::uint32_t> placement;  // code symbol c adds into stream[placement[c]]

    // Working buffers, sized once.
    std::vector<float> streams;  // six rows of `steps`: x, y0, y1 of the first and second encoder
    std::vector<float> sys2;     // the second decoder's systematic values (interleaved data, own tail)
    std::vector<float> apriori1, apriori2, extrinsic, posterior;
    std::vector<float> alpha;  // (steps + 1) x 8

    float* row(int r) { return streams.data() + static_cast<std::size_t>(r) * steps; }

    template <class Op>
    void siso(const float* sys, const float* p0, const float* p1, const float* apriori, float* out);
    void build();
};

void TurboDecoder::Impl::build() {
    steps = n + 3;
    std::vector<double> index(n);
    for (std::size_t i = 0; i < n; ++i) index[i] = static_cast<double>(i);
    const std::vector<double> shuffled = turboInterleaver(index);
    perm.resize(n);
    for (std::size_t j = 0; j < n; ++j) perm[j] = static_cast<std::uint32_t>(shuffled[j]);

    // Where the puncturing put each stream's symbols (rows 0..5 as in
    // `streams`); repeated tail bits add up.
    const auto at = [&](int r, std::size_t t) { return static_cast<std::uint32_t>(static_cast<std::size_t>(r) * steps + t); };
    const std::size_t kk = static_cast<std::size_t>(k);
    placement.assign(kk * (n + 6), 0);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t* p = &placement[kk * i];
        const bool odd = (i % 2) == 0;  // 1-based odd periods
        switch (k) {
            case 2: p[0] = at(0, i); p[1] = odd ? at(1, i) : at(4, i); break;
            case 3: p[0] = at(0, i); p[1] = at(1, i); p[2] = at(4, i); break;
            case 4: p[0] = at(0, i); p[1] = at(1, i); p[2] = odd ? at(2, i) : at(4, i); p[3] = at(5, i); break;
            default: p[0] = at(0, i); p[1] = at(1, i); p[2] = at(2, i); p[3] = at(4, i); p[4] = at(5, i); break;
        }
    }
    for (std::size_t t = n; t < n + 3; ++t) {
        for (int enc = 0; enc < 2; ++enc) {
            const int base = 3 * enc;
            std::uint32_t* p = &placement[kk * (t + 3 * static_cast<std::size_t>(enc))];
            // Rates 1/2 and 1/3 send y0 of the tail, 1/4 and 1/5 y0 and y1;
            // the tail's x fills the rest of the period.
            const std::size_t parity = kk <= 3 ? 1 : 2;
            const std::size_t systematic = kk - parity;
            for (std::size_t c = 0; c < systematic; ++c) p[c] = at(base, t);
            p[systematic] = at(base + 1, t);
            if (parity == 2) p[systematic + 1] = at(base + 2, t);
        }
    }

    streams.assign(6 * steps, 0.0f);
    sys2.assign(steps, 0.0f);
    apriori1.assign(steps, 0.0f);
    apriori2.assign(steps, 0.0f);
    extrinsic.assign(steps, 0.0f);
    posterior.assign(steps, 0.0f);
    alpha.assign((steps + 1) * kStates, 0.0f);
}

// One constituent decoder: posterior LLRs of the inputs of all `steps`
// trellis steps into `out`.
template <class Op>
void TurboDecoder::Impl::siso(const float* sys, const float* p0, const float* p1, const float* apriori, float* out) {
    const auto& T = kTrellis;
    float* a = alpha.data();
    a[0] = 0.0f;
    for (int s = 1; s < kStates; ++s) a[s] = kImpossible;
    for (std::size_t t = 0; t < steps; ++t) {
        const std::array<float, 4> g = branchMetrics(0.5f * (sys[t] + apriori[t]), p0[t], p1[t]);
        const float* cur = a + t * kStates;
        float* nxt = a + (t + 1) * kStates;
        for (int s = 0; s < kStates; ++s) {
            const int q0 = T.pred0[static_cast<std::size_t>(s)], q1 = T.pred1[static_cast<std::size_t>(s)];
            nxt[s] = Op::combine(cur[q0] + g[static_cast<std::size_t>(q0 & 3)], cur[q1] - g[static_cast<std::size_t>(q1 & 3)]);
        }
        const float norm = nxt[0];
        for (int s = 0; s < kStates; ++s) nxt[s] -= norm;
    }

    std::array<float, kStates> beta{}, prev{};
    beta.fill(kImpossible);
    beta[0] = 0.0f;
    for (std::size_t t = steps; t-- > 0;) {
        const std::array<float, 4> g = branchMetrics(0.5f * (sys[t] + apriori[t]), p0[t], p1[t]);
        const float* cur = a + t * kStates;
        std::array<float, kStates> zero{}, one{};
        for (std::size_t s = 0; s < kStates; ++s) {
            const float gs = g[s & 3];
            const float b0 = beta[static_cast<std::size_t>(T.next0[s])] + gs;
            const float b1 = beta[static_cast<std::size_t>(T.next1[s])] - gs;
            zero[s] = cur[s] + b0;
            one[s] = cur[s] + b1;
            prev[s] = Op::combine(b0, b1);
        }
        // Pairwise sums keep the chains of dependent operations short.
        for (std::size_t w = kStates / 2; w > 0; w /= 2)
            for (std::size_t s = 0; s < w; ++s) {
                zero[s] = Op::combine(zero[s], zero[s + w]);
                one[s] = Op::combine(one[s], one[s + w]);
            }
        out[t] = zero[0] - one[0];
        const float norm = prev[0];
        for (int s = 0; s < kStates; ++s) beta[static_cast<std::size_t>(s)] = prev[static_cast<std::size_t>(s)] - norm;
    }
}

TurboDecoder::TurboDecoder(std::size_t bits, CodeRate rate) : impl_(std::make_unique<Impl>()) {
    const int k = symbolsPerBit(rate);
    if (k < 2 || k > 5)
        throw Error("Turbo decoder: code rate " + numberText(codeRateValue(rate)) +
                    " is not supported (1/2, 1/3, 1/4 or 1/5).");
    if (bits < kTurboMinBits || bits > kTurboMaxBits)
        throw Error("Turbo decoder: block length " + numberText(static_cast<double>(bits)) +
                    " bits is not supported (129 .. 4096).");
    impl_->n = bits;
    impl_->k = k;
    impl_->build();
}

TurboDecoder::~TurboDecoder() = default;
TurboDecoder::TurboDecoder(TurboDecoder&&) noexcept = default;
TurboDecoder& TurboDecoder::operator=(TurboDecoder&&) noexcept = default;

std::size_t TurboDecoder::bits() const { return impl_->n; }
std::size_t TurboDecoder::codedSymbols() const { return static_cast<std::size_t>(impl_->k) * (impl_->n + 6); }

TurboDecodeResult TurboDecoder::decode(std::span<const float> llr, std::vector<std::uint8_t>& decided,
                                       const TurboDecodeOptions& options, const TurboStopCheck& stop) {
    Impl& m = *impl_;
    if (llr.size() != codedSymbols())
        throw Error("Turbo decoder: " + numberText(static_cast<double>(llr.size())) + " code symbols given, " +
                    numberText(static_cast<double>(codedSymbols())) + " expected.");
    if (options.maxIterations < 1)
        throw Error("Turbo decoder: iterations " + numberText(options.maxIterations) + " must be at least 1.");
    if (!(options.maxLogScale > 0.0f && options.maxLogScale <= 1.0f))
        throw Error("Turbo decoder: extrinsic scale " + numberText(options.maxLogScale) + " must be in (0, 1].");

    const std::size_t n = m.n, steps = m.steps;
    std::fill(m.streams.begin(), m.streams.end(), 0.0f);
    for (std::size_t c = 0; c < llr.size(); ++c) {
        // NaN carries nothing: erased. Infinite and huge values (a clean
        // symbol over almost no noise) are held to a bound that leaves the
        // path metrics far from the float range and from kImpossible.
        const float v = llr[c];
        if (std::isnan(v)) continue;
        m.streams[m.placement[c]] += std::clamp(v, -kMaxChannelLlr, kMaxChannelLlr);
    }
    const float* x1 = m.row(0);
    for (std::size_t j = 0; j < n; ++j) m.sys2[j] = x1[m.perm[j]];
    for (std::size_t t = n; t < steps; ++t) m.sys2[t] = m.row(3)[t];
    std::fill(m.apriori1.begin(), m.apriori1.end(), 0.0f);
    std::fill(m.apriori2.begin(), m.apriori2.end(), 0.0f);

    const float scale = options.logMap ? 1.0f : options.maxLogScale;
    decided.assign(n, 0);
    TurboDecodeResult result;
    for (int it = 1; it <= options.maxIterations; ++it) {
        // First decoder, natural order; its extrinsic values become the
        // second decoder's a-priori values in interleaved order.
        if (options.logMap)
            m.siso<MaxStarOp>(x1, m.row(1), m.row(2), m.apriori1.data(), m.posterior.data());
        else
            m.siso<MaxOp>(x1, m.row(1), m.row(2), m.apriori1.data(), m.posterior.data());
        for (std::size_t i = 0; i < n; ++i) m.extrinsic[i] = scale * (m.posterior[i] - m.apriori1[i] - x1[i]);
        for (std::size_t j = 0; j < n; ++j) m.apriori2[j] = m.extrinsic[m.perm[j]];

        if (options.logMap)
            m.siso<MaxStarOp>(m.sys2.data(), m.row(4), m.row(5), m.apriori2.data(), m.posterior.data());
        else
            m.siso<MaxOp>(m.sys2.data(), m.row(4), m.row(5), m.apriori2.data(), m.posterior.data());
        for (std::size_t j = 0; j < n; ++j) {
            const std::uint32_t i = m.perm[j];
            m.apriori1[i] = scale * (m.posterior[j] - m.apriori2[j] - m.sys2[j]);
            decided[i] = m.posterior[j] < 0.0f ? 1 : 0;
        }
        result.iterations = it;
        if (stop && stop(std::span<const std::uint8_t>(decided))) {
            result.stopped = true;
            break;
        }
    }
    return result;
}

}  // namespace tolvane
