// `tolvane generate`: one waveform from the default configuration, a
// parameter file and field settings, calculated by the session and written
// to a MAT file, an instrument file or a SigMF recording (the same recording
// as the windows' File > Export Data).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/frame_config.hpp"
#include "runtime/value.hpp"
#include "session/session.hpp"

namespace tolvane {

struct GenerateOptions {
    std::optional<std::string> paramsFile;
    std::vector<std::string> sets;  // "NAME=VALUE"
    std::optional<std::uint64_t> seed;
    std::optional<std::string> dataFile;
    std::string bitOrder = "right-msb";
    std::optional<std::string> saveParams;
    std::string out;
    // "--fill-packets DRC[,MAC]": the packet table filled by the fill rule
    // (onex/packets.hpp) for the frame length chosen, after the settings.
    std::optional<std::string> fillPackets;
    // The sample words of a SigMF output: "ci16_le" (the default) or
    // "ci16_be"; only for a .sigmf-meta output.
    std::optional<std::string> sigmfDatatype;
    // "--carriers N --carrier-spacing HZ": N carriers (2 to 16) spaced HZ
    // apart, symmetric around 0, of equal power, PN offsets 0, 4, 8, ...
    // (replaces Carriers, after the settings).
    std::optional<int> carriers;
    std::optional<double> carrierSpacing;
};

// The Carriers rows of the shorthand above. Throws GenerateInputError naming
// the option.
std::vector<CarrierRow> evenCarriers(int count, double spacingHz);

// Bad input: the message names the option, field or file; nothing is
// written (exit code 2).
struct GenerateInputError : Error {
    using Error::Error;
};

// What the options choose: the frame configuration and the generator
// settings record (from the parameter file, or the defaults).
struct GenerateSetup {
    FrameConfig config;
    Value sigGen;
};

// Checks every option (--out only when given) and builds the configuration
// and the settings. Throws GenerateInputError.
GenerateSetup prepareGenerate(const GenerateOptions& options);

// Puts the configuration and the settings into the session and calculates
// the frame there (seeded by --seed when given).
void calculateSetup(Session& session, const GenerateOptions& options, const GenerateSetup& setup);

// Writes the session's frame to the files named by --out (when given) and
// --save-params, all of them or none. Throws Error naming the file.
void writeGenerateOutputs(const GenerateOptions& options, const GenerateSetup& setup, Session& session);

// Runs the job. Returns the exit code: 0 done, 1 a run-time error while
// calculating or writing, 2 bad input (nothing written). Messages go to
// `err`, the summary line to `out`.
int runGenerateJob(const GenerateOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tolvane
