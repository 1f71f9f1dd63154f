// Turbo encoder of the forward traffic channel: two constituent recursive
// systematic encoders, the turbo interleaver and puncturing.
#pragma once

#include <vector>

namespace tolvane {

struct ConstituentOutput {
    std::vector<double> x, y0, y1;  // each N + 3 bits
};

// Rates compared by exact equality: 1, 0.5, 0.25, 1.0/3.0, 0.2.
std::vector<double> turboCoder(const std::vector<double>& input, double rate);
ConstituentOutput constituentEncoder(const std::vector<double>& input);
std::vector<double> turboInterleaver(const std::vector<double>& input);
// Empty for an unknown rate.
std::vector<double> turboPuncturing(const ConstituentOutput& first, const ConstituentOutput& second, double rate);
long long reverseBits(long long n, int length);

}  // namespace tolvane
