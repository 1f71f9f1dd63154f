// The impaired calculate step against the plain one, both into kept
// workspaces as a long-lived host runs them: a 16-slot frame at
// oversampling 30 with the deterministic impairments (I/Q imbalance, origin
// offset, clipping, frequency offset), the same with noise, and each
// impairment alone; four carriers against one at oversampling 8.
#include <benchmark/benchmark.h>

#include "impair/impairments.hpp"
#include "numerics/noise.hpp"
#include "onex/frame_config.hpp"

namespace {

tolvane::FrameConfig busyConfig(int oversampling) {
    tolvane::FrameConfig c = tolvane::defaultFrameConfig();
    c.MACchnActive = 1;
    c.DATAchnActive = 1;
    c.OverSampling = oversampling;
    c.ProjectedLength = tolvane::projectedLength(c);
    return c;
}

// Which impairments are on: bit 0 I/Q imbalance, 1 origin offset, 2
// clipping, 3 frequency offset, 4 noise.
tolvane::FrameConfig impairedConfig(int oversampling, int which) {
    tolvane::FrameConfig c = busyConfig(oversampling);
    if (which & 1) {
        c.IQGainImbalance = 0.5;
        c.IQQuadratureError = 2;
    }
    if (which & 2) {
        c.OriginOffsetActive = 1;
        c.OriginOffset = -30;
    }
    if (which & 4) {
        c.ClipPAPRActive = 1;
        c.ClipPAPR = 6;
    }
    if (which & 8) c.FrequencyOffset = 12345;
    if (which & 16) {
        c.AWGNActive = 1;
        c.CarrierToNoise = 20;
    }
    return c;
}

void run(benchmark::State& state, const tolvane::FrameConfig& config) {
    tolvane::seedNoise(1);
    tolvane::FrameWorkspace workspace;
    tolvane::ImpairWorkspace impair;
    impair.noise.seed(1);
    for (auto _ : state) {
        const tolvane::ImpairmentReport r = tolvane::calculateImpairedFrame(config, workspace, impair, std::nullopt);
        benchmark::DoNotOptimize(r.carrierPower);
        benchmark::DoNotOptimize(workspace.result().waveform.data());
    }
}

// The plain frame through the same call (no impairment on).
void BM_ImpairOff(benchmark::State& state) { run(state, busyConfig(static_cast<int>(state.range(0)))); }
// Arguments: oversampling, impairments on (bits as above).
void BM_ImpairOn(benchmark::State& state) {
    run(state, impairedConfig(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
}

// Carriers 1.25 MHz apart around the centre, PN offsets 0, 4, 8, ...
void BM_Carriers(benchmark::State& state) {
    tolvane::FrameConfig c = busyConfig(static_cast<int>(state.range(0)));
    const int m = static_cast<int>(state.range(1));
    if (m > 1)
        for (int k = 0; k < m; ++k) c.Carriers.push_back({(k - (m - 1) / 2.0) * 1.25e6, 0, 4.0 * k, 0});
    run(state, c);
}

BENCHMARK(BM_ImpairOff)->ArgName("os")->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImpairOn)
    ->ArgNames({"os", "which"})
    ->Args({30, 15})
    ->Args({30, 31})
    ->Args({30, 1})
    ->Args({30, 2})
    ->Args({30, 4})
    ->Args({30, 8})
    ->Args({30, 16})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Carriers)->ArgNames({"os", "carriers"})->Args({8, 1})->Args({8, 4})->Unit(benchmark::kMillisecond);

}  // namespace
