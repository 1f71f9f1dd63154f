// Pulse shaping and phase equalising of one 32768-chip frame.
//   tolvane_bench --benchmark_filter='Shaping|Equaliser'
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <utility>
#include <vector>

#include "onex/baseband_filter.hpp"
#include "numerics/remez.hpp"
#include "onex/phase_equaliser.hpp"

namespace {

using tolvane::cvec;

cvec frameChips() {
    cvec chips(32768);
    for (std::size_t i = 0; i < chips.size(); ++i)
        chips[i] = {std::sin(1.3 * i * i + 0.2) > 0 ? 1.0 : -1.0, std::cos(0.7 * i * i) > 0 ? 1.0 : -1.0};
    return chips;
}

// ACP filter from the chip row, then the all-pass equaliser.
void ShapingAcpAndEqualiser(benchmark::State& state) {
    const int os = static_cast<int>(state.range(0));
    const cvec chips = frameChips();
    tolvane::filterCoeffAcp(os);  // the design is made once per ratio
    for (auto _ : state) {
        cvec y = tolvane::basebandFilterChips(chips, os, tolvane::FilterShape::Acp);
        y = tolvane::fwdPhaseEq(std::move(y), os, tolvane::FilterShape::Acp);
        benchmark::DoNotOptimize(y.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(chips.size()) * os);
}
BENCHMARK(ShapingAcpAndEqualiser)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

void ShapingAcpOnly(benchmark::State& state) {
    const int os = static_cast<int>(state.range(0));
    const cvec chips = frameChips();
    tolvane::filterCoeffAcp(os);
    for (auto _ : state) {
        cvec y = tolvane::basebandFilterChips(chips, os, tolvane::FilterShape::Acp);
        benchmark::DoNotOptimize(y.data());
    }
}
BENCHMARK(ShapingAcpOnly)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

// The all-pass equaliser alone.
void EqualiserAllPass(benchmark::State& state) {
    const int os = static_cast<int>(state.range(0));
    const cvec x = tolvane::basebandFilterChips(frameChips(), os, tolvane::FilterShape::Acp);
    for (auto _ : state) {
        cvec y = tolvane::fwdPhaseEq(x, os, tolvane::FilterShape::Acp);  // includes copying the row
        benchmark::DoNotOptimize(y.data());
    }
}
BENCHMARK(EqualiserAllPass)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

// No baseband filter: the stored FIR equaliser response.
void EqualiserStoredFir(benchmark::State& state) {
    const int os = static_cast<int>(state.range(0));
    const cvec x = tolvane::basebandFilterChips(frameChips(), os, tolvane::FilterShape::None);
    for (auto _ : state) {
        cvec y = tolvane::fwdPhaseEq(x, os, tolvane::FilterShape::None);
        benchmark::DoNotOptimize(y.data());
    }
}
BENCHMARK(EqualiserStoredFir)->Arg(4)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);

// Designing both stages of the ACP filter, as paid once per ratio.
void DesignAcpStages(benchmark::State& state) {
    const int os = static_cast<int>(state.range(0));
    const double nyquist = os * 1228800.0 / 2.0;
    const std::vector<double> edges{0.0, 590000.0 / nyquist, 740000.0 / nyquist, 1.0};
    for (auto _ : state) {
        auto h0 = tolvane::remez(12 * os - 1, edges, {1.0, 1.0, 0.0, 0.0}, {1.0, 20.0});
        auto h1 = tolvane::remez(14 * os, edges, {1.0, 1.0, 0.005, 0.001}, {1.0, 2.0});
        benchmark::DoNotOptimize(h0.data());
        benchmark::DoNotOptimize(h1.data());
    }
}
BENCHMARK(DesignAcpStages)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace
