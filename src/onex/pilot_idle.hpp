// Pilot burst and idle-slot filler.
#pragma once

#include <complex>
#include <vector>

namespace tolvane {

// The 96-chip pilot burst, all +1.
std::vector<double> fwdPilot();

// Filler of a slot portion whose channel is off: complex white Gaussian
// noise of power 10^(gainDb/10) per chip (split equally between I and Q)
// from the process-wide normal generator when `active`, else zeros.
std::vector<std::complex<double>> fwdIdleSlot(bool active, double gainDb, long long chips);

}  // namespace tolvane
