#include "generate_options.hpp"

#include <cstdint>
#include <iostream>
#include <optional>

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

void addGenerateOptions(CLI::App& app, GenerateOptions& options, GenerateTexts& t, bool outRequired) {
    app.add_option("--params", t.params, "Parameter file (.mat) to start from instead of the defaults");
    app.add_option("--set", options.sets,
                   "NAME=VALUE: set one field of the configuration (slot fields as slot.NAME); VALUE is a number "
                   "or a matrix literal such as [1 2 3] or [1 0; 0 1]; a scalar fills a whole matrix field")
        ->allow_extra_args(false);
    app.add_option("--fill-packets", t.fillPackets,
                   "DRC[,MAC]: Mode 3 packet table filled with packets of that DRC (MAC index default 5), each "
                   "interlace back to back from slots 1, 2, 3 and 4 (replaces Packets; needs --set Mode=3)");
    t.seedOption = app.add_option("--seed", t.seed, "Seed of the idle-slot noise (same seed, same waveform)");
    app.add_option("--data-file", t.dataFile, "Traffic bits from this file (any bytes; data source 7)");
    app.add_option("--bit-order", options.bitOrder, "Bit order of the data file: right-msb (default) or left-msb");
    app.add_option("--save-params", t.saveParams, "Also write the parameter file (.mat) of the configuration used");
    auto* out = app.add_option("--out", options.out,
                               std::string(outRequired ? "Output" : "Also write the waveform") +
                                   ": .mat (waveform, markers, sampleRate, parameters, packets), .bin "
                                   "(16-bit big-endian interleaved I/Q) or .sigmf-meta (a SigMF recording, "
                                   "NAME.sigmf-data and NAME.sigmf-meta, as File > Export Data writes it)");
    if (outRequired) out->required();
    t.carriersOption = app.add_option("--carriers", t.carriers,
                                      "N: a multi-carrier frame of N carriers (1 to 16) of equal power, PN offsets "
                                      "0, 4, 8, ..., symmetric around the centre (replaces Carriers; needs "
                                      "--carrier-spacing)");
    t.carrierSpacingOption =
        app.add_option("--carrier-spacing", t.carrierSpacing, "HZ: the spacing of the carriers of --carriers");
    t.sigmfDatatypeOption =
        app.add_option("--sigmf-datatype", t.sigmfDatatype,
                       "Sample words of a SigMF recording: ci16_le (default; 16-bit little-endian, as SDR tools "
                       "read) or ci16_be (big-endian, the instrument's own byte order)");
}

bool finishGenerateOptions(const char* command, GenerateOptions& options, const GenerateTexts& t) {
    if (!t.params.empty()) options.paramsFile = t.params;
    if (!t.dataFile.empty()) options.dataFile = t.dataFile;
    if (!t.saveParams.empty()) options.saveParams = t.saveParams;
    if (!t.fillPackets.empty()) options.fillPackets = t.fillPackets;
    if (t.sigmfDatatypeOption && *t.sigmfDatatypeOption) options.sigmfDatatype = t.sigmfDatatype;
    if (t.carriersOption && *t.carriersOption) options.carriers = t.carriers;
    if (t.carrierSpacingOption && *t.carrierSpacingOption) options.carrierSpacing = t.carrierSpacing;
    if (t.seedOption && *t.seedOption) {
        const auto parsed = parseSeed(t.seed);
        if (!parsed) {
            std::cerr << "tolvane " << command << ": --seed \"" << t.seed
                      << "\" must be a whole number from 0 to 18446744073709551615.\n";
            return false;
        }
        options.seed = *parsed;
    }
    return true;
}

bool checkSetValues(const char* command, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--set" && (i + 1 >= argc || std::string(argv[i + 1]).rfind("--", 0) == 0)) {
            std::cerr << "tolvane " << command << ": --set needs NAME=VALUE"
                      << (i + 1 < argc ? std::string(", not the option \"") + argv[i + 1] + "\"" : std::string())
                      << ".\n";
            return false;
        }
    }
    return true;
}

}  // namespace tolvane::cli
