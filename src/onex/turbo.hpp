// Turbo encoder of the forward traffic channel: two constituent recursive
// systematic encoders, the turbo interleaver and puncturing.
#pragma once

#include <cstddef>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

// Packet lengths the turbo interleaver (and so the coder) supports.
constexpr std::size_t kTurboMinBits = 129;
constexpr std::size_t kTurboMaxBits = 4096;

struct ConstituentOutput {
    std::vector<double> x, y0, y1;  // each N + 3 bits
};

// Rate 1 returns the input; the other rates need kTurboMinBits ..
// kTurboMaxBits input bits (Error otherwise).
std::vector<double> turboCoder(const std::vector<double>& input, CodeRate rate);
ConstituentOutput constituentEncoder(const std::vector<double>& input);
std::vector<double> turboInterleaver(const std::vector<double>& input);
// Empty for rate 1, which has no parity to puncture.
std::vector<double> turboPuncturing(const ConstituentOutput& first, const ConstituentOutput& second, CodeRate rate);
long long reverseBits(long long n, int length);

}  // namespace tolvane
