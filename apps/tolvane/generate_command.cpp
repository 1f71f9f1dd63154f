// tolvane generate: parses the options and runs the generate job.
#include <CLI/CLI.hpp>

#include <iostream>

#include "commands.hpp"
#include "runtime/generate_job.hpp"

namespace tolvane::cli {

int runGenerate(int argc, char** argv) {
    CLI::App app{"Generates one forward-link frame and writes it to a file.", "tolvane generate"};
    GenerateOptions options;
    std::string params, dataFile, saveParams;
    std::uint64_t seed = 0;
    app.add_option("--params", params, "Parameter file (.mat) to start from instead of the defaults");
    app.add_option("--set", options.sets,
                   "NAME=VALUE: set one field of the configuration (slot fields as slot.NAME); VALUE is a number "
                   "or a matrix literal such as [1 2 3] or [1 0; 0 1]; a scalar fills a whole matrix field")
        ->allow_extra_args(false);
    auto* seedOption = app.add_option("--seed", seed, "Seed of the idle-slot noise (same seed, same waveform)");
    app.add_option("--data-file", dataFile, "Traffic bits from this file (any bytes; data source 7)");
    app.add_option("--bit-order", options.bitOrder, "Bit order of the data file: right-msb (default) or left-msb");
    app.add_option("--save-params", saveParams, "Also write the parameter file (.mat) of the configuration used");
    app.add_option("--out", options.out, "Output: .mat (waveform, markers, sampleRate, parameters) or .bin "
                                         "(16-bit big-endian interleaved I/Q)")
        ->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    if (!params.empty()) options.paramsFile = params;
    if (!dataFile.empty()) options.dataFile = dataFile;
    if (!saveParams.empty()) options.saveParams = saveParams;
    if (*seedOption) options.seed = seed;
    return runGenerateJob(options, std::cout, std::cerr);
}

}  // namespace tolvane::cli
