// The whole calculate step (data bits for 16 slots, then the frame builder)
// at the configurations users run most: as a long-lived host runs it, into
// one workspace kept from frame to frame, and as a one-shot call that makes
// every row afresh.
#include <benchmark/benchmark.h>

#include "numerics/noise.hpp"
#include "onex/frame_config.hpp"

namespace {

tolvane::FrameConfig busyConfig(const benchmark::State& state) {
    tolvane::FrameConfig c = tolvane::defaultFrameConfig();
    c.MACchnActive = 1;
    c.DATAchnActive = 1;
    c.OverSampling = static_cast<double>(state.range(0));
    c.ProjectedLength = 32768.0 * c.OverSampling;
    c.FilterType = static_cast<double>(state.range(1));
    c.PhaseEq = static_cast<double>(state.range(2));
    return c;
}

void BM_Calculate(benchmark::State& state) {
    tolvane::seedNoise(1);
    const tolvane::FrameConfig config = busyConfig(state);
    tolvane::FrameWorkspace workspace;
    for (auto _ : state) {
        const tolvane::FrameResult& r = tolvane::calculateFrame(config, workspace);
        benchmark::DoNotOptimize(r.waveform.data());
    }
    state.SetItemsProcessed(state.iterations() * 32768 * state.range(0));
}

void BM_CalculateOneShot(benchmark::State& state) {
    tolvane::seedNoise(1);
    const tolvane::FrameConfig config = busyConfig(state);
    for (auto _ : state) {
        tolvane::FrameResult r = tolvane::calculateFrame(config);
        benchmark::DoNotOptimize(r.waveform.data());
    }
    state.SetItemsProcessed(state.iterations() * 32768 * state.range(0));
}

// Arguments: oversampling, filter type, equaliser on.
void configurations(benchmark::internal::Benchmark* b) {
    b->ArgNames({"os", "filter", "eq"})
        ->Args({5, 3, 1})
        ->Args({30, 3, 1})
        ->Args({5, 2, 1})
        ->Args({4, 4, 1})
        ->Args({8, 4, 1})
        ->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Calculate)->Apply(configurations);
BENCHMARK(BM_CalculateOneShot)->Apply(configurations);

}  // namespace
