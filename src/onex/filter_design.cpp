#include "onex/filter_design.hpp"

#include <string>

#include "base/diagnostics.hpp"
#include "numerics/remez.hpp"
#include "onex/constants.hpp"

namespace tolvane {

namespace {

constexpr double kPassEdgeHz = 590000.0;
constexpr double kStopEdgeHz = 740000.0;

// Pass band 0 ... 590 kHz, stop band 740 kHz ... fs/2, as fractions of Nyquist.
std::vector<double> bandEdges(int oversampling) {
    const double nyquist = oversampling * kChipRate / 2.0;
    return {0.0, kPassEdgeHz / nyquist, kStopEdgeHz / nyquist, 1.0};
}

std::string designName(const char* design, int oversampling) {
    return std::string(design) + " at oversampling " + numberText(oversampling);
}

}  // namespace

std::vector<double> designFilterStd(int oversampling) {
    return designTaps(remezDesign(12 * oversampling - 1, bandEdges(oversampling), {1.0, 1.0, 0.0, 0.0}, {1.0, 20.0}),
                      designName("FilterCoeff_IS95_Std", oversampling));
}

std::vector<double> designFilterAcp(int oversampling) {
    const std::vector<double> h0 = designFilterStd(oversampling);
    // Second stage: a longer lowpass whose stop band target slopes from
    // 0.005 down to 0.001, scaled to unit gain at 0 Hz.
    std::vector<double> h1 = designTaps(
        remezDesign(14 * oversampling, bandEdges(oversampling), {1.0, 1.0, 0.005, 0.001}, {1.0, 2.0}),
        designName("FilterCoeff_IS95_Acp", oversampling) + " (second stage)");
    double sum = 0.0;
    for (double v : h1) sum += v;
    for (double& v : h1) v /= sum;
    std::vector<double> h(h0.size() + h1.size() - 1, 0.0);
    for (std::size_t i = 0; i < h0.size(); ++i)
        for (std::size_t j = 0; j < h1.size(); ++j) h[i + j] += h0[i] * h1[j];
    return h;
}

}  // namespace tolvane
