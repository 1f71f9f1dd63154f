// Download throughput of the driver to the simulated instrument over the
// loopback interface: the oversampling-30 frame (983040 samples, 4.9 MB with
// markers) per iteration, from encoding to the instrument's *OPC? and error
// check. The simulated instrument runs in this process on its own thread.
#include <benchmark/benchmark.h>

#include "instrument/driver.hpp"
#include "instrument/simulator_server.hpp"
#include "onex/frame_config.hpp"

namespace tolvane {
namespace {

void BM_DownloadToSimulator(benchmark::State& state) {
    FrameConfig config = defaultFrameConfig();
    config.OverSampling = 30;
    config.ProjectedLength = 32768.0 * 30;
    const FrameResult frame = calculateFrame(config);
    const std::size_t n = frame.waveform.size();
    MarkerMatrix markers{2, n, std::vector<double>(2 * n)};
    for (std::size_t k = 0; k < n; ++k) {
        markers.data[2 * k] = frame.marker1[k];
        markers.data[2 * k + 1] = frame.marker2[k];
    }
    SimulatorServer server({}, {});
    std::string error;
    if (!server.start(0, false, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    Connection c;
    c.type = "TCPIP";
    c.tcpip.address = "127.0.0.1:" + std::to_string(server.port());
    Driver driver;
    driver.setChunkSize(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        const IoResult r = driver.download(c, frame.waveform, markers, "OneX-Fwd");
        if (!r.ok()) {
            state.SkipWithError(r.response.c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(5 * n));
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(5 * n) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DownloadToSimulator)->Arg(64 << 10)->Arg(256 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tolvane
