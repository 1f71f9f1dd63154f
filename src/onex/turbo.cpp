// Turbo encoder of the forward traffic channel.
//
// Two identical recursive systematic convolutional encoders with transfer
// function [1, n0(D)/d(D), n1(D)/d(D)], d = 1 + D^2 + D^3, n0 = 1 + D + D^3,
// n1 = 1 + D + D^2 + D^3; the second one sees the packet through the turbo
// interleaver. Their outputs are punctured to the code rate, and the three
// tail periods of each encoder (which flush it back to the zero state) are
// appended after the data, first encoder before second.
#include "onex/turbo.hpp"

#include <array>
#include <cmath>

#include "base/diagnostics.hpp"

namespace tolvane {

namespace {

// Non-negative remainder modulo 2 of a sum of code values. Sums of 0/1 bits
// (0 .. 3) take the short path; anything else the general remainder.
inline double mod2(double v) {
    if (v == 0.0 || v == 2.0) return 0.0;
    if (v == 1.0 || v == 3.0) return 1.0;
    return v - 2.0 * std::floor(v / 2.0);
}

// The five-bit reversals used for the interleaver's row addresses.
constexpr std::array<int, 32> kReverse5 = [] {
    std::array<int, 32> r{};
    for (int i = 0; i < 32; ++i)
        for (int b = 0; b < 5; ++b)
            if (i & (1 << b)) r[static_cast<std::size_t>(i)] |= 1 << (4 - b);
    return r;
}();

// Interleaver multipliers by the five low counter bits (rows) and by
// n = 3 .. 7 (columns). Every entry is odd, so multiplication by it is a
// bijection modulo 2^n.
constexpr int kLookup[32][5] = {
    {1, 5, 27, 3, 15},    {1, 15, 3, 27, 127}, {3, 5, 1, 15, 89},   {5, 15, 15, 13, 1},
    {1, 1, 13, 29, 31},   {5, 9, 17, 5, 15},   {1, 9, 23, 1, 61},   {5, 15, 13, 31, 47},
    {3, 13, 9, 3, 127},   {5, 15, 3, 9, 17},   {3, 7, 15, 15, 119}, {5, 11, 3, 31, 15},
    {3, 15, 13, 17, 57},  {5, 3, 1, 5, 123},   {5, 15, 13, 39, 95}, {1, 5, 29, 1, 5},
    {3, 13, 21, 19, 85},  {5, 15, 19, 27, 17}, {3, 9, 1, 15, 55},   {5, 3, 3, 13, 57},
    {3, 1, 29, 45, 15},   {5, 3, 17, 5, 41},   {5, 15, 25, 33, 93}, {5, 1, 29, 15, 87},
    {1, 13, 9, 13, 63},   {5, 1, 13, 9, 15},   {1, 9, 23, 15, 13},  {5, 15, 13, 31, 15},
    {3, 11, 13, 17, 81},  {5, 3, 1, 5, 57},    {5, 15, 13, 15, 31}, {3, 5, 13, 33, 69},
};

}  // namespace

long long reverseBits(long long n, int length) {
    if (length < 0 || length > 62)
        throw Error("reverseBits: bit count " + numberText(length) + " is outside 0 .. 62.");
    if (n < 0 || n >= (1LL << length))
        throw Error("reverseBits: " + numberText(static_cast<double>(n)) + " does not fit in " +
                    numberText(length) + " bits.");
    long long out = 0;
    for (int b = 0; b < length; ++b) {
        out = (out << 1) | (n & 1);
        n >>= 1;
    }
    return out;
}

ConstituentOutput constituentEncoder(const std::vector<double>& input) {
    const std::size_t n = input.size();
    ConstituentOutput out;
    out.x.resize(n + 3);
    out.y0.resize(n + 3);
    out.y1.resize(n + 3);
    double s1 = 0, s2 = 0, s3 = 0;  // s1 the most recent state bit
    for (std::size_t i = 0; i < n; ++i) {
        const double u = input[i];
        out.x[i] = u;
        out.y0[i] = mod2(u + s1 + s2);
        out.y1[i] = mod2(u + s1);
        const double a = mod2(u + s2 + s3);
        s3 = s2;
        s2 = s1;
        s1 = a;
    }
    // Tail: the input equals the feedback, so the register input is zero and
    // three periods flush the state.
    for (std::size_t i = n; i < n + 3; ++i) {
        out.x[i] = mod2(s2 + s3);
        out.y0[i] = mod2(s1 + s3);
        out.y1[i] = mod2(s1 + s2 + s3);
        s3 = s2;
        s2 = s1;
        s1 = 0;
    }
    return out;
}

std::vector<double> turboInterleaver(const std::vector<double>& input) {
    const std::size_t size = input.size();
    if (size < kTurboMinBits || size > kTurboMaxBits)
        throw Error("Turbo interleaver: packet length N = " + numberText(static_cast<double>(size)) +
                    " is not supported (N must be 129 .. 4096).");
    // n = ceil(log2(N)) - 5 picks one of the table's columns 3 .. 7.
    int bitsNeeded = 0;
    while ((std::size_t{1} << bitsNeeded) < size) ++bitsNeeded;
    const int n = bitsNeeded - 5;

    const std::size_t mask = (std::size_t{1} << n) - 1;  // arithmetic modulo 2^n
    const std::size_t counterEnd = std::size_t{32} << n;  // the addresses run over a permutation of 0 .. 2^(n+5)-1
    std::vector<double> output(size);
    std::size_t written = 0;
    for (std::size_t counter = 0; counter < counterEnd && written < size; ++counter) {
        const std::size_t msb = ((counter >> 5) + 1) & mask;
        const std::size_t lsb = counter & 31;
        const std::size_t newLsb = (msb * static_cast<std::size_t>(kLookup[lsb][n - 3])) & mask;
        const std::size_t address = (static_cast<std::size_t>(kReverse5[lsb]) << n) + newLsb;
        if (address < size) output[written++] = input[address];
    }
    return output;
}

std::vector<double> turboPuncturing(const ConstituentOutput& first, const ConstituentOutput& second, CodeRate rate) {
    const int k = symbolsPerBit(rate);
    if (k == 1) return {};

    const std::size_t len = first.x.size();
    const bool sameLength = first.y0.size() == len && first.y1.size() == len && second.x.size() == len &&
                            second.y0.size() == len && second.y1.size() == len;
    if (!sameLength || len < 3)
        throw Error("Turbo puncturing: the six streams must have the same length of at least 3 (x has " +
                    numberText(static_cast<double>(len)) + ").");

    const std::size_t n = len - 3;
    const std::size_t kk = static_cast<std::size_t>(k);
    std::vector<double> out(kk * (n + 6));
    const auto& [x, y0, y1] = first;
    const auto& [xp, y0p, y1p] = second;

    // Data periods; i is 0-based, so "odd" 1-based periods have even i.
    for (std::size_t i = 0; i < n; ++i) {
        double* p = &out[kk * i];
        const bool odd = (i % 2) == 0;
        switch (k) {
            case 2:
                p[0] = x[i];
                p[1] = odd ? y0[i] : y0p[i];
                break;
            case 4:
                p[0] = x[i];
                p[1] = y0[i];
                p[2] = odd ? y1[i] : y0p[i];
                p[3] = y1p[i];
                break;
            case 3:
                p[0] = x[i];
                p[1] = y0[i];
                p[2] = y0p[i];
                break;
            case 5:
                p[0] = x[i];
                p[1] = y0[i];
                p[2] = y1[i];
                p[3] = y0p[i];
                p[4] = y1p[i];
                break;
        }
    }

    // Tail periods: those of the first encoder directly after the data, those
    // of the second encoder three periods later. Systematic tail bits are
    // repeated so that each tail period fills a whole period of k symbols.
    const auto tail = [&](const ConstituentOutput& enc, std::size_t t, double* p) {
        switch (k) {
            case 2:
                p[0] = enc.x[t];
                p[1] = enc.y0[t];
                break;
            case 4:
                p[0] = enc.x[t];
                p[1] = enc.x[t];
                p[2] = enc.y0[t];
                p[3] = enc.y1[t];
                break;
            case 3:
                p[0] = enc.x[t];
                p[1] = enc.x[t];
                p[2] = enc.y0[t];
                break;
            case 5:
                p[0] = enc.x[t];
                p[1] = enc.x[t];
                p[2] = enc.x[t];
                p[3] = enc.y0[t];
                p[4] = enc.y1[t];
                break;
        }
    };
    for (std::size_t t = n; t < n + 3; ++t) {
        tail(first, t, &out[kk * t]);
        tail(second, t, &out[kk * (t + 3)]);
    }
    return out;
}

std::vector<double> turboCoder(const std::vector<double>& input, CodeRate rate) {
    if (rate == CodeRate::One) return input;
    const std::vector<double> interleaved = turboInterleaver(input);
    return turboPuncturing(constituentEncoder(input), constituentEncoder(interleaved), rate);
}

}  // namespace tolvane
