// `tolvane generate`: one waveform from the default configuration, a
// parameter file and field settings, written to a MAT or instrument file.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace tolvane {

struct GenerateOptions {
    std::optional<std::string> paramsFile;
    std::vector<std::string> sets;  // "NAME=VALUE"
    std::optional<std::uint64_t> seed;
    std::optional<std::string> dataFile;
    std::string bitOrder = "right-msb";
    std::optional<std::string> saveParams;
    std::string out;
};

// Runs the job. Returns the exit code: 0 done, 1 a run-time error while
// calculating or writing, 2 bad input (nothing written). Messages go to
// `err`, the summary line to `out`.
int runGenerateJob(const GenerateOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tolvane
