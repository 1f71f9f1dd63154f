// The packet mode against the frame users run most, in the same run: a
// 64-slot Mode 3 frame filled with DRC 12 packets (64 coded packets, four
// times the chips of a 16-slot frame) and a 16-slot Mode 1 frame with MAC
// and DATA on, both at oversampling 30, calculated into a kept workspace.
// The goal: the packet frame costs at most 4.5 times the Mode 1 frame, so
// that the coding does not dominate the four times longer work.
#include <benchmark/benchmark.h>

#include "numerics/noise.hpp"
#include "onex/frame_config.hpp"
#include "onex/packets.hpp"
#include "onex/traffic_channel.hpp"

namespace {

using namespace tolvane;

FrameConfig mode1Frame() {
    FrameConfig c = defaultFrameConfig();
    c.MACchnActive = 1;
    c.DATAchnActive = 1;
    c.OverSampling = 30;
    c.ProjectedLength = projectedLength(c);
    return c;
}

FrameConfig filledPacketFrame(int frameSlots, double drc) {
    FrameConfig c = mode1Frame();
    c.Mode = 3;
    c.FrameSlots = frameSlots;
    c.Packets = fillPackets(frameSlots, drc);
    c.ProjectedLength = projectedLength(c);
    return c;
}

void run(benchmark::State& state, const FrameConfig& config) {
    seedNoise(1);
    FrameWorkspace workspace;
    for (auto _ : state) {
        const FrameResult& r = calculateFrame(config, workspace);
        benchmark::DoNotOptimize(r.waveform.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(projectedLength(config)));
}

void BM_CalculateMode1Slots16(benchmark::State& state) { run(state, mode1Frame()); }
void BM_CalculatePacketsSlots64Drc12(benchmark::State& state) { run(state, filledPacketFrame(64, 12)); }
void BM_CalculatePacketsSlots64Drc1(benchmark::State& state) { run(state, filledPacketFrame(64, 1)); }

// One DRC 12 packet through the coded chain alone (encoder, scrambler,
// interleaver, modulator, cover and sum).
void BM_CodedPacketDrc12(benchmark::State& state) {
    const ModParams params = *fwdTrfChnModParams(12);
    const std::vector<double> packet = physicalLayerPacket(std::vector<double>(4074, 1.0));
    for (auto _ : state) {
        auto chips = fwdTrfChn(packet, params, 5, TrafficSwitches{true, true, true});
        benchmark::DoNotOptimize(chips.data());
    }
}

BENCHMARK(BM_CalculateMode1Slots16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculatePacketsSlots64Drc12)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalculatePacketsSlots64Drc1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodedPacketDrc12)->Unit(benchmark::kMicrosecond);

}  // namespace
