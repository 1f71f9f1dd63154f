// The code-domain power display: the power of each MAC Walsh code of a
// forward-link waveform, as bars by MAC index, with the receiver's headline
// measurements in a small table beside it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "display/figure.hpp"
#include "display/frame.hpp"

namespace tolvane::display {

// What the display shows, taken from an analysis (the display layer knows
// no receiver type): the power of each MAC index 0 .. 63 in dB relative to
// the total MAC power (even indices ride the in-phase branch, odd ones the
// quadrature branch), and the numbers of the table.
struct CodeDomainView {
    std::array<double, 64> macIndexDb{};
    int pnOffset = 0;
    double frequencyErrorHz = 0;
    std::optional<double> rhoPilot, rhoMac, rhoData;
    double rhoOverall = 0;
    std::optional<double> evmRmsPercent;
};

// The lowest level the bars show; weaker codes (and -Inf) sit on it.
inline constexpr double kCodeDomainFloorDb = -60;

// The table's lines: PN offset, frequency error, each rho (or "-" where the
// waveform has no such part), EVM.
std::vector<std::string> codeDomainTable(const CodeDomainView& view);

// The window "Code Domain Power " + label: one axes tagged QV_CodeDomain
// with the in-phase codes (even MAC indices) as blue bars and the
// quadrature codes (odd MAC indices) as magenta bars over MAC index 0 .. 63,
// from the floor up to 0 dB, and the table to its right.
Figure codeDomainFigure(const Placement& placement, const std::string& label, const CodeDomainView& view);

}  // namespace tolvane::display
