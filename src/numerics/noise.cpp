#include "numerics/noise.hpp"

#include <cmath>
#include <random>

#include "base/diagnostics.hpp"

namespace tolvane {

namespace {

struct NoiseState {
    std::mt19937_64 engine;
    bool haveSpare = false;
    double spare = 0.0;
    NoiseState() { reseed(std::random_device{}() ^ (std::uint64_t(std::random_device{}()) << 32)); }
    void reseed(std::uint64_t seed) {
        engine.seed(seed);
        haveSpare = false;
    }
    // Uniform in (-1, 1) with 53 random bits.
    double uniformSigned() {
        return (static_cast<double>(engine() >> 11) * 0x1.0p-53) * 2.0 - 1.0;
    }
    double normal() {
        if (haveSpare) {
            haveSpare = false;
            return spare;
        }
        double u, v, s;
        do {
            u = uniformSigned();
            v = uniformSigned();
            s = u * u + v * v;
        } while (s >= 1.0 || s == 0.0);
        const double f = std::sqrt(-2.0 * std::log(s) / s);
        spare = v * f;
        haveSpare = true;
        return u * f;
    }
};

NoiseState& state() {
    static NoiseState s;
    return s;
}

}  // namespace

void seedNoise(std::uint64_t seed) { state().reseed(seed); }

double standardNormal() { return state().normal(); }

std::vector<std::complex<double>> complexWhiteNoise(std::size_t count, double powerDbW) {
    const double amplitude = std::sqrt(std::pow(10.0, powerDbW / 10.0) / 2.0);
    std::vector<std::complex<double>> out(count);
    auto& s = state();
    for (auto& z : out) {
        const double re = s.normal();
        const double im = s.normal();
        z = {amplitude * re, amplitude * im};
    }
    return out;
}

void checkNoiseDimensions(const std::vector<double>& dims, bool dimsAreReal) {
    bool ok = dimsAreReal && !dims.empty() && dims.size() <= 2;
    for (double d : dims) ok = ok && std::isfinite(d) && d >= 1.0 && std::floor(d) == d;
    if (!ok) throw Error("The required dimensions must be real, integer scalars > 1.");
}

void checkNoisePower(std::size_t powerElements, bool powerIsReal) {
    if (powerElements != 1 || !powerIsReal) throw Error("The power value must be a real scalar.");
}

}  // namespace tolvane
