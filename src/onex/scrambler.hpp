// Forward traffic scrambler: 17-stage LFSR seeded with the MAC index and DRC.
#pragma once

#include <vector>

namespace tolvane {

std::vector<double> fwdScrambler(const std::vector<double>& input, int drcValue, int macIndex);

}  // namespace tolvane
