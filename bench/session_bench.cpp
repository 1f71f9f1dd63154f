// The window's Calculate as a long-lived host (the desktop, a C host) runs
// it: the by-name step OneX_Fwd_GUI_c/Calculate on the process session,
// which calculates into the session's workspace, then the copy of the
// configuration record the window keeps to notice later changes.
#include <benchmark/benchmark.h>

#include "numerics/noise.hpp"
#include "runtime/library.hpp"
#include "session/by_name.hpp"
#include "session/session.hpp"

namespace {

void BM_WindowCalculate(benchmark::State& state) {
    tolvane::installSession();
    tolvane::library().initialize();
    tolvane::FrameConfig c = tolvane::defaultFrameConfig();
    c.MACchnActive = 1;
    c.DATAchnActive = 1;
    c.OverSampling = static_cast<double>(state.range(0));
    c.ProjectedLength = 32768.0 * c.OverSampling;
    tolvane::processSession().setConfig(c);
    tolvane::seedNoise(1);
    for (auto _ : state) {
        tolvane::callByName("OneX_Fwd_GUI_c/Calculate", 0, {});
        benchmark::DoNotOptimize(tolvane::library().globals().get("parameters"));
    }
    state.SetItemsProcessed(state.iterations() * 32768 * state.range(0));
}
BENCHMARK(BM_WindowCalculate)->ArgName("os")->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace
