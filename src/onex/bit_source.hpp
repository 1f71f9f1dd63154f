// Data bit source: fixed patterns, PN9/PN15 and cyclic user patterns, and
// the general maximal-length PN generator over a plain LFSR.
// Bits are doubles 0 or 1.
#pragma once

#include <optional>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

using Bits = std::vector<double>;

// `length` bits of the source (a negative length gives none; more than
// kMaxSamples throws Error). The user pattern sources repeat `pattern`;
// with an empty pattern and a positive length they throw Error.
Bits generateBitStream(DataSource source, long long length, const Bits& pattern);
// The same into `out`, which keeps its capacity (out must not be pattern).
void generateBitStream(DataSource source, long long length, const Bits& pattern, Bits& out);

// The same for the number a configuration stores (DATAsourceType 1..8):
// std::nullopt for any other number. Kept for callers that still hold the
// number; new code maps it to DataSource where it is read.
std::optional<Bits> generateBitStream(int type, long long length, const Bits& pattern);

// Optional inputs of the PN generator, absent when not given. A vector with
// two or more elements for `order` or `length` counts as absent. The order
// is clamped to 3..31 (a non-integer one runs order 9), the length is at
// least 1 (fractions truncated); lengths above kMaxSamples throw Error.
struct PnOptions {
    std::optional<std::vector<double>> order;
    std::optional<std::vector<double>> length;
    std::optional<double> userInvert;
    std::optional<std::vector<double>> seed;
    std::optional<double> zeroSuppression;
};
Bits pnGenerator(const PnOptions& options);
// Convenience: order n, `length` bits, default seed (all ones).
Bits pnGenerator(int order, long long length);

// Linear feedback shift register: a(1..order) = seed; for i > order,
// a(i) = sum_j taps(j) * a(i - order - 1 + j) mod 2. Returns max(m, order)
// bits. taps needs at least `order` entries, seed exactly `order` (Error
// otherwise). Taps and seed other than 0/1 take the weighted sum modulo 2.
// At most kMaxSamples bits and kMaxRegisterSteps (order * bits) steps.
Bits lfsr(int order, const std::vector<double>& taps, long long m, const std::vector<double>& seed);

// Repeats `data` cyclically from its start to exactly `length` entries.
// Throws Error for empty data and a positive length.
template <typename T>
std::vector<T> extendVector(const std::vector<T>& data, long long length);

}  // namespace tolvane
