#include "impair/impairments.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>

#include "base/diagnostics.hpp"
#include "onex/bit_source.hpp"
#include "onex/constants.hpp"

namespace tolvane {

namespace {

using cplx = std::complex<double>;

// SplitMix64: spreads a seed over the generator's state.
std::uint64_t splitMix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

// The chain's result row as the workspace holds it. The workspace gives its
// result out read-only so that callers do not change it by accident; the
// impairments are the last stage of this calculation and write into the
// row in place, so that no second copy of a long frame is kept.
FrameResult& resultOf(FrameWorkspace& workspace) { return const_cast<FrameResult&>(workspace.result()); }

std::string mhzText(double hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", hz / 1e6);
    return text;
}

// The product of two complex numbers written out: std::complex's operator
// checks every product for infinities and NaNs (a library call per sample),
// which a frame of finite samples never needs.
inline cplx mul(cplx a, cplx b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// The phase of a frequency shift: exact at the start of every block of
// kPhaseBlock samples, and within a block the product of that with a
// table of the block's phase steps (each exact), so that no sample's phase
// depends on the one before it.
constexpr std::size_t kPhaseBlock = 1024;

struct PhaseRamp {
    double cycles = 0;  // per sample
    std::vector<cplx> steps;
    PhaseRamp(double frequencyHz, double sampleRate, double gain = 1) : cycles(frequencyHz / sampleRate) {
        steps.resize(kPhaseBlock);
        for (std::size_t k = 0; k < kPhaseBlock; ++k)
            steps[k] = std::polar(gain, 2 * std::numbers::pi * std::fmod(cycles * static_cast<double>(k), 1.0));
    }
    // The phasor of sample `start`.
    cplx at(std::size_t start) const {
        return std::polar(1.0, 2 * std::numbers::pi * std::fmod(cycles * static_cast<double>(start), 1.0));
    }
};

// Adds g * x[(n - delay) mod N] * exp(j 2 pi f n / fs) to out[n].
void placeCarrier(const std::vector<cplx>& x, std::vector<cplx>& out, std::size_t delay, double frequencyHz,
                  double sampleRate, double gain) {
    const std::size_t n = x.size();
    if (n == 0) return;
    const PhaseRamp ramp(frequencyHz, sampleRate, gain);
    const std::size_t shift = n - delay % n;
    for (std::size_t start = 0; start < n; start += kPhaseBlock) {
        const cplx base = ramp.at(start);
        const std::size_t end = std::min(n, start + kPhaseBlock);
        std::size_t src = (start + shift) % n;
        std::size_t k = start;
        while (k < end) {
            // Runs without the wrap of the source index.
            const std::size_t run = std::min(end - k, n - src);
            const cplx* in = x.data() + src;
            cplx* o = out.data() + k;
            const cplx* step = ramp.steps.data() + (k - start);
            for (std::size_t t = 0; t < run; ++t) o[t] += mul(in[t], mul(base, step[t]));
            k += run;
            src = (src + run) % n;
        }
    }
}

}  // namespace

bool isMultiCarrier(const FrameConfig& config) { return config.Carriers.size() >= 2; }

bool impairmentsOn(const FrameConfig& c) {
    return c.AWGNActive != 0 || c.FrequencyOffset != 0 || c.IQGainImbalance != 0 || c.IQQuadratureError != 0 ||
           c.OriginOffsetActive != 0 || c.ClipPAPRActive != 0;
}

void checkImpairments(const FrameConfig& config) {
    const double rate = kChipRate * config.OverSampling;
    const double limit = rate / 2 - kCarrierHalfWidthHz;
    if (!(std::abs(config.FrequencyOffset) <= limit))
        throw Error("parameters.FrequencyOffset value " + numberText(config.FrequencyOffset) +
                    " Hz is outside the allowed range at OverSampling " + numberText(config.OverSampling) + " (-" +
                    numberText(limit) + " to " + numberText(limit) + " Hz: half the sample rate less 0.7 MHz).");
    if (!isMultiCarrier(config)) return;
    double outer = 0;
    for (const CarrierRow& c : config.Carriers) outer = std::max(outer, std::abs(c.offsetHz));
    const double span = outer + kCarrierHalfWidthHz;
    if (span <= rate / 2) return;
    const double needed = std::ceil(2 * span / kChipRate - 1e-12);
    if (needed > 30)
        throw Error("parameters.Carriers need ±" + mhzText(span) +
                    " MHz; no oversampling up to 30 holds that span (36.864 MHz).");
    throw Error("parameters.Carriers need ±" + mhzText(span) + " MHz; use OverSampling " + numberText(needed) +
                " or more (" + numberText(needed * kChipRate / 1e6) + " MHz).");
}

AwgnStream::AwgnStream() {
    std::random_device device;
    seed((std::uint64_t(device()) << 32) ^ device());
}

void AwgnStream::seed(std::uint64_t seed) {
    // A stream apart from the idle noise's generator, which takes the seed
    // as it is.
    std::uint64_t x = seed ^ 0x6a09e667f3bcc908ULL;
    for (std::uint64_t& s : s_) s = splitMix(x);
}

std::uint64_t AwgnStream::next() {
    // xoshiro256++
    const std::uint64_t result = rotl(s_[0] + s_[3], 23) + s_[0];
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

namespace {

// The ziggurat of the normal density (Marsaglia and Tsang; the 128-layer
// form with the tail by Marsaglia's method): layer i spans |x| < x[i], layer
// 0 is the base with the tail beyond kTailStart. Layers of equal area
// kLayerArea.
constexpr int kLayers = 128;
constexpr double kTailStart = 3.442619855899;
constexpr double kLayerArea = 9.91256303526217e-3;

struct Ziggurat {
    double x[kLayers + 1];
    double ratio[kLayers];
    Ziggurat() {
        double f = std::exp(-0.5 * kTailStart * kTailStart);
        x[0] = kLayerArea / f;
        x[1] = kTailStart;
        x[kLayers] = 0;
        for (int i = 2; i < kLayers; ++i) {
            x[i] = std::sqrt(-2 * std::log(kLayerArea / x[i - 1] + f));
            f = std::exp(-0.5 * x[i] * x[i]);
        }
        for (int i = 0; i < kLayers; ++i) ratio[i] = x[i + 1] / x[i];
    }
};

const Ziggurat& ziggurat() {
    static const Ziggurat z;
    return z;
}

}  // namespace

double AwgnStream::uniformOpen() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53; }

double AwgnStream::normal() {
    const Ziggurat& z = ziggurat();
    for (;;) {
        // One draw gives the abscissa (the top 53 bits) and the layer (the
        // low 7 bits, apart from them).
        const std::uint64_t bits = next();
        const double u = static_cast<double>(bits >> 11) * 0x1.0p-52 - 1.0;
        const int i = static_cast<int>(bits & (kLayers - 1));
        if (std::abs(u) < z.ratio[i]) return u * z.x[i];  // inside the layer's rectangle
        if (i == 0) {
            // The tail beyond kTailStart.
            double t, y;
            do {
                t = std::log(uniformOpen()) / kTailStart;
                y = std::log(uniformOpen());
            } while (-2 * y < t * t);
            return u < 0 ? t - kTailStart : kTailStart - t;
        }
        const double x0 = u * z.x[i];
        const double f0 = std::exp(-0.5 * (z.x[i] * z.x[i] - x0 * x0));
        const double f1 = std::exp(-0.5 * (z.x[i + 1] * z.x[i + 1] - x0 * x0));
        if (f1 + uniformOpen() * (f0 - f1) < 1.0) return x0;
    }
}

void AwgnStream::add(std::vector<cplx>& w, double power) {
    const double sigma = std::sqrt(power / 2);
    for (cplx& v : w) {
        const double re = normal();
        const double im = normal();
        v += cplx(sigma * re, sigma * im);
    }
}

void shiftFrequency(std::vector<cplx>& w, double frequencyHz, double sampleRate) {
    if (frequencyHz == 0 || w.empty()) return;
    const PhaseRamp ramp(frequencyHz, sampleRate);
    const std::size_t n = w.size();
    for (std::size_t start = 0; start < n; start += kPhaseBlock) {
        const cplx base = ramp.at(start);
        const std::size_t end = std::min(n, start + kPhaseBlock);
        for (std::size_t k = start; k < end; ++k) w[k] = mul(w[k], mul(base, ramp.steps[k - start]));
    }
}

ImpairmentReport applyImpairments(std::vector<cplx>& w, const FrameConfig& c, double sampleRate, AwgnStream& noise) {
    ImpairmentReport report;
    const std::size_t n = w.size();
    if (n == 0) return report;
    const bool iq = c.IQGainImbalance != 0 || c.IQQuadratureError != 0;
    const bool origin = c.OriginOffsetActive != 0;
    const bool clip = c.ClipPAPRActive != 0;
    const bool awgn = c.AWGNActive != 0;
    const bool shift = c.FrequencyOffset != 0;

    // First pass: the I/Q imbalance, I' = g I, Q' = (Q cos phi + I sin phi) / g
    // with g = 10^(G/40), measuring the power and the mean of I on the way.
    double power = 0, meanI = 0;
    if (iq) {
        const double g = std::pow(10.0, c.IQGainImbalance / 40);
        const double phi = c.IQQuadratureError * std::numbers::pi / 180;
        const double qq = std::cos(phi) / g, qi = std::sin(phi) / g;
        for (cplx& z : w) {
            z = cplx(g * z.real(), qq * z.imag() + qi * z.real());
            power += std::norm(z);
            meanI += z.real();
        }
    } else if (origin || clip || awgn) {
        for (const cplx& z : w) {
            power += std::norm(z);
            meanI += z.real();
        }
    }
    power /= static_cast<double>(n);
    meanI /= static_cast<double>(n);

    // The origin offset c = 10^(D/20) rms added to I; the power entering the
    // clipping stage follows from the sums above: P + 2 c mean(I) + c^2.
    const double offset = origin ? std::pow(10.0, c.OriginOffset / 20) * std::sqrt(power) : 0.0;
    report.carrierPower = power + 2 * offset * meanI + offset * offset;
    const double limit = clip ? std::sqrt(report.carrierPower) * std::pow(10.0, c.ClipPAPR / 20) : 0.0;
    const double limit2 = limit * limit;
    // The noise's power in the 1.2288 MHz channel is the carrier power less
    // C/N; its density is flat over the sample rate.
    const double noisePower =
        awgn ? report.carrierPower * std::pow(10.0, -c.CarrierToNoise / 10) * (sampleRate / kNoiseChannelHz) : 0.0;
    const double sigma = std::sqrt(noisePower / 2);

    // Second pass, block by block: origin offset, clipping, frequency
    // offset, noise.
    const PhaseRamp ramp(shift ? c.FrequencyOffset : 0.0, sampleRate);
    double peak = 0, clippedSum = 0;
    for (std::size_t start = 0; start < n; start += kPhaseBlock) {
        const std::size_t end = std::min(n, start + kPhaseBlock);
        if (origin)
            for (std::size_t k = start; k < end; ++k) w[k] = cplx(w[k].real() + offset, w[k].imag());
        if (clip)
            for (std::size_t k = start; k < end; ++k) {
                double p = std::norm(w[k]);
                if (p > limit2) {
                    w[k] *= limit / std::sqrt(p);
                    p = std::norm(w[k]);
                }
                peak = std::max(peak, p);
                clippedSum += p;
            }
        if (shift) {
            const cplx base = ramp.at(start);
            for (std::size_t k = start; k < end; ++k) w[k] = mul(w[k], mul(base, ramp.steps[k - start]));
        }
        if (awgn)
            for (std::size_t k = start; k < end; ++k) {
                const double re = noise.normal();
                const double im = noise.normal();
                w[k] += cplx(sigma * re, sigma * im);
            }
    }
    if (clip) {
        const double mean = clippedSum / static_cast<double>(n);
        report.crestFactorDb = mean > 0 ? 10 * std::log10(peak / mean) : 0;
    }
    if (awgn) report.noisePower = noisePower;
    return report;
}

ImpairmentReport calculateImpairedFrame(const FrameConfig& config, FrameWorkspace& workspace, ImpairWorkspace& impair,
                                        std::optional<std::uint64_t> seed) {
    checkImpairments(config);
    if (seed) impair.noise.seed(*seed);
    const double rate = kChipRate * config.OverSampling;
    if (!isMultiCarrier(config)) {
        calculateFrame(config, workspace);
        if (!impairmentsOn(config)) return {};
        return applyImpairments(resultOf(workspace).waveform, config, rate, impair.noise);
    }

    // Every carrier's data bits, drawn in one run of the source so that it
    // continues from carrier to carrier.
    const long long perCarrier = requiredDataBits(config);
    const double type = config.DATAsourceType;
    if (!(type >= 1 && type <= 8) || std::floor(type) != type)
        throw Error("DATAsourceType " + numberText(type) + " is not a data source (1 to 8): no data bits were generated.");
    const std::size_t carriers = config.Carriers.size();
    generateBitStream(static_cast<DataSource>(type), perCarrier * static_cast<long long>(carriers),
                      config.dataSourceBitstream, impair.bits);
    const auto bitsOf = [&](std::size_t k) {
        const auto first = impair.bits.begin() + static_cast<std::ptrdiff_t>(k * static_cast<std::size_t>(perCarrier));
        return std::vector<double>(first, first + perCarrier);
    };
    const std::size_t oversampling = static_cast<std::size_t>(config.OverSampling);
    FrameConfig one = config;
    const auto carrierConfig = [&](std::size_t k) -> const FrameConfig& {
        one.PilotOffsetIndex = config.Carriers[k].pnOffset;
        return one;
    };

    // Carrier 1 in the workspace itself, so its markers and packets stay.
    const CarrierRow& first = config.Carriers[0];
    fwdChnFrame(frameInputs(carrierConfig(0), bitsOf(0)), workspace);
    FrameResult& result = resultOf(workspace);
    const std::size_t delay1 = static_cast<std::size_t>(first.delayChips) * oversampling;
    if (!result.waveform.empty() && delay1 % result.waveform.size() != 0) {
        const std::size_t n = result.waveform.size();
        const std::size_t d = delay1 % n;
        std::rotate(result.waveform.begin(), result.waveform.end() - static_cast<std::ptrdiff_t>(d),
                    result.waveform.end());
        std::rotate(result.marker1.begin(), result.marker1.end() - static_cast<std::ptrdiff_t>(d), result.marker1.end());
        std::rotate(result.marker2.begin(), result.marker2.end() - static_cast<std::ptrdiff_t>(d), result.marker2.end());
    }
    const double gain1 = std::pow(10.0, first.powerDb / 20);
    if (first.offsetHz != 0) shiftFrequency(result.waveform, first.offsetHz, rate);
    if (gain1 != 1)
        for (cplx& z : result.waveform) z *= gain1;

    for (std::size_t k = 1; k < carriers; ++k) {
        const CarrierRow& c = config.Carriers[k];
        const FrameResult& other = fwdChnFrame(frameInputs(carrierConfig(k), bitsOf(k)), impair.carrier);
        placeCarrier(other.waveform, result.waveform, static_cast<std::size_t>(c.delayChips) * oversampling,
                     c.offsetHz, rate, std::pow(10.0, c.powerDb / 20));
    }
    if (!impairmentsOn(config)) return {};
    return applyImpairments(result.waveform, config, rate, impair.noise);
}

}  // namespace tolvane
