// Fuzz target: recordings handed to the verification receiver. Four header
// bytes choose the options and the rate (a whole or a fractional number of
// samples per chip); the rest are 16-bit I/Q pairs. The receiver must
// return a report or refuse with tolvane::Error (NoPilotFound is one);
// anything else is a fault.
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.hpp"
#include "onex/constants.hpp"
#include "receiver/analysis.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    if (size < 4) return 0;
    tolvane::AnalysisOptions options;
    options.filter = static_cast<tolvane::FilterShape>(1 + data[0] % 4);
    options.phaseEq = (data[1] & 1) != 0;
    if (data[1] & 2) options.pnOffset = ((data[1] >> 4) << 5 | data[3]) % 512;
    if (data[1] & 4) options.frameSlots = 16;
    double rate = (1 + data[2] % 12) * tolvane::kChipRate;
    if (data[1] & 8) rate *= 1.0 + (data[2] >> 4) / 37.0;
    // At most 2^16 samples, so that one run stays short.
    const std::size_t pairs = std::min<std::size_t>((size - 4) / 4, std::size_t{1} << 16);
    std::vector<std::complex<double>> samples(pairs);
    for (std::size_t k = 0; k < pairs; ++k) {
        const std::uint8_t* p = data + 4 + 4 * k;
        const auto i = static_cast<std::int16_t>(p[0] | p[1] << 8);
        const auto q = static_cast<std::int16_t>(p[2] | p[3] << 8);
        samples[k] = {i / 4096.0, q / 4096.0};
    }
    try {
        const tolvane::AnalysisReport r = tolvane::analyzeWaveform(samples, rate, options);
        if (!std::isfinite(r.rho.overall) || !std::isfinite(r.timingOffsetChips) || !std::isfinite(r.snrDb) ||
            !std::isfinite(r.frequencyErrorHz))
            std::abort();
    } catch (const tolvane::Error&) {
    }
    return 0;
}
