// Data bit source: fixed patterns, the PN9/PN15 sources, cyclic user
// patterns, the maximal-length PN generator and the plain shift register.
#include "onex/bit_source.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <string>

#include "base/diagnostics.hpp"
#include "base/limits.hpp"

namespace tolvane {

namespace {

struct TapEntry {
    int order;
    int taps[4];  // bits k places back; unused entries 0
    bool inverted;
};

// Feedback taps of the maximal-length sequences, by register order.
constexpr TapEntry kTapTable[] = {
    {3, {3, 1}, false},         {4, {4, 1}, false},         {5, {5, 2}, false},
    {6, {6, 1}, false},         {7, {7, 1}, false},         {8, {8, 4, 3, 2}, false},
    {9, {9, 5}, false},         {10, {10, 3}, false},       {11, {11, 9}, false},
    {12, {12, 6, 4, 1}, false}, {13, {13, 4, 3, 1}, false}, {14, {14, 12, 2, 1}, false},
    {15, {15, 14}, true},       {16, {16, 12, 3, 1}, false}, {17, {17, 3}, false},
    {18, {18, 7}, false},       {19, {19, 5, 2, 1}, false}, {20, {20, 3}, false},
    {21, {21, 2}, false},       {22, {22, 1}, false},       {23, {23, 18}, true},
    {24, {24, 7, 2}, false},    {25, {25, 3}, false},       {26, {26, 6, 2, 1}, false},
    {27, {27, 5, 2, 1}, false}, {28, {28, 3}, false},       {29, {29, 27}, true},
    {30, {30, 23, 2, 1}, false}, {31, {31, 28}, true},
};

// Order 20 with zero suppression uses its own pair of taps.
constexpr TapEntry kOrder20ZeroSuppressed = {20, {20, 17}, false};

// A requested length as a bit count: the whole part of a non-negative
// number, 0 for a negative one; `what` names it in the error. The longest
// sequence is kMaxSamples bits, far above the 102,400 a frame needs.
std::size_t bitCount(double length, const char* what) {
    if (std::isnan(length)) throw Error(std::string(what) + " must be a number, not NaN.");
    if (length <= 0) return 0;
    if (length >= static_cast<double>(kMaxSamples) + 1.0)
        throw Error(std::string(what) + " = " + numberText(length) + " exceeds the longest sequence of " +
                    numberText(static_cast<double>(kMaxSamples)) + " bits.");
    return static_cast<std::size_t>(std::floor(length));
}

bool isBit(double x) { return x == 0.0 || x == 1.0; }

// Non-negative remainder modulo 2, as the numeric runtime's mod(x, 2).
double mod2(double x) { return x - 2.0 * std::floor(x / 2.0); }

// Zero suppression: no run of more than 14 zeros. Scanning once with a
// running count of zeros gives the same bits as checking every 15-bit window
// in increasing order, because a window's last bit is only ever changed by
// the check of that window.
void suppressZeroRuns(Bits& bits) {
    int zeros = 0;
    for (double& b : bits) {
        if (b != 0.0) {
            zeros = 0;
        } else if (++zeros == 15) {
            b = 1.0;
            zeros = 0;
        }
    }
}

}  // namespace

namespace {

// lfsr() into `a`, which keeps its capacity.
void lfsrInto(int order, const std::vector<double>& taps, long long m, const std::vector<double>& seed, Bits& a) {
    if (order < 0) throw Error("lfsr: order = " + numberText(order) + " must not be negative.");
    if (taps.size() < static_cast<std::size_t>(order))
        throw Error("lfsr: taps has " + numberText(static_cast<double>(taps.size())) + " entries but order " +
                    numberText(order) + " needs at least that many.");
    if (seed.size() != static_cast<std::size_t>(order))
        throw Error("lfsr: seed has " + numberText(static_cast<double>(seed.size())) +
                    " entries but must have exactly order = " + numberText(order) + ".");
    const std::size_t n = static_cast<std::size_t>(order);
    const std::size_t total = std::max(bitCount(static_cast<double>(m), "lfsr: m"), n);
    if (total > 0 && n > kMaxRegisterSteps / total)
        throw Error("lfsr: m = " + numberText(static_cast<double>(m)) + " at order " + numberText(order) +
                    " exceeds " + numberText(static_cast<double>(kMaxRegisterSteps)) + " register steps (order * m).");
    a.assign(total, 0.0);
    std::copy(seed.begin(), seed.end(), a.begin());
    if (total == n) return;

    const bool binary = order <= 64 && std::all_of(taps.begin(), taps.begin() + order, isBit) &&
                        std::all_of(seed.begin(), seed.end(), isBit);
    if (binary && order > 0) {
        // Register bit s holds a(i - order + s), the bit that tap s + 1
        // multiplies when a(i) is computed: the oldest bit sits at bit 0,
        // the newest at order - 1.
        std::uint64_t mask = 0, state = 0;
        for (std::size_t j = 0; j < n; ++j) {
            if (taps[j] == 1.0) mask |= std::uint64_t{1} << j;
            if (seed[j] == 1.0) state |= std::uint64_t{1} << j;
        }
        // Bit a(i + b) reads register bits b + s for the taps s, so the
        // next `block` bits depend only on bits already in the register when
        // b + s < order for every tap: they are computed together, one
        // shifted copy of the register per tap.
        const int highestTap = mask ? 63 - std::countl_zero(mask) : -1;
        const unsigned block = static_cast<unsigned>(order - std::max(highestTap, 0));
        for (std::size_t i = n; i < total;) {
            const unsigned count = static_cast<unsigned>(std::min<std::size_t>(block, total - i));
            std::uint64_t fresh = 0;
            for (std::uint64_t m = mask; m; m &= m - 1) fresh ^= state >> std::countr_zero(m);
            if (count < 64) fresh &= (std::uint64_t{1} << count) - 1;
            for (unsigned b = 0; b < count; ++b) a[i + b] = static_cast<double>((fresh >> b) & 1);
            // Shift the oldest `count` bits out and the new ones in on top.
            state = count < 64 ? (state >> count) | (fresh << (order - static_cast<int>(count))) : fresh;
            i += count;
        }
        return;
    }
    // Any other values: the recurrence as written, modulo 2 of the weighted sum.
    for (std::size_t i = n; i < total; ++i) {
        double sum = 0.0;
        for (std::size_t j = 0; j < n; ++j) sum += taps[j] * a[i - n + j];
        a[i] = mod2(sum);
    }
}

// pnGenerator() into `sequence`, which keeps its capacity.
void pnGeneratorInto(const PnOptions& options, Bits& sequence) {
    // Order: default 9, clamped to 3..31; a list of two or more is ignored.
    double order = 9;
    if (options.order && options.order->size() == 1) order = (*options.order)[0];
    order = std::isnan(order) ? 3.0 : std::min(std::max(order, 3.0), 31.0);  // max(NaN, 3) is 3

    double length = std::exp2(order) - 1.0;
    if (options.length && options.length->size() == 1) length = (*options.length)[0];
    if (std::isnan(length)) length = 1;  // max(NaN, 1) is 1
    length = std::max(length, 1.0);

    const bool userInvert = options.userInvert && *options.userInvert == 1.0;
    const bool zeroSuppression = options.zeroSuppression && *options.zeroSuppression == 1.0;

    // An order outside the table (not a whole number) falls back to order 9.
    // It does so before the seed is shaped, so the seed always fits the
    // register that runs.
    const bool known = std::floor(order) == order;
    const int n = known ? static_cast<int>(order) : 9;
    const std::size_t outLength = bitCount(length, "dataLength");

    std::vector<double> seed(static_cast<std::size_t>(n), 1.0);
    if (options.seed) {
        const std::vector<double>& given = *options.seed;
        if (given.size() == 1) {
            if (given[0] != 0.0) {
                std::fill(seed.begin(), seed.end(), 0.0);
                seed.back() = 1.0;
            }
        } else if (given.size() >= seed.size()) {
            std::copy(given.begin(), given.begin() + n, seed.begin());
            if (std::all_of(seed.begin(), seed.end(), [](double x) { return x == 0.0; })) seed.back() = 1.0;
        }
    }

    const TapEntry& entry =
        (n == 20 && zeroSuppression) ? kOrder20ZeroSuppressed : kTapTable[static_cast<std::size_t>(n - 3)];
    // Tap vector: position k set for each tap k, reversed, then the x^0 one.
    std::vector<double> t(static_cast<std::size_t>(n) + 1, 0.0);
    for (int k : entry.taps)
        if (k > 0) t[static_cast<std::size_t>(n - k)] = 1.0;
    t[static_cast<std::size_t>(n)] = 1.0;

    lfsrInto(n, t, static_cast<long long>(outLength), seed, sequence);
    if (n == 20 && zeroSuppression) suppressZeroRuns(sequence);
    if (entry.inverted != userInvert)
        for (double& b : sequence) b = 1.0 - b;
    if (sequence.size() > outLength) sequence.resize(outLength);
}

PnOptions orderAndLength(int order, long long length) {
    PnOptions options;
    options.order = std::vector<double>{static_cast<double>(order)};
    options.length = std::vector<double>{static_cast<double>(length)};
    return options;
}

// extendVector() into `out`, which keeps its capacity.
template <typename T>
void extendVectorInto(const std::vector<T>& data, long long length, std::vector<T>& out) {
    out.clear();
    if (length <= 0) return;
    const std::size_t want = bitCount(static_cast<double>(length), "reqLength");
    if (want <= data.size()) {
        out.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(want));
        return;
    }
    if (data.empty())
        throw Error("extendVector: data is empty, so it cannot be repeated to reqLength = " +
                    numberText(static_cast<double>(length)) + ".");
    out.reserve(want);
    while (out.size() + data.size() <= want) out.insert(out.end(), data.begin(), data.end());
    out.insert(out.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(want - out.size()));
}

}  // namespace

Bits lfsr(int order, const std::vector<double>& taps, long long m, const std::vector<double>& seed) {
    Bits a;
    lfsrInto(order, taps, m, seed, a);
    return a;
}

Bits pnGenerator(const PnOptions& options) {
    Bits sequence;
    pnGeneratorInto(options, sequence);
    return sequence;
}

Bits pnGenerator(int order, long long length) { return pnGenerator(orderAndLength(order, length)); }

template <typename T>
std::vector<T> extendVector(const std::vector<T>& data, long long length) {
    std::vector<T> out;
    extendVectorInto(data, length, out);
    return out;
}

template std::vector<double> extendVector(const std::vector<double>&, long long);
template std::vector<std::complex<double>> extendVector(const std::vector<std::complex<double>>&, long long);

void generateBitStream(DataSource source, long long length, const Bits& pattern, Bits& out) {
    const auto count = [length] { return bitCount(static_cast<double>(length), "len"); };
    switch (source) {
        case DataSource::Zeros:
            out.assign(count(), 0.0);
            return;
        case DataSource::Ones:
            out.assign(count(), 1.0);
            return;
        case DataSource::Alternating01:
        case DataSource::Alternating10:
            // Ones, then every odd-numbered (0101..) or even-numbered (1010..) bit cleared.
            out.assign(count(), 1.0);
            for (std::size_t i = (source == DataSource::Alternating01 ? 0 : 1); i < out.size(); i += 2) out[i] = 0.0;
            return;
        case DataSource::Pn9:
            pnGeneratorInto(orderAndLength(9, length), out);
            return;
        case DataSource::Pn15:
            pnGeneratorInto(orderAndLength(15, length), out);
            return;
        case DataSource::UserPattern:
        case DataSource::UserPatternAlt:
            extendVectorInto(pattern, length, out);
            return;
    }
    out.clear();
}

Bits generateBitStream(DataSource source, long long length, const Bits& pattern) {
    Bits out;
    generateBitStream(source, length, pattern, out);
    return out;
}

std::optional<Bits> generateBitStream(int type, long long length, const Bits& pattern) {
    if (type < static_cast<int>(DataSource::Zeros) || type > static_cast<int>(DataSource::UserPatternAlt))
        return std::nullopt;
    return generateBitStream(static_cast<DataSource>(type), length, pattern);
}

}  // namespace tolvane
