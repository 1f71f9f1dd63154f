// Forward channel interleaver: symbol demultiplexing into U, V0/V0', V1/V1'
// and the block symbol permuter.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

// codeRate exactly 1, 1.0/3.0 or 0.2; bits 1024, 2048, 3072 or 4096.
// Throws Error naming the unsupported value.
std::vector<double> fwdChannelInterleaver(const std::vector<double>& input, double codeRate, int bits);
// type "U"/"u" or "V"/"v"; the block has exactly k * m elements.
std::vector<double> fwdSymbolPermuter(const std::vector<double>& block, int k, int m, const std::string& type);

}  // namespace tolvane
