// The signal displays at the largest waveform the application makes (one
// frame at oversampling 30, 983 040 samples): computing each figure, and
// opening its window as a person sees it (figure computed, window created,
// laid out and plotted once, offscreen). The goal is under half a second
// per display.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>

#include <complex>
#include <cstdlib>
#include <functional>
#include <vector>

#include "display/ccdf.hpp"
#include "display/eye_diagram.hpp"
#include "display/iq_time.hpp"
#include "display/scatter_diagram.hpp"
#include "display/spectrum.hpp"
#include "display/waterfall.hpp"
#include "instrument/corrections.hpp"
#include "numerics/noise.hpp"
#include "onex/constants.hpp"
#include "onex/frame_config.hpp"
#include "qt/figure_widget.hpp"

namespace {

using namespace tolvane;
using Wave = std::vector<std::complex<double>>;

constexpr double kOverSampling = 30;
const double kRate = kChipRate * kOverSampling;

// The frame at oversampling 30, quantised as the Plot menu passes it.
const Wave& wave() {
    static const Wave w = [] {
        FrameConfig config = defaultFrameConfig();
        config.OverSampling = kOverSampling;
        seedNoise(1);
        return applyDacRes(calculateFrame(config).waveform, 14);
    }();
    return w;
}

// The displays with the arguments the Plot menu gives them (eye and scatter
// at their prompts' defaults: one symbol, no delay, trace on).
display::Figure figure(int kind) {
    const std::string label = "1xEV Forward Link (05MAR2002 9:07:03)";
    const display::Placement placement;
    const Wave& w = wave();
    switch (kind) {
        case 0: return display::ccdfFigure(placement, label, w);
        case 1: return display::spectrumFigure(placement, label, kRate, w);
        case 2: return display::iqTimeFigure(placement, label, kRate, false, w);
        case 3: return display::iqTimeFigure(placement, label, kRate, true, w);
        case 4: return display::eyeDiagramFigure(placement, label, w, kOverSampling, kOverSampling / kRate, 0);
        case 5: return display::scatterDiagramFigure(placement, label, w, kOverSampling, 0, true);
        default: return display::waterfallFigure(placement, label, kRate, w.size() / kRate / 200, w);
    }
}

const char* const kNames[] = {"ccdf", "spectrum", "iq", "iq_overlay", "eye", "scatter", "waterfall"};

void BM_ComputeFigure(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    wave();
    for (auto _ : state) benchmark::DoNotOptimize(figure(kind));
    state.SetLabel(kNames[kind]);
}

void BM_OpenDisplay(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    wave();
    for (auto _ : state) {
        QWidget* window = qt::createFigureWindow(figure(kind));
        benchmark::DoNotOptimize(window);
        state.PauseTiming();
        delete window;
        state.ResumeTiming();
    }
    state.SetLabel(kNames[kind]);
}

BENCHMARK(BM_ComputeFigure)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenDisplay)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
