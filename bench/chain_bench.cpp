// The per-slot stages of the forward-link chain and the once-per-frame bit
// source and spreading, each on its own.
#include <benchmark/benchmark.h>

#include <complex>
#include <vector>

#include "onex/bit_source.hpp"
#include "onex/mac_channel.hpp"
#include "onex/mod_params.hpp"
#include "onex/modulator.hpp"
#include "onex/spreading.hpp"
#include "onex/traffic_channel.hpp"

namespace {

void BM_TrafficSlot(benchmark::State& state) {
    const auto modulation = static_cast<tolvane::Modulation>(state.range(0));
    tolvane::ModParams params = *tolvane::fwdTrfChnModParams(1);
    params.modulationSymbolsRequired = 1600;
    params.modulationType = modulation;
    const std::vector<double> bits =
        tolvane::generateBitStream(tolvane::DataSource::Pn15, 1600LL * tolvane::bitsPerSymbol(modulation), {});
    for (auto _ : state) {
        auto chips = tolvane::fwdTrfChn(bits, params, 5, tolvane::TrafficSwitches{});
        benchmark::DoNotOptimize(chips.data());
    }
}
BENCHMARK(BM_TrafficSlot)->ArgName("mod")->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_MacSlot(benchmark::State& state) {
    const std::vector<double> bits = tolvane::generateBitStream(tolvane::DataSource::Alternating01, 59, {});
    const std::vector<double> gains(59, 0.5);
    for (auto _ : state) {
        auto chips = tolvane::fwdMacSlot(bits, gains, 1, 0.7);
        benchmark::DoNotOptimize(chips.data());
    }
}
BENCHMARK(BM_MacSlot)->Unit(benchmark::kMicrosecond);

void BM_Pn15Bits(benchmark::State& state) {
    for (auto _ : state) {
        auto bits = tolvane::generateBitStream(tolvane::DataSource::Pn15, 102400, {});
        benchmark::DoNotOptimize(bits.data());
    }
}
BENCHMARK(BM_Pn15Bits)->Unit(benchmark::kMicrosecond);

void BM_QuadSpreading(benchmark::State& state) {
    const std::vector<std::complex<double>> frame(32768, {1.0, -1.0});
    for (auto _ : state) {
        auto out = tolvane::fwdQuadSpreading(frame, 17);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_QuadSpreading)->Unit(benchmark::kMicrosecond);

}  // namespace
