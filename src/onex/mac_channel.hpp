// MAC channel of one slot: RA (MAC index 4) and 59 RPC sub-channels
// (MAC indexes 5..63), 64-chip Walsh spread, four identical bursts.
#pragma once

#include <complex>
#include <vector>

namespace tolvane {

// rpcBits and rpcGains: at least 59 entries (a single gain applies to all).
// Gains are linear amplitudes. Returns 256 chips.
std::vector<std::complex<double>> fwdMacSlot(const std::vector<double>& rpcBits,
                                             const std::vector<double>& rpcGains, double raBit, double raGain);

}  // namespace tolvane
