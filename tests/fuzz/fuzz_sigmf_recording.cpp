// Fuzz target: a SigMF recording for analysis. The input is the metadata
// text, a zero byte, then the data file's bytes (no zero byte: metadata
// alone, no data). Each is read with no rate from the caller and with an
// oversampling, and the data alone as an instrument file. Any refusal must
// be a tolvane::Error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "runtime/recording_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string meta = input.substr(0, split);
    const std::string samples = split == std::string::npos ? std::string() : input.substr(split + 1);
    for (const tolvane::RecordingReadOptions& options :
         {tolvane::RecordingReadOptions{}, tolvane::RecordingReadOptions{std::nullopt, 2}}) {
        try {
            (void)tolvane::parseSigmfRecording(meta, samples, "fuzz.sigmf-meta", "fuzz.sigmf-data", options);
        } catch (const tolvane::Error&) {
        }
    }
    try {
        (void)tolvane::parseInstrumentRecording(samples, "fuzz.bin", {std::nullopt, 2});
    } catch (const tolvane::Error&) {
    }
    return 0;
}
