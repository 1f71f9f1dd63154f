// The packet decoder: the turbo decoder alone (decoded bits per second at a
// fixed number of iterations) and whole packets of the highest data rate,
// clean and noisy.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "onex/mod_params.hpp"
#include "onex/packets.hpp"
#include "onex/traffic_channel.hpp"
#include "onex/turbo.hpp"
#include "receiver/packet_decoder.hpp"
#include "receiver/turbo_decoder.hpp"

namespace {

using cplx = std::complex<double>;

// A 4096-bit block at rate 1/3 sent as BPSK at Eb/N0 = 1 dB, as LLRs.
std::vector<float> noisyBlockLlrs(std::size_t bits) {
    std::mt19937_64 gen(3);
    std::vector<double> data(bits);
    for (auto& b : data) b = static_cast<double>(gen() & 1U);
    const std::vector<double> coded = tolvane::turboCoder(data, tolvane::CodeRate::Third);
    const double ebn0 = std::pow(10.0, 0.1);
    const double sigma2 = static_cast<double>(coded.size()) / (2.0 * ebn0 * static_cast<double>(bits));
    std::normal_distribution<double> normal(0.0, std::sqrt(sigma2));
    std::vector<float> llr(coded.size());
    for (std::size_t i = 0; i < coded.size(); ++i)
        llr[i] = static_cast<float>(2.0 * ((1.0 - 2.0 * coded[i]) + normal(gen)) / sigma2);
    return llr;
}

void BM_TurboDecode4096(benchmark::State& state) {
    const bool logMap = state.range(0) != 0;
    tolvane::TurboDecoder decoder(4096, tolvane::CodeRate::Third);
    const std::vector<float> llr = noisyBlockLlrs(4096);
    std::vector<std::uint8_t> decided;
    tolvane::TurboDecodeOptions options;
    options.maxIterations = 8;  // no stop check: always all eight
    options.logMap = logMap;
    for (auto _ : state) {
        decoder.decode(llr, decided, options);
        benchmark::DoNotOptimize(decided.data());
    }
    state.SetItemsProcessed(state.iterations() * 4096);
    state.SetLabel(logMap ? "log-MAP, 8 iterations, items = decoded bits" : "max-log-MAP, 8 iterations, items = decoded bits");
}
BENCHMARK(BM_TurboDecode4096)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// DRC 12 packets (4074 payload bits); noisy at Eb/N0 = 4.8 dB, where most
// packets decode within a few iterations. Eight packets in turn.
void BM_DecodePacketDrc12(benchmark::State& state) {
    const bool noisy = state.range(0) != 0;
    const tolvane::ModParams params = *tolvane::fwdTrfChnModParams(12);
    std::mt19937_64 gen(5);
    const int payloadBits = tolvane::packetPayloadBits(12);
    const double ebn0 = std::pow(10.0, 0.48);
    const double n0 = 1536.0 / (ebn0 * (params.bits - 6));
    std::normal_distribution<double> normal(0.0, std::sqrt(n0 / 2));
    std::vector<std::vector<cplx>> packets(8);
    for (auto& chips : packets) {
        std::vector<double> payload(static_cast<std::size_t>(payloadBits));
        for (auto& b : payload) b = static_cast<double>(gen() & 1U);
        chips = tolvane::fwdTrfChn(tolvane::physicalLayerPacket(payload), params, 9, {true, true, true});
        if (noisy)
            for (auto& c : chips) c += cplx(normal(gen), normal(gen));
    }
    std::size_t next = 0, failed = 0;
    double iterations = 0;
    for (auto _ : state) {
        const tolvane::DecodedPacket decoded =
            tolvane::decodePacket(packets[next], noisy ? n0 : 0.01, 12, 9);
        next = (next + 1) % packets.size();
        failed += decoded.fcsOk ? 0 : 1;
        iterations += decoded.iterations;
        benchmark::DoNotOptimize(decoded.payload.data());
    }
    state.SetItemsProcessed(state.iterations() * payloadBits);
    state.counters["iterations"] = iterations / static_cast<double>(state.iterations());
    state.counters["failed"] = static_cast<double>(failed) / static_cast<double>(state.iterations());
    state.SetLabel(noisy ? "noisy, items = payload bits" : "clean, items = payload bits");
}
BENCHMARK(BM_DecodePacketDrc12)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
