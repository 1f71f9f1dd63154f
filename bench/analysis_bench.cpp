// The verification receiver on a 16-slot frame at oversampling 8 carrying
// 16 single-slot DRC 12 packets: with the PN offset known (goal: at most
// 150 ms) and searched over all 512 (goal: at most 300 ms). Each run
// acquires, measures, finds and decodes the 16 packets.
#include <benchmark/benchmark.h>

#include "numerics/noise.hpp"
#include "onex/frame_config.hpp"
#include "onex/packets.hpp"
#include "receiver/analysis.hpp"

namespace {

using namespace tolvane;

const FrameResult& packetFrame() {
    static const FrameResult frame = [] {
        seedNoise(1);
        FrameConfig c = defaultFrameConfig();
        c.Mode = 3;
        c.MACchnActive = 1;
        c.DATAchnActive = 1;
        c.OverSampling = 8;
        c.PilotOffsetIndex = 300;
        c.Packets = fillPackets(16, 12);
        c.ProjectedLength = projectedLength(c);
        return calculateFrame(c);
    }();
    return frame;
}

void run(benchmark::State& state, bool known) {
    const FrameResult& frame = packetFrame();
    AnalysisOptions options;
    if (known) options.pnOffset = 300;
    for (auto _ : state) {
        const AnalysisReport r = analyzeWaveform(frame.waveform, 8 * kChipRate, options);
        if (r.packets.size() != 16 || r.pnOffset != 300) state.SkipWithError("the frame was not analysed right");
        benchmark::DoNotOptimize(r.rho.overall);
    }
}

void BM_AnalyzePnKnown(benchmark::State& state) { run(state, true); }
void BM_AnalyzePnSearched(benchmark::State& state) { run(state, false); }

}  // namespace

BENCHMARK(BM_AnalyzePnKnown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalyzePnSearched)->Unit(benchmark::kMillisecond);
