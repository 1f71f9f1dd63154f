// Frames for the receiver tests, made by the project's own generator, and
// the impairments a test applies to them (written here, apart from the
// receiver's code).
#pragma once

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "numerics/fft.hpp"
#include "onex/constants.hpp"
#include "onex/frame_config.hpp"

namespace tolvane::rxtest {

using cplx = std::complex<double>;
using cvec = std::vector<cplx>;
constexpr double kPi = 3.14159265358979323846;

// Mode 1 with MAC and data on: every modulation, RPC channels at several
// gains and bits, the RA channel, an idle data portion (noise filler) in
// slot 7 and an idle MAC in slot 4.
inline FrameConfig mode1Config(int filter, bool eq, int os, int pn) {
    FrameConfig c = defaultFrameConfig();
    c.Mode = 1;
    c.MACchnActive = 1;
    c.DATAchnActive = 1;
    c.FilterType = filter;
    c.PhaseEq = eq ? 1 : 0;
    c.OverSampling = os;
    c.PilotOffsetIndex = pn;
    c.DATAsourceType = 5;
    c.slot.DATAslotMod = {1, 2, 3, 1, 2, 3, 3, 2, 1, 1, 3, 2, 1, 2, 3, 1};
    c.slot.DATAslotActive.fill(1);
    c.slot.DATAslotActive[6] = 0;
    c.slot.RAslotActive[3] = 0;
    c.slot.RPCslotActiveChn[3] = 0;
    for (int s = 0; s < kSlots; ++s) {
        c.slot.RAslotGain[s] = -2 - s % 5;
        c.slot.RAslotValue[s] = s % 2;
        for (int k : {0, 7, 20, 41, 58}) {
            c.slot.RPCslotActive[s][k] = 1;
            c.slot.RPCslotGain[s][k] = -4.0 - (k + s) % 17;
            c.slot.RPCslotValue[s][k] = (k + s) % 3 == 0;
        }
    }
    c.ProjectedLength = projectedLength(c);
    return c;
}

// Delays a cyclic frame by `samples` (any real number) through its spectrum.
inline cvec delayCyclic(const cvec& x, double samples) {
    cvec s = fft(x);
    const std::size_t n = s.size();
    for (std::size_t b = 0; b < n; ++b) {
        const double f = b < (n + 1) / 2 ? static_cast<double>(b) : static_cast<double>(b) - static_cast<double>(n);
        if (2 * b == n) s[b] = std::real(s[b] * std::polar(1.0, -2.0 * kPi * f * samples / static_cast<double>(n)));
        else s[b] *= std::polar(1.0, -2.0 * kPi * f * samples / static_cast<double>(n));
    }
    return ifft(s);
}

// Gain, phase and a carrier offset of `hz` at `rate`.
inline cvec impair(const cvec& x, double gain, double phaseRad, double hz, double rate) {
    cvec y(x.size());
    for (std::size_t n = 0; n < x.size(); ++n)
        y[n] = x[n] * std::polar(gain, phaseRad + 2.0 * kPi * hz * static_cast<double>(n) / rate);
    return y;
}

inline double meanPower(const cvec& x) {
    double p = 0;
    for (const cplx& v : x) p += std::norm(v);
    return p / static_cast<double>(x.size());
}

// White Gaussian noise whose power in the 1.2288 MHz channel is the
// signal's mean power less `snrDb`.
inline cvec addChannelNoise(const cvec& x, int os, double snrDb, unsigned seed) {
    std::mt19937_64 gen(seed);
    std::normal_distribution<double> normal;
    const double total = meanPower(x) * std::pow(10.0, -snrDb / 10.0) * os;  // over the whole sample band
    const double sigma = std::sqrt(total / 2.0);
    cvec y = x;
    for (cplx& v : y) v += cplx(sigma * normal(gen), sigma * normal(gen));
    return y;
}

}  // namespace tolvane::rxtest
