// The time display: I and Q against time, on two stacked axes or overlaid
// on one.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "display/figure.hpp"
#include "display/frame.hpp"

namespace tolvane::display {

struct IqTimeView {
    std::vector<double> t;  // time of each sample, in `units`
    std::vector<double> i;
    std::vector<double> q;
    std::string units;      // from DetermineTimeUnits(points / sampleRate)
    Range time;             // [0 tMax]
    Range amplitude;        // [-iMax iMax], shared by I and Q
    bool noData = false;    // the waveform was empty: cosine and sine shown
};

// I and Q of `iqWave` at `sampleRate` Hz (<= 0, or not finite: 1); an empty
// waveform gives cos and sin over -2 pi .. 2 pi in 100 points. The
// amplitude range is symmetric about 0 and covers the larger of |I| and |Q|.
IqTimeView iqTimeView(double sampleRate, const std::vector<std::complex<double>>& iqWave);

// The window "I(t) Q(t) " + label ("No Data" for an empty waveform).
// overlay true: one axes QV_IQwave with I in the default colour and Q in
// magenta; false: I above (QV_Iwave) and Q below (QV_Qwave).
Figure iqTimeFigure(const Placement& placement, const std::string& label, double sampleRate, bool overlay,
                    const std::vector<std::complex<double>>& iqWave);

// points values from 0 to `end` inclusive (a single point: 0).
std::vector<double> rampAxis(double end, std::size_t points);

}  // namespace tolvane::display
