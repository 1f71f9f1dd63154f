// The whole calculate step (data bits for 16 slots, then the frame builder)
// at the configurations users run most.
#include <benchmark/benchmark.h>

#include "numerics/noise.hpp"
#include "onex/frame_config.hpp"

namespace {

tolvane::FrameConfig busyConfig(int oversampling) {
    tolvane::FrameConfig c = tolvane::defaultFrameConfig();
    c.MACchnActive = 1;
    c.DATAchnActive = 1;
    c.OverSampling = oversampling;
    c.ProjectedLength = 32768.0 * oversampling;
    return c;
}

void BM_Calculate(benchmark::State& state) {
    tolvane::seedNoise(1);
    tolvane::FrameConfig config = busyConfig(static_cast<int>(state.range(0)));
    config.FilterType = static_cast<double>(state.range(1));
    config.PhaseEq = static_cast<double>(state.range(2));
    for (auto _ : state) {
        tolvane::FrameResult r = tolvane::calculateFrame(config);
        benchmark::DoNotOptimize(r.waveform.data());
    }
    state.SetItemsProcessed(state.iterations() * 32768 * state.range(0));
}

// Arguments: oversampling, filter type, equaliser on.
BENCHMARK(BM_Calculate)
    ->ArgNames({"os", "filter", "eq"})
    ->Args({5, 3, 1})
    ->Args({30, 3, 1})
    ->Args({5, 2, 1})
    ->Args({4, 4, 1})
    ->Args({8, 4, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
