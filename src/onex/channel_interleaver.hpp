// Forward channel interleaver: symbol demultiplexing into U, V0/V0', V1/V1'
// and the block symbol permuter.
#pragma once

#include <string>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

// Rate 1 returns the input; rates 1/3 and 1/5 interleave packets of 1024,
// 2048, 3072 or 4096 bits. Throws Error naming an unsupported rate or size.
std::vector<double> fwdChannelInterleaver(const std::vector<double>& input, CodeRate codeRate, int bits);
// type "U"/"u" or "V"/"v"; the block has exactly k * m elements.
std::vector<double> fwdSymbolPermuter(const std::vector<double>& block, int k, int m, const std::string& type);

}  // namespace tolvane
