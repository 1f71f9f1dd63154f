// The analysis of a forward-link recording: acquisition of the pilot (PN
// phase, slot timing, carrier frequency), chip recovery through the known
// pulse shape, detection of every slot's content, the ideal reference rebuilt
// from it through the same filter and equaliser, and the measurements
// against that reference.
//
// Signal model. Over a window of K whole slots the waveform is the chip row
// (content times the PN sequence) through the chain's filter and equaliser,
// which act as one circular, shift-invariant response h at `os` samples per
// chip. In the frequency domain Y[b] = H[b] C[b mod Nc] (Nc = K * 2048
// chips), so the chips follow exactly from the bins of all os aliases by
// least squares, and the reference waveform is H times the spectrum of the
// rebuilt chips. Measurements of rho, SNR and timing use the recording and
// the reference band-limited to the 1.2288 MHz channel and sampled at the
// chip instants.
#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"
#include "numerics/fft.hpp"
#include "onex/baseband_filter.hpp"
#include "onex/constants.hpp"
#include "onex/packets.hpp"
#include "onex/phase_equaliser.hpp"
#include "onex/spreading.hpp"
#include "onex/walsh.hpp"
#include "receiver/analysis.hpp"
#include "receiver/analysis_parts.hpp"

namespace tolvane {

using namespace rx;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kPeriod = kPnPeriodChips;
constexpr double kFloorDb = -150.0;  // reported for a power that is zero to the arithmetic

double powerDb(double ratio) { return ratio > 0 ? std::max(10.0 * std::log10(ratio), kFloorDb) : kFloorDb; }

// The complex PN sequence of one period (+-1 +- j).
const cvec& pnChips() {
    static const cvec chips = [] {
        const std::vector<double> i = pnISequence(1), q = pnQSequence(1);
        cvec out(i.size());
        for (std::size_t k = 0; k < i.size(); ++k) out[k] = {1.0 - 2.0 * i[k], 1.0 - 2.0 * q[k]};
        return out;
    }();
    return chips;
}

const RowMatrix<double>& walshTable(int size) {
    static const RowMatrix<double> w16 = walshMatrix(16), w32 = walshMatrix(32), w64 = walshMatrix(64);
    return size == 16 ? w16 : size == 32 ? w32 : w64;
}

int signedBin(std::size_t b, std::size_t n) {
    return b < (n + 1) / 2 ? static_cast<int>(b) : static_cast<int>(b) - static_cast<int>(n);
}

// ---------------------------------------------------------------------------
// Resampling to a whole number of samples per chip: Kaiser-windowed sinc
// interpolation at the output instants, cut off at the lower Nyquist
// frequency of the two rates.

cvec resample(const cvec& x, double fsIn, double fsOut) {
    const double step = fsIn / fsOut;  // input samples per output sample
    const double cutoff = 0.5 * std::min(1.0, fsOut / fsIn);  // cycles per input sample
    const double half = std::ceil(16.0 / (2.0 * cutoff));     // kernel half-width, input samples
    constexpr int kTable = 256;                               // table points per input sample
    const int tableLength = static_cast<int>(half) * kTable + 2;
    std::vector<double> table(static_cast<std::size_t>(tableLength));
    const double beta = 8.0;
    auto bessel0 = [](double v) {
        double sum = 1.0, term = 1.0;
        for (int k = 1; k < 40; ++k) {
            term *= (v / (2.0 * k)) * (v / (2.0 * k));
            sum += term;
        }
        return sum;
    };
    const double norm = bessel0(beta);
    for (int k = 0; k < tableLength; ++k) {
        const double t = static_cast<double>(k) / kTable;
        const double r = t / half;
        const double window = r < 1.0 ? bessel0(beta * std::sqrt(1.0 - r * r)) / norm : 0.0;
        const double arg = 2.0 * cutoff * t;
        const double sinc = arg == 0.0 ? 1.0 : std::sin(kPi * arg) / (kPi * arg);
        table[static_cast<std::size_t>(k)] = 2.0 * cutoff * sinc * window;
    }
    auto kernel = [&](double t) {
        const double pos = std::abs(t) * kTable;
        const auto k = static_cast<std::size_t>(pos);
        if (k + 1 >= table.size()) return 0.0;
        const double f = pos - static_cast<double>(k);
        return table[k] * (1.0 - f) + table[k + 1] * f;
    };
    const auto outCount = static_cast<std::size_t>(std::floor(static_cast<double>(x.size() - 1) / step)) + 1;
    cvec y(outCount);
    const auto last = static_cast<long long>(x.size()) - 1;
    for (std::size_t m = 0; m < outCount; ++m) {
        const double t = static_cast<double>(m) * step;
        const long long lo = std::max(0LL, static_cast<long long>(std::ceil(t - half)));
        const long long hi = std::min(last, static_cast<long long>(std::floor(t + half)));
        cplx acc{};
        for (long long n = lo; n <= hi; ++n) acc += x[static_cast<std::size_t>(n)] * kernel(t - static_cast<double>(n));
        y[m] = acc;
    }
    return y;
}

// ---------------------------------------------------------------------------
// The chain's response to one chip, as a spectrum over a window of `chips`
// chips (kept for the last window size asked for).

const cvec& chainResponse(std::size_t chips, int os, FilterShape shape, bool phaseEq) {
    struct Key {
        std::size_t chips = 0;
        int os = 0;
        FilterShape shape = FilterShape::Acp;
        bool eq = false;
    };
    static Key key;
    static cvec spectrum;
    if (key.chips == chips && key.os == os && key.shape == shape && key.eq == phaseEq && !spectrum.empty())
        return spectrum;
    cvec impulse(chips);
    impulse[0] = 1.0;
    cvec out, scratch;
    basebandFilterChips(impulse, os, shape, out, scratch);
    if (phaseEq) fwdPhaseEqInPlace(out, os, shape, scratch);
    fftInPlace(out);
    spectrum = std::move(out);
    key = {chips, os, shape, phaseEq};
    return spectrum;
}

// Where the chain's response to one chip peaks, in samples from the chip
// (negative: before it); the stored-FIR equaliser delays by several chips.
long long chainDelay(int os, FilterShape shape, bool phaseEq) {
    cvec impulse(static_cast<std::size_t>(kSlotChips));
    impulse[0] = 1.0;
    cvec out, scratch;
    basebandFilterChips(impulse, os, shape, out, scratch);
    if (phaseEq) fwdPhaseEqInPlace(out, os, shape, scratch);
    std::size_t peak = 0;
    for (std::size_t n = 0; n < out.size(); ++n)
        if (std::abs(out[n]) > std::abs(out[peak])) peak = n;
    const auto n = static_cast<long long>(out.size());
    const auto p = static_cast<long long>(peak);
    return p < n / 2 ? p : p - n;
}

// ---------------------------------------------------------------------------
// Acquisition.

struct Acquisition {
    bool conjugate = false;
    long long tau = 0;  // sample (mod period) where PN chip 0 falls
};

// Finds the PN phase by correlating the one-chip differential product of the
// samples (which the carrier offset leaves nearly unrotated) with that of
// the PN sequence, over one PN period, for both spectrum orientations. The
// product is summed over groups of samples down to two (or, for an odd
// ratio, a few) per chip first: the peak is only needed to within a chip.
Acquisition acquirePn(const cvec& y, int os, double& peakRatio) {
    int group = 1;
    for (int g = os / 2; g >= 1; --g)
        if (os % g == 0) {
            group = g;
            break;
        }
    const auto perChip = static_cast<std::size_t>(os / group);
    const std::size_t m = static_cast<std::size_t>(kPeriod) * perChip;
    const auto step = static_cast<std::size_t>(os);
    const auto g = static_cast<std::size_t>(group);
    cvec folded(m);
    std::size_t slot = 0, filled = 0;
    for (std::size_t n = 0; n + step < y.size(); ++n) {
        folded[slot] += y[n + step] * std::conj(y[n]);
        if (++filled == g) {
            filled = 0;
            if (++slot == m) slot = 0;
        }
    }
    static std::size_t templateRate = 0;
    static cvec templateSpectrum;
    if (templateRate != perChip) {
        const cvec& p = pnChips();
        cvec t(m);
        for (std::size_t k = 0; k < static_cast<std::size_t>(kPeriod); ++k) {
            const cplx d = p[(k + 1) % static_cast<std::size_t>(kPeriod)] * std::conj(p[k]);
            for (std::size_t s = 0; s < perChip; ++s) t[k * perChip + s] = d;
        }
        fftInPlace(t);
        templateSpectrum = std::move(t);
        templateRate = perChip;
    }
    cvec a = folded, b(m);
    fftInPlace(a);
    // The conjugated recording's product is the conjugate of this one:
    // its spectrum is the mirrored conjugate.
    for (std::size_t k = 0; k < m; ++k) b[k] = std::conj(a[(m - k) % m]) * std::conj(templateSpectrum[k]);
    for (std::size_t k = 0; k < m; ++k) a[k] *= std::conj(templateSpectrum[k]);
    ifftInPlace(a);
    ifftInPlace(b);
    Acquisition best;
    double bestValue = -1, sum = 0;
    for (int orientation = 0; orientation < 2; ++orientation) {
        const cvec& c = orientation ? b : a;
        for (std::size_t k = 0; k < m; ++k) {
            const double v = std::norm(c[k]);
            sum += v;
            if (v > bestValue) {
                bestValue = v;
                best = {orientation == 1, static_cast<long long>(k * g)};
            }
        }
    }
    peakRatio = bestValue / (sum / (2.0 * static_cast<double>(m)));
    return best;
}

// ---------------------------------------------------------------------------
// Content detection on the despread chips of one slot (a pilot chip is 1).

struct Constellation {
    DataKind kind;
    std::vector<cplx> points;  // unit mean energy
};

const std::array<Constellation, 3>& constellations() {
    static const std::array<Constellation, 3> c = [] {
        std::array<Constellation, 3> out;
        const double r = 1.0 / std::sqrt(2.0);
        out[0] = {DataKind::Qpsk, {{r, r}, {r, -r}, {-r, r}, {-r, -r}}};
        out[1].kind = DataKind::Psk8;
        for (int k = 0; k < 8; ++k) out[1].points.push_back(std::polar(1.0, kPi / 8.0 + k * kPi / 4.0));
        out[2].kind = DataKind::Qam16;
        const double s = 1.0 / std::sqrt(10.0);
        for (int i : {-3, -1, 1, 3})
            for (int q : {-3, -1, 1, 3}) out[2].points.emplace_back(i * s, q * s);
        return out;
    }();
    return c;
}

cplx nearest(const std::vector<cplx>& points, cplx v) {
    // The three constellations are sliced directly; anything else by search.
    if (points.size() == 4) {
        const double r = points[0].real();
        return {v.real() >= 0 ? r : -r, v.imag() >= 0 ? r : -r};
    }
    if (points.size() == 16) {
        const double s = 1.0 / std::sqrt(10.0);
        auto axis = [&](double x) { return std::clamp(2.0 * std::floor(x / (2.0 * s)) + 1.0, -3.0, 3.0) * s; };
        return {axis(v.real()), axis(v.imag())};
    }
    if (points.size() == 8) {
        const double k = std::round((std::atan2(v.imag(), v.real()) - kPi / 8.0) / (kPi / 4.0));
        const auto index = static_cast<std::size_t>((static_cast<long long>(k) % 8 + 8) % 8);
        return points[index];
    }
    cplx best = points[0];
    double d = std::norm(v - best);
    for (const cplx& p : points)
        if (std::norm(v - p) < d) {
            d = std::norm(v - p);
            best = p;
        }
    return best;
}

// Fits each constellation (amplitude by least squares over the decisions)
// and returns the best one's kind, amplitude and misfit (mean squared error
// relative to the fitted power).
struct Fit {
    DataKind kind = DataKind::Idle;
    double amplitude = 0;
    double misfit = 1e300;
};

Fit fitConstellation(const cplx* s, std::size_t n) {
    Fit best;
    double power = 0;
    for (std::size_t k = 0; k < n; ++k) power += std::norm(s[k]);
    power /= static_cast<double>(std::max<std::size_t>(n, 1));
    if (!(power > 0)) return best;
    for (const Constellation& c : constellations()) {
        double a = std::sqrt(power);
        double err = 0;
        for (int iter = 0; iter < 3; ++iter) {
            double num = 0, den = 0;
            for (std::size_t k = 0; k < n; ++k) {
                const cplx p = nearest(c.points, s[k] / a);
                num += std::real(s[k] * std::conj(p));
                den += std::norm(p);
            }
            if (den > 0 && num > 0) a = num / den;
        }
        for (std::size_t k = 0; k < n; ++k) err += std::norm(s[k] - a * nearest(c.points, s[k] / a));
        const double misfit = err / (static_cast<double>(n) * a * a);
        if (misfit < best.misfit) best = {c.kind, a, misfit};
    }
    return best;
}

const std::vector<cplx>& pointsOf(DataKind kind) {
    for (const Constellation& c : constellations())
        if (c.kind == kind) return c.points;
    return constellations()[0].points;
}

// Despreads the 1600 data chips into their 1600 symbols.
cvec dataSymbols(const cvec& chips) {
    const RowMatrix<double>& w = walshTable(16);
    cvec s(chips.size());
    for (std::size_t n = 0; n + 16 <= chips.size(); n += 16)
        for (std::size_t i = 0; i < 16; ++i) {
            cplx acc{};
            for (std::size_t t = 0; t < 16; ++t) acc += chips[n + t] * w.at(i, t);
            s[n + i] = acc / 4.0;
        }
    return s;
}

// The decided symbols of `symbols[from ...]` on the constellation `kind`
// at `amplitude`.
void decide(SlotContent& slot, std::size_t from, DataKind kind, double amplitude) {
    const std::vector<cplx>& pts = pointsOf(kind);
    for (std::size_t k = from; k < slot.symbols.size(); ++k)
        slot.refSymbols[k] = amplitude * nearest(pts, slot.symbols[k] / amplitude);
}

SlotContent detectSlot(const cplx* d, double noisePerChip) {
    SlotContent slot;
    // MAC: the four bursts carry the same symbols; noise filler does not.
    std::array<cplx, 64> mean{};
    double burstEnergy = 0;
    for (int b = 0; b < 4; ++b)
        for (int t = 0; t < 64; ++t) {
            const cplx v = d[kMacStarts[static_cast<std::size_t>(b)] + t];
            mean[static_cast<std::size_t>(t)] += v / 4.0;
            burstEnergy += std::norm(v) / 4.0;
        }
    double meanEnergy = 0;
    for (const cplx& v : mean) meanEnergy += std::norm(v);
    const RowMatrix<double>& w64 = walshTable(64);
    for (std::size_t c = 0; c < 64; ++c) {
        double ai = 0, aq = 0;
        for (std::size_t t = 0; t < 64; ++t) {
            ai += mean[t].real() * w64.at(c, t);
            aq += mean[t].imag() * w64.at(c, t);
        }
        slot.codeI[c] = ai / 64.0;
        slot.codeQ[c] = aq / 64.0;
    }
    const double coherence = burstEnergy > 0 ? meanEnergy / burstEnergy : 0;
    slot.macIdle = !(burstEnergy / 64.0 > 1e-8) || coherence < 0.5;
    if (!slot.macIdle) {
        // Codes 0 .. 31 belong on I (even MAC indexes), 32 .. 63 on Q (odd
        // ones); the others hold only noise and give its level.
        double wrong = 0;
        for (std::size_t c = 0; c < 32; ++c) wrong += slot.codeI[c + 32] * slot.codeI[c + 32] + slot.codeQ[c] * slot.codeQ[c];
        const double floor = std::max(1e-6, 25.0 * std::max(wrong / 64.0, noisePerChip / 512.0));
        for (int mac = 0; mac < 64; ++mac) {
            const auto code = static_cast<std::size_t>(mac / 2 + 32 * (mac % 2));
            const double a = mac % 2 ? slot.codeQ[code] : slot.codeI[code];
            slot.macAmplitude[static_cast<std::size_t>(mac)] = a;
            slot.macActive[static_cast<std::size_t>(mac)] = a * a > floor;
        }
    }

    // Data.
    slot.dataChips.resize(kDataChipsPerSlot);
    for (int k = 0; k < kDataChipsPerSlot; ++k) slot.dataChips[static_cast<std::size_t>(k)] = d[dataChip(k)];
    slot.symbols = dataSymbols(slot.dataChips);
    slot.refSymbols.assign(slot.symbols.size(), cplx{});
    double power = 0;
    for (const cplx& v : slot.dataChips) power += std::norm(v);
    power /= kDataChipsPerSlot;
    if (!(power > 1e-8) || power < 2.0 * noisePerChip) return slot;

    // A packet's preamble: one 32-chip sequence, repeated, on I.
    const RowMatrix<double>& w32 = walshTable(32);
    auto blockCorrelation = [&](std::size_t block, std::size_t code) {
        double acc = 0;
        for (std::size_t t = 0; t < 32; ++t) acc += slot.dataChips[block * 32 + t].real() * w32.at(code, t);
        return acc / 32.0;
    };
    std::size_t bestCode = 0;
    double bestValue = 0;
    for (std::size_t c = 0; c < 32; ++c) {
        const double v = blockCorrelation(0, c) + blockCorrelation(1, c);
        if (std::abs(v) > std::abs(bestValue)) {
            bestValue = v;
            bestCode = c;
        }
    }
    double head = 0;
    for (std::size_t k = 0; k < 64; ++k) head += std::norm(slot.dataChips[k]);
    head /= 64.0;
    const double amplitude = std::abs(bestValue) / 2.0;
    if (amplitude * amplitude > 0.6 * head) {
        const double sign = bestValue > 0 ? 1.0 : -1.0;
        int blocks = 2;
        for (int length : {128, 256, 512, 1024}) {
            bool all = true;
            for (int b = blocks; b < length / 32 && all; ++b)
                all = sign * blockCorrelation(static_cast<std::size_t>(b), bestCode) > 0.5 * amplitude;
            if (!all) break;
            blocks = length / 32;
        }
        slot.preambleChips = blocks * 32;
        slot.preambleMac = static_cast<int>(2 * bestCode) + (sign > 0 ? 0 : 1);
        double p = 0;
        for (int k = 0; k < slot.preambleChips; ++k) p += std::pow(slot.dataChips[static_cast<std::size_t>(k)].real(), 2);
        slot.preamblePower = p / slot.preambleChips;
    }
    const auto from = static_cast<std::size_t>(slot.preambleChips);
    if (from >= slot.symbols.size()) return slot;

    // Unmodulated data: one constant symbol on code 0.
    double code0 = 0, all = 0;
    cplx mean0{};
    std::size_t columns = 0;
    for (std::size_t n = from; n < slot.symbols.size(); n += 16) {
        for (std::size_t i = 0; i < 16; ++i) all += std::norm(slot.symbols[n + i]);
        code0 += std::norm(slot.symbols[n]);
        mean0 += slot.symbols[n];
        ++columns;
    }
    mean0 /= static_cast<double>(columns);
    if (code0 > 0.9 * all && std::norm(mean0) * static_cast<double>(columns) > 0.9 * code0) {
        slot.kind = DataKind::Unmodulated;
        for (std::size_t n = from; n < slot.symbols.size(); n += 16) slot.refSymbols[n] = mean0;
        return slot;
    }

    // Noise filler is Gaussian (fourth moment twice the squared second);
    // the constellations stay well below.
    const std::size_t count = slot.symbols.size() - from;
    double m2 = 0, m4 = 0;
    for (std::size_t k = from; k < slot.symbols.size(); ++k) {
        const double e = std::norm(slot.symbols[k]);
        m2 += e;
        m4 += e * e;
    }
    m2 /= static_cast<double>(count);
    m4 /= static_cast<double>(count);
    const double kurtosis = m4 / (m2 * m2);
    const Fit fit = fitConstellation(slot.symbols.data() + from, count);
    const bool modulated = slot.preambleChips > 0 || fit.misfit < 0.05 || kurtosis < 1.8;
    if (!modulated) return slot;
    slot.kind = fit.kind;
    decide(slot, from, fit.kind, fit.amplitude);
    return slot;
}

// The slot's rebuilt chips (pilot, MAC and data; idle portions zero).
void rebuildSlot(const SlotContent& slot, cplx* out) {
    std::fill(out, out + kSlotChips, cplx{});
    for (int start : kPilotStarts)
        for (int t = 0; t < kPilotBurstChips; ++t) out[start + t] = 1.0;
    if (!slot.macIdle) {
        const RowMatrix<double>& w64 = walshTable(64);
        std::array<cplx, 64> burst{};
        for (int mac = 0; mac < 64; ++mac) {
            if (!slot.macActive[static_cast<std::size_t>(mac)]) continue;
            const auto code = static_cast<std::size_t>(mac / 2 + 32 * (mac % 2));
            const double a = slot.macAmplitude[static_cast<std::size_t>(mac)];
            for (std::size_t t = 0; t < 64; ++t)
                burst[t] += mac % 2 ? cplx(0, a * w64.at(code, t)) : cplx(a * w64.at(code, t), 0);
        }
        for (int start : kMacStarts)
            for (int t = 0; t < 64; ++t) out[start + t] = burst[static_cast<std::size_t>(t)];
    }
    if (slot.kind != DataKind::Idle || slot.preambleChips > 0) {
        cvec chips = fwdTrfCoverAndSum(slot.refSymbols);
        if (slot.preambleChips > 0) {
            const RowMatrix<double>& w32 = walshTable(32);
            const auto code = static_cast<std::size_t>(slot.preambleMac / 2);
            const double sign = slot.preambleMac % 2 ? -1.0 : 1.0;
            const double a = std::sqrt(slot.preamblePower);
            for (int k = 0; k < slot.preambleChips; ++k)
                chips[static_cast<std::size_t>(k)] = sign * a * w32.at(code, static_cast<std::size_t>(k % 32));
        }
        for (int k = 0; k < kDataChipsPerSlot; ++k) out[dataChip(k)] = chips[static_cast<std::size_t>(k)];
    }
}

bool dataPresent(const SlotContent& s) { return s.kind != DataKind::Idle || s.preambleChips > 0; }

// ---------------------------------------------------------------------------
// One pass over the analysis window with given synchronisation.

struct Window {
    const cvec* y = nullptr;  // the recording at os samples per chip (orientation applied)
    int os = 0;
    bool cyclic = false;
    long long start = 0;  // sample of the window's first chip
    double delay = 0;     // fractional delay of the waveform in the window, samples
    double freqHz = 0;    // carrier offset removed
    int slots = 0;
    int pnStart = 0;  // PN period index of the window's first chip
    FilterShape shape = FilterShape::Acp;
    bool phaseEq = true;
    std::size_t chips() const { return static_cast<std::size_t>(slots) * kSlotChips; }
    std::size_t samples() const { return chips() * static_cast<std::size_t>(os); }
};

// The window's spectrum, frequency offset removed, integer start applied
// (the fractional delay is applied to the bins by the users).
cvec windowSpectrum(const Window& w) {
    const cvec& y = *w.y;
    const std::size_t n = w.samples();
    const auto total = static_cast<long long>(y.size());
    const double fs = kChipRate * w.os;
    cvec out(n);
    const double rate = -2.0 * kPi * w.freqHz / fs;
    // The carrier's phasor by recurrence, restarted exactly every 1024
    // samples and wherever the index wraps.
    cplx rotor{}, step = std::polar(1.0, rate);
    long long expected = -1;
    for (std::size_t i = 0; i < n; ++i) {
        long long k = w.start + static_cast<long long>(i);
        if (w.cyclic) k = ((k % total) + total) % total;
        if (k < 0 || k >= total) continue;
        if (k != expected || i % 1024 == 0) rotor = std::polar(1.0, rate * static_cast<double>(k));
        out[i] = y[static_cast<std::size_t>(k)] * rotor;
        rotor *= step;
        expected = k + 1;
    }
    fftInPlace(out);
    return out;
}

// exp(j 2 pi sb delay / n) for every bin, sb the signed bin, by recurrence
// restarted exactly every 1024 bins.
void applyDelay(cvec& spectrum, double delay) {
    const std::size_t n = spectrum.size();
    const double rate = 2.0 * kPi * delay / static_cast<double>(n);
    const cplx step = std::polar(1.0, rate);
    cplx rotor{};
    for (std::size_t b = 0; b < n; ++b) {
        if (b % 1024 == 0 || b == (n + 1) / 2) rotor = std::polar(1.0, rate * signedBin(b, n));
        spectrum[b] *= rotor;
        rotor *= step;
    }
}

// Chips by least squares over the aliases (exact for a clean waveform).
cvec recoverChips(const cvec& y, const cvec& h, std::size_t chips, int os) {
    cvec c(chips);
    double peak = 0;
    for (const cplx& v : h) peak = std::max(peak, std::norm(v));
    for (std::size_t b = 0; b < chips; ++b) {
        cplx num{};
        double den = 0;
        for (int m = 0; m < os; ++m) {
            const std::size_t k = b + static_cast<std::size_t>(m) * chips;
            num += std::conj(h[k]) * y[k];
            den += std::norm(h[k]);
        }
        c[b] = den > 1e-12 * peak ? num / den : cplx{};
    }
    ifftInPlace(c);
    return c;
}

// The chip-rate samples of the band-limited (1.2288 MHz) signal.
cvec bandSamples(const cvec& spectrum, std::size_t chips, int os) {
    const std::size_t n = spectrum.size();
    cvec c(chips);
    for (std::size_t b = 0; b < chips; ++b) {
        const int s = signedBin(b, chips);
        c[b] = spectrum[static_cast<std::size_t>((s + static_cast<long long>(n)) % static_cast<long long>(n))] / static_cast<double>(os);
    }
    ifftInPlace(c);
    return c;
}

// Delay (samples) of `y` against `r` near `around`: the best whole sample
// within `span`, then the fraction by golden section, on the magnitude of
// the cross-correlation evaluated from the bins that carry it.
double estimateDelay(const cvec& y, const cvec& r, double around, double span, double chipSamples) {
    const std::size_t n = y.size();
    std::vector<double> bins;
    cvec values;
    double peak = 0;
    for (std::size_t b = 0; b < n; ++b) peak = std::max(peak, std::norm(r[b]));
    for (std::size_t b = 0; b < n; ++b) {
        // Bins where the reference is 30 dB or more below its peak add
        // nothing the fit needs.
        if (std::norm(r[b]) > 1e-6 * peak) {
            const cplx x = y[b] * std::conj(r[b]);
            bins.push_back(signedBin(b, n));
            values.push_back(x);
        }
    }
    auto value = [&](double delay) {
        const double rate = 2.0 * kPi * delay / static_cast<double>(n);
        const cplx step = std::polar(1.0, rate);
        cplx acc{}, rotor{};
        double last = 1e300;
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (bins[k] != last + 1.0 || k % 1024 == 0) rotor = std::polar(1.0, rate * bins[k]);
            acc += values[k] * rotor;
            rotor *= step;
            last = bins[k];
        }
        return std::abs(acc);
    };
    // The correlation is about a chip wide: a grid of a quarter chip finds its peak.
    double best = around, bestValue = -1;
    const double grid = std::max(1.0, std::floor(chipSamples / 4.0));
    for (double d = around - std::ceil(span / grid) * grid; d <= around + span; d += grid) {
        const double v = value(d);
        if (v > bestValue) {
            bestValue = v;
            best = d;
        }
    }
    double lo = best - grid, hi = best + grid;
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    double fa = value(a), fb = value(b);
    for (int it = 0; it < 40 && hi - lo > 1e-3; ++it) {
        if (fa > fb) {
            hi = b;
            b = a;
            fb = fa;
            a = hi - g * (hi - lo);
            fa = value(a);
        } else {
            lo = a;
            a = b;
            fa = fb;
            b = lo + g * (hi - lo);
            fb = value(b);
        }
    }
    return (lo + hi) / 2.0;
}

// Spreads rebuilt chips with the window's PN and takes them through the chain's response.
cvec referenceSpectrum(const cvec& content, const Window& w, const cvec& h) {
    const cvec& p = pnChips();
    const std::size_t nc = content.size();
    cvec spread(nc);
    for (std::size_t i = 0; i < nc; ++i)
        spread[i] = content[i] * p[(static_cast<std::size_t>(w.pnStart) + i) % static_cast<std::size_t>(kPeriod)];
    fftInPlace(spread);
    cvec r(h.size());
    for (std::size_t base = 0; base < h.size(); base += nc)
        for (std::size_t b = 0; b < nc; ++b) r[base + b] = h[base + b] * spread[b];
    return r;
}

// Despreads recovered chips and scales them by the pilot's complex gain.
cvec despread(const cvec& chips, const Window& w, cplx& pilotGain) {
    const cvec& p = pnChips();
    cvec d(chips.size());
    for (std::size_t i = 0; i < chips.size(); ++i)
        d[i] = chips[i] * std::conj(p[(static_cast<std::size_t>(w.pnStart) + i) % static_cast<std::size_t>(kPeriod)]) / 2.0;
    cplx g{};
    std::size_t count = 0;
    for (int s = 0; s < w.slots; ++s)
        for (int start : kPilotStarts)
            for (int t = 0; t < kPilotBurstChips; ++t) {
                g += d[static_cast<std::size_t>(s * kSlotChips + start + t)];
                ++count;
            }
    pilotGain = g / static_cast<double>(count);
    if (std::abs(pilotGain) > 0)
        for (cplx& v : d) v /= pilotGain;
    return d;
}

// Position masks of one window: pilot, MAC (not idle), data (not idle).
struct Masks {
    std::vector<char> pilot, mac, data;
};

Masks masksOf(const std::vector<SlotContent>& slots) {
    Masks m;
    const std::size_t n = slots.size() * kSlotChips;
    m.pilot.assign(n, 0);
    m.mac.assign(n, 0);
    m.data.assign(n, 0);
    for (std::size_t s = 0; s < slots.size(); ++s) {
        const std::size_t base = s * kSlotChips;
        for (int start : kPilotStarts)
            for (int t = 0; t < kPilotBurstChips; ++t) m.pilot[base + static_cast<std::size_t>(start + t)] = 1;
        if (!slots[s].macIdle)
            for (int start : kMacStarts)
                for (int t = 0; t < 64; ++t) m.mac[base + static_cast<std::size_t>(start + t)] = 1;
        if (dataPresent(slots[s]))
            for (int k = 0; k < kDataChipsPerSlot; ++k) m.data[base + static_cast<std::size_t>(dataChip(k))] = 1;
    }
    return m;
}

double rhoOver(const cvec& z, const cvec& r, const std::vector<char>& a, const std::vector<char>* b = nullptr,
               const std::vector<char>* c = nullptr) {
    cplx zr{};
    double zz = 0, rr = 0;
    for (std::size_t i = 0; i < z.size(); ++i) {
        if (!a[i] && !(b && (*b)[i]) && !(c && (*c)[i])) continue;
        zr += z[i] * std::conj(r[i]);
        zz += std::norm(z[i]);
        rr += std::norm(r[i]);
    }
    return zz > 0 && rr > 0 ? std::norm(zr) / (zz * rr) : 0.0;
}

struct Pass {
    cvec spectrum;  // window spectrum, delay applied
    cvec chips;     // despread chips, pilot = 1
    cplx pilotGain;
    std::vector<SlotContent> slots;
    cvec content;    // rebuilt chips
    cvec reference;  // reference spectrum
    double noisePerChip = 0;
};

Pass runPass(const Window& w, const cvec& h, double noiseHint, cvec spectrum) {
    Pass pass;
    pass.spectrum = std::move(spectrum);
    applyDelay(pass.spectrum, w.delay);
    pass.chips = despread(recoverChips(pass.spectrum, h, w.chips(), w.os), w, pass.pilotGain);
    pass.slots.reserve(static_cast<std::size_t>(w.slots));
    for (int s = 0; s < w.slots; ++s)
        pass.slots.push_back(detectSlot(pass.chips.data() + static_cast<std::size_t>(s) * kSlotChips, noiseHint));
    return pass;
}

void rebuild(Pass& pass, const Window& w, const cvec& h) {
    pass.content.assign(w.chips(), cplx{});
    for (std::size_t s = 0; s < pass.slots.size(); ++s) rebuildSlot(pass.slots[s], pass.content.data() + s * kSlotChips);
    // Idle portions (noise filler, or nothing) stay out of the measurements
    // but not out of the reference: their received chips stand in, so that
    // the filler's spread into its neighbours does not count as error.
    cvec measured = pass.content;
    for (std::size_t s = 0; s < pass.slots.size(); ++s) {
        const std::size_t base = s * kSlotChips;
        if (pass.slots[s].macIdle)
            for (int start : kMacStarts)
                for (int t = 0; t < 64; ++t) measured[base + static_cast<std::size_t>(start + t)] = pass.chips[base + static_cast<std::size_t>(start + t)];
        if (!dataPresent(pass.slots[s]))
            for (int k = 0; k < kDataChipsPerSlot; ++k)
                measured[base + static_cast<std::size_t>(dataChip(k))] = pass.chips[base + static_cast<std::size_t>(dataChip(k))];
    }
    pass.reference = referenceSpectrum(measured, w, h);
    // Noise per despread chip: the residual over everything rebuilt.
    const Masks m = masksOf(pass.slots);
    double e = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < pass.chips.size(); ++i)
        if (m.pilot[i] || m.mac[i] || m.data[i]) {
            e += std::norm(pass.chips[i] - pass.content[i]);
            ++count;
        }
    pass.noisePerChip = count ? e / static_cast<double>(count) : 0;
}

// The chip clock's error: the delay of each quarter of the window against
// the reference's slope, in a straight line over time (ppm; positive when
// the chips come faster than nominal). Zero for fewer than four slots.
// The complex gain from the reference to the recording over the chips that
// carry known content (pilot, MAC, data), by least squares; the
// reference's energy over those chips into `referenceEnergy` when given.
cplx contentGain(const cvec& zb, const cvec& rb, const Masks& m, std::size_t nc, double* referenceEnergy = nullptr) {
    cplx zr{};
    double rr = 0;
    for (std::size_t i = 0; i < nc; ++i)
        if (m.pilot[i] || m.mac[i] || m.data[i]) {
            zr += zb[i] * std::conj(rb[i]);
            rr += std::norm(rb[i]);
        }
    if (referenceEnergy) *referenceEnergy = rr;
    return rr > 0 ? zr / rr : cplx(1.0);
}

double clockDriftPpm(const Pass& pass, int os, int slots) {
    if (slots < 4) return 0.0;
    const std::size_t nc = static_cast<std::size_t>(slots) * kSlotChips;
    const cvec zb = bandSamples(pass.spectrum, nc, os);
    const cvec rb = bandSamples(pass.reference, nc, os);
    const Masks m = masksOf(pass.slots);
    const cplx g = contentGain(zb, rb, m, nc);
    cvec derivative = pass.reference;
    const std::size_t n = derivative.size();
    for (std::size_t b = 0; b < n; ++b) derivative[b] *= cplx(0, 2.0 * kPi * signedBin(b, n) / static_cast<double>(n));
    const cvec db = bandSamples(derivative, nc, os);
    constexpr int parts = 4;
    std::array<double, parts> t{}, e{};
    for (int k = 0; k < parts; ++k) {
        double num = 0, den = 0;
        const std::size_t from = nc * static_cast<std::size_t>(k) / parts, to = nc * static_cast<std::size_t>(k + 1) / parts;
        for (std::size_t i = from; i < to; ++i) {
            if (!(m.pilot[i] || m.mac[i] || m.data[i])) continue;
            const cplx gd = g * db[i];
            num += std::real((zb[i] - g * rb[i]) * std::conj(gd));
            den += std::norm(gd);
        }
        t[static_cast<std::size_t>(k)] = static_cast<double>(from + to) / 2.0 * os;
        e[static_cast<std::size_t>(k)] = den > 0 ? -num / den : 0.0;
    }
    const double sx = std::accumulate(t.begin(), t.end(), 0.0), sy = std::accumulate(e.begin(), e.end(), 0.0);
    double sxx = 0, sxy = 0;
    for (std::size_t k = 0; k < parts; ++k) {
        sxx += t[k] * t[k];
        sxy += t[k] * e[k];
    }
    // Chips arriving earlier as time goes on: a chip rate above nominal.
    return -(parts * sxy - sx * sy) / (parts * sxx - sx * sx) * 1e6;
}

std::string kindName(const SlotContent& s) {
    if (s.packet) return "packet";
    switch (s.kind) {
        case DataKind::Idle: return "idle";
        case DataKind::Qpsk: return "QPSK";
        case DataKind::Psk8: return "8PSK";
        case DataKind::Qam16: return "16QAM";
        case DataKind::Unmodulated: return "unmodulated";
    }
    return "idle";
}

}  // namespace

AnalysisReport analyzeWaveform(const std::vector<std::complex<double>>& samples, double sampleRate,
                               const AnalysisOptions& options) {
    checkAnalysisOptions(options);
    if (options.generatedOversampling != 0 &&
        (options.generatedOversampling < std::max(2, lowestOversampling(options.filter)) ||
         options.generatedOversampling > kMaxOversampling))
        throw Error("Generated oversampling " + std::to_string(options.generatedOversampling) +
                    " is not a number of samples per chip (2 to 64, or 0: not known).");
    if (!std::isfinite(sampleRate) || sampleRate < kChipRate * (1.0 - 1e-9))
        throw Error("Sample rate " + numberText(sampleRate) + " Hz is below the chip rate (1228800 Hz).");
    if (samples.size() > kMaxSamples)
        throw Error("The recording holds " + numberText(static_cast<double>(samples.size())) +
                    " samples; the analysis takes at most " + numberText(static_cast<double>(kMaxSamples)) + ".");
    for (std::size_t n = 0; n < samples.size(); ++n)
        if (!std::isfinite(samples[n].real()) || !std::isfinite(samples[n].imag()))
            throw Error("Sample " + numberText(static_cast<double>(n + 1)) + " is not a finite number.");
    const double inputSlot = kSlotChips * sampleRate / kChipRate;
    if (static_cast<double>(samples.size()) < inputSlot)
        throw Error("The recording holds " + numberText(static_cast<double>(samples.size())) +
                    " samples; one slot at this rate takes " + numberText(std::ceil(inputSlot)) + ".");

    AnalysisReport report;
    report.sampleRate = sampleRate;

    // The carrier of interest to the centre, then a whole number of samples per chip.
    cvec y = samples;
    if (options.carrierOffsetHz != 0) {
        const double rate = -2.0 * kPi * options.carrierOffsetHz / sampleRate;
        for (std::size_t n = 0; n < y.size(); ++n) y[n] *= std::polar(1.0, rate * static_cast<double>(n));
        // Only the channel's band stays: the other carriers are taken out
        // through the recording's spectrum.
        fftInPlace(y);
        const std::size_t n = y.size();
        const double edge = 0.75 * kChipRate / sampleRate * static_cast<double>(n);
        for (std::size_t b = 0; b < n; ++b)
            if (std::abs(signedBin(b, n)) > edge) y[b] = 0;
        ifftInPlace(y);
    }
    const double ratio = sampleRate / kChipRate;
    int os = static_cast<int>(std::lround(ratio));
    const bool whole = std::abs(ratio - os) < 1e-9 * ratio && os <= kMaxOversampling;
    if (!whole) os = std::clamp(os, 1, 16);
    if (options.generatedOversampling != 0) os = options.generatedOversampling;
    os = std::max(os, lowestOversampling(options.filter));
    if (!whole || os != static_cast<int>(std::lround(ratio))) y = resample(y, sampleRate, os * kChipRate);
    report.samplesPerChip = os;
    const auto total = static_cast<long long>(y.size());

    // PN phase and spectrum orientation.
    double peakRatio = 0;
    const Acquisition acq = acquirePn(y, os, peakRatio);
    if (acq.conjugate)
        for (cplx& v : y) v = std::conj(v);
    // The sample phase with the most power (without a pulse shape only one
    // phase carries the chips), within the chip the correlation peak found.
    long long tau = acq.tau;
    {
        std::vector<double> energy(static_cast<std::size_t>(os));
        for (std::size_t n = 0; n < y.size(); ++n) energy[n % static_cast<std::size_t>(os)] += std::norm(y[n]);
        const auto best = static_cast<long long>(std::max_element(energy.begin(), energy.end()) - energy.begin());
        // The rectangular template puts chip k within [tau + k os, tau + (k + 1) os).
        const long long move = ((best - tau) % os + os) % os;
        const long long m = static_cast<long long>(kPeriod) * os;
        tau = ((tau + move) % m + m) % m;
    }
    const long long phase = tau % os;
    const long long chipOfPn0 = tau / os;  // recording chip where PN chip 0 falls (mod period)
    const auto chipCount = static_cast<long long>((total - 1 - phase) / os + 1);
    const cvec& pn = pnChips();
    auto pnIndex = [&](long long q) { return static_cast<std::size_t>((((q - chipOfPn0) % kPeriod) + kPeriod) % kPeriod); };
    cvec z(static_cast<std::size_t>(chipCount));
    for (long long q = 0; q < chipCount; ++q)
        z[static_cast<std::size_t>(q)] = y[static_cast<std::size_t>(phase + q * os)] * std::conj(pn[pnIndex(q)]) / 2.0;

    // Slot timing: slot starts fall on PN indexes that are whole multiples
    // of 64; the pilot bursts show which of the 32 in a slot.
    auto burstEnergy = [&](long long u) {
        double e = 0;
        for (long long s = u; s + kSlotChips <= chipCount; s += kSlotChips)
            for (int start : kPilotStarts)
                for (int part = 0; part < 4; ++part) {
                    cplx acc{};
                    for (int t = 0; t < 24; ++t) acc += z[static_cast<std::size_t>(s + start + part * 24 + t)];
                    e += std::norm(acc);
                }
        return e;
    };
    // Boundaries are looked for from 64 chips before the first sample: the
    // coarse chip alignment may put one a chip or two early.
    const long long base = ((chipOfPn0 % 64) + 64) % 64 - 64;
    long long slotStart = base;
    bool structureless = false;
    if (options.pnOffset) {
        slotStart = ((chipOfPn0 - 64LL * *options.pnOffset) % kSlotChips + kSlotChips) % kSlotChips;
        if (slotStart >= kSlotChips - 64) slotStart -= kSlotChips;
    } else {
        double best = -1, least = 1e300;
        for (long long u = base; u < kSlotChips - 64; u += 64) {
            const double e = burstEnergy(u);
            least = std::min(least, e);
            if (e > best * (1.0 + 1e-9)) {
                best = e;
                slotStart = u;
            }
        }
        // Without a slot structure (every chip alike, as in the unmodulated
        // mode) no boundary stands out: the earliest is taken, so that a
        // frame recorded from its start is read right.
        structureless = best < 1.2 * least;
        if (structureless) {
            slotStart = base >= -2 ? base : base + 64;
            warn("Every slot looks alike: the PN offset is read as if the recording began at a slot boundary "
                 "(give the offset to be sure).");
        }
    }
    if (slotStart + kSlotChips > chipCount) throw NoPilotFound("The recording holds no whole slot after its first slot boundary.");

    // Carrier frequency from the pilot bursts: within a burst (48 chips
    // apart, unambiguous to +-12.8 kHz), then burst to burst (1024 chips),
    // then a straight line through the burst phases.
    std::vector<long long> bursts;
    for (long long s = slotStart; s + kSlotChips <= chipCount; s += kSlotChips)
        for (int start : kPilotStarts) bursts.push_back(s + start);
    cplx lag48{};
    for (long long b : bursts)
        for (int t = 0; t < 48; ++t) {
            lag48 += z[static_cast<std::size_t>(b + t + 48)] * std::conj(z[static_cast<std::size_t>(b + t)]);
        }
    double freq = std::arg(lag48) / (2.0 * kPi * 48.0) * kChipRate;
    auto burstSums = [&](double f) {
        std::vector<cplx> sums;
        for (long long b : bursts) {
            cplx acc{};
            for (int t = 0; t < kPilotBurstChips; ++t) {
                const double time = static_cast<double>(b + t) / kChipRate;
                acc += z[static_cast<std::size_t>(b + t)] * std::polar(1.0, -2.0 * kPi * f * time);
            }
            sums.push_back(acc);
        }
        return sums;
    };
    {
        std::vector<cplx> sums = burstSums(freq);
        cplx lag{};
        for (std::size_t k = 1; k < sums.size(); ++k) lag += sums[k] * std::conj(sums[k - 1]);
        if (sums.size() > 1) freq += std::arg(lag) / (2.0 * kPi * 1024.0) * kChipRate;
        sums = burstSums(freq);
        if (sums.size() > 2) {
            double unwrapped = std::arg(sums[0]), sx = 0, sy = 0, sxx = 0, sxy = 0;
            for (std::size_t k = 0; k < sums.size(); ++k) {
                if (k > 0) unwrapped += std::arg(sums[k] * std::conj(sums[k - 1]));
                const double x = static_cast<double>(bursts[k]);
                sx += x;
                sy += unwrapped;
                sxx += x * x;
                sxy += x * unwrapped;
            }
            const double n = static_cast<double>(sums.size());
            const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
            freq += slope / (2.0 * kPi) * kChipRate;
        }
        sums = burstSums(freq);
        double coherent = 0;
        for (const cplx& s : sums) coherent += std::norm(s);
        double energy = 0;
        for (long long b : bursts)
            for (int t = 0; t < kPilotBurstChips; ++t) energy += std::norm(z[static_cast<std::size_t>(b + t)]);
        const double coherence = energy > 0 ? coherent / (kPilotBurstChips * energy) : 0;
        const double chance = (1.0 + 10.0 / std::sqrt(static_cast<double>(bursts.size()))) / kPilotBurstChips;
        if (!(coherence > std::max(0.04, chance)) || peakRatio < 8.0)
            throw NoPilotFound("No forward-link pilot was found in the recording.");
    }

    // The two halves of a slot look alike (the pilot bursts are 1024 chips
    // apart); a slot's four MAC bursts repeat the same symbols, which two
    // bursts of one slot and two of the next do not, and a packet's preamble
    // opens a slot. Where neither tells (every slot alike), the earlier
    // boundary is taken.
    if (!options.pnOffset && !structureless) {
        auto rotated = [&](long long q) {
            return z[static_cast<std::size_t>(q)] * std::polar(1.0, -2.0 * kPi * freq * static_cast<double>(q) / kChipRate);
        };
        auto score = [&](long long u) {
            double coherent = 0, preamble = 0, counted = 0;
            const RowMatrix<double>& w32 = walshTable(32);
            for (long long s = u; s + kSlotChips <= chipCount; s += kSlotChips) {
                counted += 1;
                for (int t = 0; t < 64; ++t) {
                    cplx acc{};
                    for (int start : kMacStarts) acc += rotated(s + start + t);
                    coherent += std::norm(acc);
                }
                double best = 0;
                for (std::size_t c = 0; c < 32 && s >= 0; ++c) {
                    double acc = 0;
                    for (std::size_t t = 0; t < 64; ++t) acc += rotated(s + static_cast<long long>(t)).real() * w32.at(c, t % 32);
                    best = std::max(best, acc * acc);
                }
                preamble += best;
            }
            return counted > 0 ? (coherent + preamble) / counted : 0.0;
        };
        const long long a = ((slotStart + 64) % 1024 + 1024) % 1024 - 64, b = a + 1024;
        if (b + kSlotChips <= chipCount) {
            const double sa = score(a), sb = score(b);
            slotStart = sb > 1.05 * sa ? b : a;
            if (std::max(sa, sb) < 1.05 * std::min(sa, sb))
                warn("Every slot carries the same MAC channel: the slot boundary may lie half a slot later and the "
                     "PN offset 16 further (give the offset to be sure).");
        } else {
            slotStart = a;
        }
    }

    // The analysis window: whole slots from the first boundary, the whole
    // recording when it is one cyclic frame.
    const long long frameSamples = static_cast<long long>(kPnPeriodChips) * os;
    const long long slotSamples = static_cast<long long>(kSlotChips) * os;
    Window w;
    w.y = &y;
    w.os = os;
    w.shape = options.filter;
    w.phaseEq = options.phaseEq;
    w.freqHz = freq;
    w.cyclic = whole && total % frameSamples == 0 && total / frameSamples <= kMaxFrameSlots / 16 &&
               (options.frameSlots == 0 || options.frameSlots * slotSamples == total);
    long long pnAtStart = static_cast<long long>(pnIndex(slotStart));

    cvec firstSpectrum;
    long long spectrumStart = 0;
    // Fine timing against the pilot alone: the chips' PN alignment is known
    // to within a chip or so; the delay found may move the first whole slot.
    {
        w.start = phase + slotStart * os - chainDelay(os, options.filter, options.phaseEq);
        w.pnStart = static_cast<int>(pnAtStart);
        w.slots = static_cast<int>(std::min<long long>(16, (total - w.start) / slotSamples));
        if (w.cyclic) w.slots = static_cast<int>(std::min<long long>(16, total / slotSamples));
        if (w.slots < 1) throw NoPilotFound("The recording holds no whole slot after its first slot boundary.");
        const cvec& hp = chainResponse(w.chips(), os, options.filter, options.phaseEq);
        cvec pilots(w.chips());
        for (int s = 0; s < w.slots; ++s)
            for (int start : kPilotStarts)
                for (int t = 0; t < kPilotBurstChips; ++t) pilots[static_cast<std::size_t>(s * kSlotChips + start + t)] = 1.0;
        const cvec rp = referenceSpectrum(pilots, w, hp);
        firstSpectrum = windowSpectrum(w);
        spectrumStart = w.start;
        const double d = estimateDelay(firstSpectrum, rp, 0.0, 1.5 * os, os);
        const double first = static_cast<double>(w.start) + d;
        // A boundary within half a sample before the first sample counts as at it.
        const double lowest = w.cyclic ? -0.5 * os : -0.5;
        const auto k = static_cast<long long>(std::floor((first - lowest) / static_cast<double>(slotSamples)));
        const double start = first - static_cast<double>(k * slotSamples);
        w.start = std::llround(start);
        w.delay = start - static_cast<double>(w.start);
        pnAtStart = (((pnAtStart - k * kSlotChips) % kPeriod) + kPeriod) % kPeriod;
    }
    int slots = w.cyclic ? static_cast<int>(total / slotSamples)
                         : static_cast<int>((total - w.start) / slotSamples);
    slots = std::min(slots, options.frameSlots ? options.frameSlots : kMaxFrameSlots);
    int firstIndex = 1;
    if (options.pnOffset)
        firstIndex = 1 + static_cast<int>(((pnAtStart + 64LL * *options.pnOffset) % kPeriod) / kSlotChips);
    // A slot range: the window starts and ends on the chosen slots.
    int skip = 0;
    if (options.firstSlot > 0) skip = std::max(0, options.firstSlot - firstIndex);
    if (options.lastSlot > 0) slots = std::min(slots, options.lastSlot - firstIndex + 1);
    slots -= skip;
    if (slots < 1) throw Error("The recording holds no whole slot of those asked for.");
    w.slots = slots;
    w.start += static_cast<long long>(skip) * slotSamples;
    firstIndex += skip;
    w.pnStart = static_cast<int>((pnAtStart + static_cast<long long>(skip) * kSlotChips) % kPeriod);
    report.pnOffset = options.pnOffset ? *options.pnOffset
                                       : static_cast<int>(((kPeriod - pnAtStart) % kPeriod) / 64);
    report.frameSlots = options.frameSlots ? options.frameSlots : slots;
    report.firstSlot = firstIndex;
    report.lastSlot = firstIndex + slots - 1;

    const cvec& h = chainResponse(w.chips(), os, options.filter, options.phaseEq);
    // The spectrum of the provisional window serves when the window stayed.
    Pass pass = runPass(w, h, 0.0, spectrumStart == w.start && firstSpectrum.size() == w.samples() ? std::move(firstSpectrum) : windowSpectrum(w));
    rebuild(pass, w, h);

    // Refinement against the whole reference: delay, then frequency and
    // phase from the phase drift between half-slot blocks.
    auto refine = [&]() {
        for (int round = 0; round < 2; ++round) {
            const double lastFreq = w.freqHz, lastDelay = w.delay;
            const cvec zb = bandSamples(pass.spectrum, w.chips(), os);
            const cvec rb = bandSamples(pass.reference, w.chips(), os);
            const Masks m = masksOf(pass.slots);
            std::vector<double> times, phases;
            double unwrapped = 0;
            cplx previous{};
            for (std::size_t b0 = 0; b0 < w.chips(); b0 += 1024) {
                cplx acc{};
                for (std::size_t i = b0; i < b0 + 1024; ++i)
                    if (m.pilot[i] || m.mac[i] || m.data[i]) acc += zb[i] * std::conj(rb[i]);
                if (!times.empty()) unwrapped += std::arg(acc * std::conj(previous));
                else unwrapped = std::arg(acc);
                previous = acc;
                times.push_back(static_cast<double>(b0) + 512.0);
                phases.push_back(unwrapped);
            }
            if (times.size() > 1) {
                const double n = static_cast<double>(times.size());
                const double sx = std::accumulate(times.begin(), times.end(), 0.0);
                const double sy = std::accumulate(phases.begin(), phases.end(), 0.0);
                double sxx = 0, sxy = 0;
                for (std::size_t k = 0; k < times.size(); ++k) {
                    sxx += times[k] * times[k];
                    sxy += times[k] * phases[k];
                }
                w.freqHz += (n * sxy - sx * sy) / (n * sxx - sx * sx) / (2.0 * kPi) * kChipRate;
            }
            cvec spectrum = windowSpectrum(w);
            w.delay = estimateDelay(spectrum, pass.reference, w.delay, 1.0, os);
            pass = runPass(w, h, pass.noisePerChip, std::move(spectrum));
            rebuild(pass, w, h);
            // A second round only when the first moved the synchronisation.
            if (std::abs(w.freqHz - lastFreq) < 0.5 && std::abs(w.delay - lastDelay) < 0.01) break;
        }
    };
    refine();

    // A chip clock off by more than a fraction of a ppm drifts the timing
    // over the window: the recording is taken to the nominal chip rate and
    // synchronised again.
    double clockScale = 1.0;
    report.chipRateErrorPpm = clockDriftPpm(pass, os, slots);
    if (std::abs(report.chipRateErrorPpm) > 0.2) {
        clockScale = 1.0 + report.chipRateErrorPpm * 1e-6;
        y = resample(y, 1.0, clockScale);
        const double first = (static_cast<double>(w.start) + w.delay) * clockScale;
        w.start = std::llround(first);
        w.delay = first - static_cast<double>(w.start);
        if (!w.cyclic && w.start + static_cast<long long>(w.samples()) > static_cast<long long>(y.size()))
            throw Error("The recording's chip clock is too far off for its last slot.");
        pass = runPass(w, h, pass.noisePerChip, windowSpectrum(w));
        rebuild(pass, w, h);
        refine();
        report.chipRateErrorPpm += clockDriftPpm(pass, os, slots);
    }

    // Packets: named, marked and decoded; the reference is rebuilt with any
    // slot the packet step decided.
    PacketInputs packetInputs{&pass.slots, firstIndex, std::max(pass.noisePerChip, 1e-9), options.maxIterations};
    report.packets = findPackets(packetInputs);
    rebuild(pass, w, h);

    // Measurements in the channel band at the chip instants.
    const cvec zb = bandSamples(pass.spectrum, w.chips(), os);
    const cvec rb = bandSamples(pass.reference, w.chips(), os);
    const Masks m = masksOf(pass.slots);
    const std::size_t nc = w.chips();
    double rr = 0;
    const cplx g = contentGain(zb, rb, m, nc, &rr);
    report.rho.pilot = rhoOver(zb, rb, m.pilot);
    bool anyMac = false, anyData = false;
    for (const SlotContent& s : pass.slots) {
        anyMac = anyMac || !s.macIdle;
        anyData = anyData || dataPresent(s);
    }
    if (anyMac) report.rho.mac = rhoOver(zb, rb, m.mac);
    if (anyData) report.rho.data = rhoOver(zb, rb, m.data);
    report.rho.overall = rhoOver(zb, rb, m.pilot, &m.mac, &m.data);

    // Residual: noise, origin offset, I/Q imbalance, phase error.
    double noise = 0, phaseSq = 0, phaseWeight = 0;
    std::size_t used = 0, pilotCount = 0;
    cplx dc{}, image{};
    double imageNorm = 0;
    const double meanRef = rr / static_cast<double>(std::max<std::size_t>(1, nc));
    for (std::size_t i = 0; i < nc; ++i) {
        if (!(m.pilot[i] || m.mac[i] || m.data[i])) continue;
        const cplx ref = g * rb[i];
        const cplx e = zb[i] - ref;
        // The noise from the pilot alone: decisions elsewhere absorb some
        // of it when they go wrong.
        if (m.pilot[i]) {
            noise += std::norm(e);
            ++pilotCount;
        }
        dc += e;
        image += e * ref;
        imageNorm += std::norm(ref);
        if (std::norm(rb[i]) > 0.1 * meanRef) {
            const double a = std::arg(zb[i] * std::conj(ref));
            phaseSq += a * a;
            phaseWeight += 1;
        }
        ++used;
    }
    noise /= static_cast<double>(std::max<std::size_t>(pilotCount, 1));
    dc /= static_cast<double>(std::max<std::size_t>(used, 1));
    // The signal's power in the channel: what the channel holds less the noise.
    double inChannel = 0;
    for (const cplx& v : zb) inChannel += std::norm(v);
    inChannel /= static_cast<double>(nc);
    const double signal = std::max(inChannel - noise, 1e-300);
    report.snrDb = std::min(10.0 * std::log10(signal / std::max(noise, 1e-300)), 300.0);
    report.originOffsetDb = powerDb(std::norm(dc) / signal);
    {
        // z = K1 r + K2 conj(r): the Q branch's gain and angle against I.
        const cplx k2 = imageNorm > 0 ? image / imageNorm : cplx{};
        const cplx k1 = 1.0;
        const cplx sum = k1 + std::conj(k2);
        const cplx q = (k1 - std::conj(k2)) / sum;
        report.iqGainDb = 20.0 * std::log10(std::abs(q));
        report.iqQuadratureDeg = -std::arg(q) * 180.0 / kPi;
    }
    report.phaseErrorDeg = phaseWeight > 0 ? std::sqrt(phaseSq / phaseWeight) * 180.0 / kPi : 0.0;

    // Synchronisation as found.
    const double startSample = (static_cast<double>(w.start) + w.delay) / clockScale;
    report.timingOffsetChips = startSample / os;
    report.frequencyErrorHz = acq.conjugate ? -w.freqHz : w.freqHz;
    report.mirrorSpectrum = !acq.conjugate;

    // Slots, EVM and code-domain power.
    double meanPower = 0;
    for (const cplx& v : pass.chips) meanPower += std::norm(v);
    meanPower /= static_cast<double>(nc);
    double evmErr = 0, evmRef = 0, evmPeak = 0;
    std::vector<double> peakErrors;
    std::array<double, 64> cdpI{}, cdpQ{};
    double macTotal = 0;
    std::array<double, 16> cdpData{};
    for (std::size_t s = 0; s < pass.slots.size(); ++s) {
        const SlotContent& c = pass.slots[s];
        const cplx* d = pass.chips.data() + s * kSlotChips;
        SlotReport r;
        r.index = firstIndex + static_cast<int>(s);
        double pilot = 0;
        for (int start : kPilotStarts)
            for (int t = 0; t < kPilotBurstChips; ++t) pilot += std::norm(d[start + t]);
        pilot /= 2.0 * kPilotBurstChips;
        r.pilotPowerDb = powerDb(pilot / meanPower);
        double mac = 0;
        for (int start : kMacStarts)
            for (int t = 0; t < 64; ++t) mac += std::norm(d[start + t]);
        mac /= kMacChipsPerSlot;
        if (!c.macIdle) {
            r.macPowerDb = powerDb(mac / pilot);
            for (std::size_t k = 0; k < 64; ++k) {
                cdpI[k] += c.codeI[k] * c.codeI[k];
                cdpQ[k] += c.codeQ[k] * c.codeQ[k];
            }
            macTotal += mac;
        }
        double data = 0;
        for (const cplx& v : c.dataChips) data += std::norm(v);
        data /= kDataChipsPerSlot;
        r.data = kindName(c);
        if (dataPresent(c)) {
            r.dataPowerDb = powerDb(data / pilot);
            const auto from = static_cast<std::size_t>(c.preambleChips);
            cplx num{};
            double den = 0;
            for (std::size_t k = from; k < c.symbols.size(); ++k) {
                num += c.symbols[k] * std::conj(c.refSymbols[k]);
                den += std::norm(c.refSymbols[k]);
            }
            if (den > 0 && from < c.symbols.size()) {
                const cplx a = num / den;
                double err = 0, ref = 0;
                std::vector<double> errors;
                for (std::size_t k = from; k < c.symbols.size(); ++k) {
                    const double e = std::norm(c.symbols[k] - a * c.refSymbols[k]);
                    err += e;
                    errors.push_back(e);
                    ref += std::norm(a * c.refSymbols[k]);
                    cdpData[k % 16] += std::norm(c.symbols[k]) / 16.0;
                }
                r.evmPercent = 100.0 * std::sqrt(err / ref);
                const double meanRefPower = ref / static_cast<double>(errors.size());
                for (double e : errors) evmPeak = std::max(evmPeak, std::sqrt(e / meanRefPower));
                evmErr += err;
                evmRef += ref;
            }
        } else {
            r.idlePowerDb = powerDb(data / pilot);
        }
        r.raActive = c.macActive[kRaMacIndex];
        r.raBit = c.macAmplitude[kRaMacIndex] < 0 ? 1 : 0;
        r.raGainDb = r.raActive ? 20.0 * std::log10(std::abs(c.macAmplitude[kRaMacIndex])) : 0.0;
        for (int mi = kRaMacIndex + 1; mi < 64; ++mi) {
            RpcReport rpc;
            rpc.macIndex = mi;
            rpc.active = c.macActive[static_cast<std::size_t>(mi)];
            if (rpc.active) {
                rpc.bit = c.macAmplitude[static_cast<std::size_t>(mi)] < 0 ? 1 : 0;
                rpc.gainDb = 20.0 * std::log10(std::abs(c.macAmplitude[static_cast<std::size_t>(mi)]));
            }
            r.rpc.push_back(rpc);
        }
        report.slotReports.push_back(std::move(r));
        if (c.preambleChips > 0)
            report.codeDomain.preamble.push_back(
                {firstIndex + static_cast<int>(s), c.preambleMac, c.preambleChips, powerDb(c.preamblePower / pilot)});
    }
    if (evmRef > 0) {
        report.evmRmsPercent = 100.0 * std::sqrt(evmErr / evmRef);
        report.evmPeakPercent = 100.0 * evmPeak;
    }
    for (std::size_t k = 0; k < 64; ++k) {
        report.codeDomain.macI[k] = powerDb(macTotal > 0 ? cdpI[k] / macTotal : 0);
        report.codeDomain.macQ[k] = powerDb(macTotal > 0 ? cdpQ[k] / macTotal : 0);
    }
    double dataTotal = std::accumulate(cdpData.begin(), cdpData.end(), 0.0);
    for (std::size_t k = 0; k < 16; ++k) report.codeDomain.data[k] = powerDb(dataTotal > 0 ? cdpData[k] / dataTotal : 0);
    return report;
}

}  // namespace tolvane
