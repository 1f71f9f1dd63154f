// Calculating into a reused workspace: every configuration gives the
// one-shot function's frame bit for bit whatever the workspace held before,
// the rows are reused rather than made afresh, and a refused configuration
// leaves the last frame as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/diagnostics.hpp"
#include "numerics/noise.hpp"
#include "onex/frame_config.hpp"
#include "onex/frame_workspace.hpp"

namespace tolvane {
namespace {

struct Case {
    std::string name;
    FrameConfig config;
};

Case makeCase(std::string name, int oversampling, int filter, double eq, double mirror, double mode, double mac,
              double data) {
    FrameConfig c = defaultFrameConfig();
    c.OverSampling = oversampling;
    c.ProjectedLength = 32768.0 * oversampling;
    c.FilterType = filter;
    c.PhaseEq = eq;
    c.MirrorSpectrum = mirror;
    c.Mode = mode;
    c.MACchnActive = mac;
    c.DATAchnActive = data;
    return {std::move(name), c};
}

// Largest rows first, then smaller ones, so that a stale tail or a row left
// from a larger frame would show in the smaller ones, and the other way
// round when the table runs backwards.
std::vector<Case> cases() {
    std::vector<Case> t = {
        makeCase("os30 acp eq busy", 30, 3, 1, 0, 1, 1, 1),
        makeCase("os30 none eq mirror", 30, 4, 1, 1, 1, 1, 1),
        makeCase("os8 std no-eq busy", 8, 2, 0, 0, 1, 1, 1),
        makeCase("os8 rect eq mode2", 8, 1, 1, 0, 2, 1, 1),
        makeCase("os5 acp eq idle", 5, 3, 1, 0, 1, 0, 0),
        makeCase("os5 none no-eq data-only", 5, 4, 0, 1, 1, 0, 1),
        makeCase("os2 acp eq mac-only", 2, 3, 1, 1, 1, 1, 0),
        makeCase("os2 rect no-eq idle-quiet", 2, 1, 0, 0, 1, 0, 0),
    };
    t[2].config.slot.DATAslotMod.fill(3);  // 16QAM: the most data bits
    t[2].config.DATAsourceType = 5;        // PN9
    t[4].config.PilotOffsetIndex = 511;
    t[5].config.DATAsourceType = 7;        // a user pattern
    t[5].config.dataSourceBitstream = {1, 0, 0, 1, 1};
    t[5].config.slot.DATAslotActive[3] = 0;
    t[7].config.IdleSlotGainActive = 0;
    return t;
}

constexpr std::uint64_t kSeed = 11;

// Collects the warnings of the calculations in its scope.
class WarningLog {
public:
    WarningLog() : previous_(setWarningSink([this](const std::string& m) { lines_.push_back(m); })) {}
    ~WarningLog() { setWarningSink(previous_); }
    std::vector<std::string> take() { return std::exchange(lines_, {}); }

private:
    std::vector<std::string> lines_;
    WarningSink previous_;
};

FrameResult oneShot(const FrameConfig& config) {
    seedNoise(kSeed);
    return calculateFrame(config);
}

const FrameResult& reused(const FrameConfig& config, FrameWorkspace& workspace) {
    seedNoise(kSeed);
    return calculateFrame(config, workspace);
}

// Equal to the last bit (also telling -0 from +0), naming the first sample
// that differs.
template <typename T>
void expectSameBits(const std::vector<T>& got, const std::vector<T>& want, const char* row) {
    ASSERT_EQ(got.size(), want.size()) << row;
    if (std::memcmp(got.data(), want.data(), want.size() * sizeof(T)) == 0) return;
    for (std::size_t k = 0; k < want.size(); ++k)
        if (std::memcmp(&got[k], &want[k], sizeof(T)) != 0) {
            ADD_FAILURE() << row << " differs first at sample " << k;
            return;
        }
}

void expectSameFrame(const FrameResult& got, const FrameResult& want) {
    expectSameBits(got.waveform, want.waveform, "waveform");
    expectSameBits(got.marker1, want.marker1, "marker1");
    expectSameBits(got.marker2, want.marker2, "marker2");
}

TEST(FrameWorkspace, ReusedInAnyOrderGivesTheOneShotFrameBitForBit) {
    const std::vector<Case> table = cases();
    WarningLog log;
    std::vector<FrameResult> expected;
    std::vector<std::vector<std::string>> expectedWarnings;
    for (const Case& c : table) {
        expected.push_back(oneShot(c.config));
        expectedWarnings.push_back(log.take());
    }

    // Forward (large to small), backward (small to large), then alternating
    // between the ends of the table, all through one workspace.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < table.size(); ++i) order.push_back(i);
    for (std::size_t i = table.size(); i-- > 0;) order.push_back(i);
    for (std::size_t i = 0; i < table.size() / 2; ++i) {
        order.push_back(table.size() - 1 - i);
        order.push_back(i);
    }
    FrameWorkspace workspace;
    for (std::size_t i : order) {
        SCOPED_TRACE(table[i].name);
        const FrameResult& got = reused(table[i].config, workspace);
        EXPECT_EQ(&got, &workspace.result());
        expectSameFrame(got, expected[i]);
        EXPECT_EQ(log.take(), expectedWarnings[i]);
    }

    // Taken out or released, the workspace still calculates the same frames.
    FrameResult taken = workspace.takeResult();
    expectSameFrame(taken, expected[order.back()]);
    EXPECT_TRUE(workspace.result().waveform.empty());
    expectSameFrame(reused(table[0].config, workspace), expected[0]);
    workspace.release();
    EXPECT_EQ(workspace.capacityBytes(), 0u);
    expectSameFrame(reused(table[3].config, workspace), expected[3]);
}

// The second frame of the same size is made in the rows of the first: no
// large row is allocated again, so none is faulted in again either.
TEST(FrameWorkspace, SameSizeFramesReuseTheRows) {
    FrameConfig config = cases()[2].config;
    FrameWorkspace workspace;
    const FrameResult& first = reused(config, workspace);
    const auto* waveform = first.waveform.data();
    const auto* marker2 = first.marker2.data();
    const std::size_t bytes = workspace.capacityBytes();
    EXPECT_GE(bytes, 262144u * (16 + 8 + 8));  // the result rows at oversampling 8

    config.MirrorSpectrum = 1;
    config.slot.DATAslotMod.fill(1);
    const FrameResult& second = reused(config, workspace);
    EXPECT_EQ(second.waveform.data(), waveform);
    EXPECT_EQ(second.marker2.data(), marker2);
    EXPECT_EQ(workspace.capacityBytes(), bytes);
    expectSameFrame(second, oneShot(config));
}

// A configuration the calculation refuses leaves the last frame whole (a
// host keeps showing and playing it), and the workspace calculates on.
TEST(FrameWorkspace, ARefusedConfigurationLeavesTheLastFrame) {
    const FrameConfig good = cases()[4].config;
    const FrameResult expected = oneShot(good);
    FrameWorkspace workspace;
    reused(good, workspace);

    struct Refused {
        const char* name;
        void (*change)(FrameConfig&);
    } refused[] = {
        {"data source 0", [](FrameConfig& c) { c.DATAsourceType = 0; }},
        {"empty user pattern", [](FrameConfig& c) { c.DATAsourceType = 7; c.dataSourceBitstream.clear(); }},
        {"oversampling 1 with an equiripple filter", [](FrameConfig& c) { c.OverSampling = 1; }},
        {"oversampling above the largest", [](FrameConfig& c) { c.OverSampling = kMaxOversampling + 1; }},
        {"data format 5", [](FrameConfig& c) { c.DATAchnActive = 1; c.slot.DATAslotMod[9] = 5; }},
        {"PN offset beyond one frame", [](FrameConfig& c) { c.PilotOffsetIndex = 600; }},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.name);
        FrameConfig bad = good;
        r.change(bad);
        EXPECT_THROW(reused(bad, workspace), Error);
        expectSameFrame(workspace.result(), expected);
    }
    const FrameConfig other = cases()[6].config;
    expectSameFrame(reused(other, workspace), oneShot(other));
}

}  // namespace
}  // namespace tolvane
