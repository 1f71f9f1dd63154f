#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "numerics/remez.hpp"

namespace tolvane {
namespace {

struct Golden {
    int order = 0;
    std::vector<double> edges, amplitudes, weights, taps;
};

// Reads a reference design written by tests/data/remez/make_golden.py.
Golden readGolden(const std::string& name) {
    std::ifstream in(std::string(TOLVANE_TEST_DATA_DIR) + "/remez/" + name);
    EXPECT_TRUE(in.good()) << "missing " << name;
    Golden g;
    std::string line;
    auto numbers = [](std::istringstream& s) {
        std::vector<double> v;
        double x;
        while (s >> x) v.push_back(x);
        return v;
    };
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (line[0] == '#') {
            std::istringstream s(line.substr(1));
            std::string key;
            s >> key;
            if (key == "order") s >> g.order;
            if (key == "edges") g.edges = numbers(s);
            if (key == "amplitudes") g.amplitudes = numbers(s);
            if (key == "weights") g.weights = numbers(s);
        } else {
            g.taps.push_back(std::stod(line));
        }
    }
    return g;
}

class RemezGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(RemezGolden, MatchesTheReferenceDesign) {
    const Golden g = readGolden(GetParam());
    ASSERT_EQ(g.taps.size(), static_cast<std::size_t>(g.order + 1));
    const RemezDesign d = remezDesign(g.order, g.edges, g.amplitudes, g.weights);
    EXPECT_TRUE(d.converged);
    ASSERT_EQ(d.taps.size(), g.taps.size());
    double peak = 0.0, worst = 0.0;
    for (std::size_t i = 0; i < g.taps.size(); ++i) {
        peak = std::max(peak, std::fabs(g.taps[i]));
        worst = std::max(worst, std::fabs(d.taps[i] - g.taps[i]));
    }
    EXPECT_LT(worst, 1e-12 * peak) << "largest tap difference " << worst;
    for (std::size_t i = 0; i < d.taps.size(); ++i)
        EXPECT_EQ(d.taps[i], d.taps[d.taps.size() - 1 - i]) << "not symmetric at " << i;
}

INSTANTIATE_TEST_SUITE_P(Designs, RemezGolden,
                         ::testing::Values("remez_order23_std_os2.txt", "remez_order47_std_os4.txt",
                                           "remez_order59_std_os5.txt", "remez_order95_std_os8.txt",
                                           "remez_order359_std_os30.txt", "remez_order56_lowpass_os4.txt",
                                           "remez_order40_bandpass.txt"));

// Local extrema of the weighted error on a fine grid over the bands, in
// frequency order, with their signs.
struct Extremum {
    double f, error;
};

std::vector<Extremum> errorExtrema(const std::vector<double>& h, const std::vector<double>& edges,
                                   const std::vector<double>& amps, const std::vector<double>& weights) {
    std::vector<Extremum> out;
    for (std::size_t b = 0; b + 1 < edges.size(); b += 2) {
        const int points = 4000;
        std::vector<Extremum> e;
        for (int i = 0; i <= points; ++i) {
            const double f = edges[b] + (edges[b + 1] - edges[b]) * i / points;
            const double want = amps[b] + (amps[b + 1] - amps[b]) * (f - edges[b]) / (edges[b + 1] - edges[b]);
            e.push_back({f, weights[b / 2] * (symmetricAmplitude(h, f) - want)});
        }
        for (std::size_t i = 0; i < e.size(); ++i) {
            const bool left = i == 0 || std::fabs(e[i].error) >= std::fabs(e[i - 1].error);
            const bool right = i + 1 == e.size() || std::fabs(e[i].error) >= std::fabs(e[i + 1].error);
            if (left && right) out.push_back(e[i]);
        }
    }
    return out;
}

TEST(Remez, SlopedStopBandIsEquiripple) {
    // The second stage of the ACP pulse shape: the stop-band target falls
    // linearly from 0.005 at 740 kHz to 0.001 at Nyquist.
    for (int os : {2, 5}) {
        const double nyquist = os * 1228800.0 / 2.0;
        const std::vector<double> edges{0.0, 590000.0 / nyquist, 740000.0 / nyquist, 1.0};
        const std::vector<double> amps{1.0, 1.0, 0.005, 0.001};
        const std::vector<double> weights{1.0, 2.0};
        const int order = 14 * os;
        const RemezDesign d = remezDesign(order, edges, amps, weights);
        EXPECT_TRUE(d.converged) << "os " << os;
        ASSERT_EQ(d.taps.size(), static_cast<std::size_t>(order + 1));

        // The weighted error never exceeds the design's deviation (up to
        // the grid's resolution) ...
        const auto extrema = errorExtrema(d.taps, edges, amps, weights);
        double largest = 0.0;
        for (const auto& e : extrema) largest = std::max(largest, std::fabs(e.error));
        EXPECT_NEAR(largest, d.deviation, 0.02 * d.deviation) << "os " << os;
        // ... and reaches it with alternating sign at least order/2 + 2 times.
        int alternations = 0;
        double lastSign = 0.0;
        for (const auto& e : extrema) {
            if (std::fabs(e.error) < 0.98 * d.deviation) continue;
            const double sign = e.error > 0 ? 1.0 : -1.0;
            if (sign != lastSign) ++alternations;
            lastSign = sign;
        }
        EXPECT_GE(alternations, order / 2 + 2) << "os " << os;

        // The response follows the sloped target: within the ripple of it.
        for (double f : {edges[2], 0.5 * (edges[2] + 1.0), 1.0}) {
            const double want = 0.005 + (0.001 - 0.005) * (f - edges[2]) / (1.0 - edges[2]);
            EXPECT_NEAR(symmetricAmplitude(d.taps, f), want, d.deviation / 2.0 * 1.001) << "f " << f;
        }
        EXPECT_NEAR(symmetricAmplitude(d.taps, 0.0), 1.0, d.deviation * 1.001);
    }
}

TEST(Remez, EvenLengthHasAZeroAtNyquist) {
    const std::vector<double> h = remez(23, {0.0, 0.48, 0.6, 1.0}, {1.0, 1.0, 0.0, 0.0}, {1.0, 20.0});
    ASSERT_EQ(h.size(), 24u);
    EXPECT_NEAR(symmetricAmplitude(h, 1.0), 0.0, 1e-15);
}

// A design stopped before it converged is still usable, but never silently:
// its taps come with a warning naming the design. A converged one is quiet.
TEST(Remez, UnconvergedDesignWarnsNamingIt) {
    std::vector<std::string> warnings;
    const WarningSink previous = setWarningSink([&](const std::string& m) { warnings.push_back(m); });
    const std::vector<double> edges{0.0, 0.48, 0.6, 1.0};
    const RemezDesign stopped = remezDesign(47, edges, {1.0, 1.0, 0.0, 0.0}, {1.0, 20.0}, 16, 1);
    const RemezDesign finished = remezDesign(47, edges, {1.0, 1.0, 0.0, 0.0}, {1.0, 20.0});
    const std::vector<double> taps = designTaps(stopped, "Test lowpass at oversampling 4");
    designTaps(finished, "Converged lowpass");
    setWarningSink(previous);

    EXPECT_FALSE(stopped.converged);
    EXPECT_TRUE(finished.converged);
    EXPECT_EQ(taps, stopped.taps);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("Test lowpass at oversampling 4: the equiripple design did not converge", 0), 0u)
        << warnings[0];
}

TEST(Remez, RejectsMalformedBandLayouts) {
    struct Case {
        int order;
        std::vector<double> edges, amps, weights;
    } cases[] = {
        {2, {0, 0.4, 0.5, 1}, {1, 1, 0, 0}, {1, 1}},          // order too low
        {20, {0, 0.4, 0.5}, {1, 1, 0}, {}},                   // edges not in pairs
        {20, {0, 0.4, 0.5, 1}, {1, 0}, {}},                   // amplitude per band only
        {20, {0, 0.5, 0.4, 1}, {1, 1, 0, 0}, {}},             // decreasing edges
        {20, {0, 0.4, 0.5, 1.2}, {1, 1, 0, 0}, {}},           // beyond Nyquist
        {20, {0, 0.4, 0.5, 1}, {1, 1, 0, 0}, {1, 1, 1}},      // weight count
        {20, {0, 0.4, 0.5, 1}, {1, 1, 0, 0}, {1, -1}},        // negative weight
    };
    for (const auto& c : cases) EXPECT_THROW(remez(c.order, c.edges, c.amps, c.weights), Error);
}

}  // namespace
}  // namespace tolvane
