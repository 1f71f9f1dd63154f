// One 4096-bit packet of the highest data rate through the turbo encoder,
// the scrambler and the channel interleaver.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "onex/channel_interleaver.hpp"
#include "onex/mod_params.hpp"
#include "onex/scrambler.hpp"
#include "onex/traffic_channel.hpp"

namespace {

void BM_CodedPacketDrc12(benchmark::State& state) {
    const tolvane::ModParams params = *tolvane::fwdTrfChnModParams(12);
    std::mt19937 gen(1);
    std::vector<double> packet(static_cast<std::size_t>(params.bits));
    for (auto& b : packet) b = static_cast<double>(gen() & 1U);

    for (auto _ : state) {
        const auto coded = tolvane::fwdEncoder(packet, params);
        const auto scrambled = tolvane::fwdScrambler(coded, params.drcValue, 5);
        auto interleaved = tolvane::fwdChannelInterleaver(scrambled, params.codeRate, params.bits);
        benchmark::DoNotOptimize(interleaved.data());
    }
    state.SetItemsProcessed(state.iterations() * params.bits);
}
BENCHMARK(BM_CodedPacketDrc12)->Unit(benchmark::kMicrosecond);

// The three stages one at a time, on the same packet.
void BM_CodedStage(benchmark::State& state) {
    const tolvane::ModParams params = *tolvane::fwdTrfChnModParams(12);
    std::mt19937 gen(1);
    std::vector<double> packet(static_cast<std::size_t>(params.bits));
    for (auto& b : packet) b = static_cast<double>(gen() & 1U);
    const auto coded = tolvane::fwdEncoder(packet, params);

    for (auto _ : state) {
        std::vector<double> out;
        switch (state.range(0)) {
            case 0: out = tolvane::fwdEncoder(packet, params); break;
            case 1: out = tolvane::fwdScrambler(coded, params.drcValue, 5); break;
            default: out = tolvane::fwdChannelInterleaver(coded, params.codeRate, params.bits); break;
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_CodedStage)->ArgName("stage")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
