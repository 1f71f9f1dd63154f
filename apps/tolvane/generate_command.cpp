// tolvane generate: parses the options and runs the generate job.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

#include "commands.hpp"
#include "runtime/generate_job.hpp"

namespace tolvane::cli {

namespace {

// A noise seed: decimal digits only, within 64 bits; no sign, no blanks.
std::optional<std::uint64_t> parseSeed(const std::string& text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return std::nullopt;
        const std::uint64_t digit = static_cast<std::uint64_t>(ch - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

int runGenerate(int argc, char** argv) {
    CLI::App app{"Generates one forward-link frame and writes it to a file.", "tolvane generate"};
    GenerateOptions options;
    std::string params, dataFile, saveParams;
    std::string seed;
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
    // An option word right after --set is a forgotten value, not the value.
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--set" && (i + 1 >= argc || std::string(argv[i + 1]).rfind("--", 0) == 0)) {
            std::cerr << "tolvane generate: --set needs NAME=VALUE"
                      << (i + 1 < argc ? std::string(", not the option \"") + argv[i + 1] + "\"" : std::string())
                      << ".\n";
            return 2;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    if (!params.empty()) options.paramsFile = params;
    if (!dataFile.empty()) options.dataFile = dataFile;
    if (!saveParams.empty()) options.saveParams = saveParams;
    if (*seedOption) {
        const auto parsed = parseSeed(seed);
        if (!parsed) {
            std::cerr << "tolvane generate: --seed \"" << seed
                      << "\" must be a whole number from 0 to 18446744073709551615.\n";
            return 2;
        }
        options.seed = *parsed;
    }

    return runGenerateJob(options, std::cout, std::cerr);
}

}  // namespace tolvane::cli
