#include "session/generate_job.hpp"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "base/text.hpp"
#include "base/atomic_file.hpp"
#include "instrument/waveform_file.hpp"
#include "base/diagnostics.hpp"
#include "impair/impairments.hpp"
#include "onex/frame_config.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/matrix_literal.hpp"
#include "runtime/parameter_file.hpp"
#include "runtime/parameters_value.hpp"
#include "runtime/sigmf_file.hpp"
#include "runtime/user_data_file.hpp"

namespace tolvane {

namespace {

using BadInput = GenerateInputError;

// The most bits a user data file may give: 16 slots of 16QAM.
constexpr long long kUserDataLimit = 102400;

void applySetting(FrameConfig& config, const std::string& setting) {
    const std::size_t eq = setting.find('=');
    if (eq == std::string::npos || eq == 0)
        throw BadInput("--set \"" + setting + "\" must have the form NAME=VALUE.");
    const std::string name = setting.substr(0, eq);
    try {
        setParameterField(config, name, parseMatrixLiteral(setting.substr(eq + 1)));
    } catch (const BadInput&) {
        throw;
    } catch (const Error& e) {
        throw BadInput("--set " + name + ": " + e.what());
    }
}

// "DRC" or "DRC,MAC": whole numbers, nothing else.
std::pair<double, double> parseFillPackets(const std::string& text) {
    const auto number = [&](const std::string& part) {
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos)
            throw BadInput("--fill-packets \"" + text + "\" must be DRC or DRC,MAC (whole numbers, e.g. 12 or 1,3).");
        return std::stod(part);
    };
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) return {number(text), double(kDefaultTrafficMac)};
    return {number(text.substr(0, comma)), number(text.substr(comma + 1))};
}

// A SigMF recording is asked for by either of its two files' names.
bool isSigmfName(const std::string& path) {
    const std::string ext = lowerExtension(path);
    return ext == ".sigmf-meta" || ext == ".sigmf-data";
}

// The recording's base path: the name without its extension.
std::string sigmfBaseOf(const std::string& path) { return path.substr(0, path.size() - lowerExtension(path).size()); }

// True when the two paths name the same file (or would, once created).
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec))
        return std::filesystem::equivalent(a, b, ec);
    return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
}

// Refuses a run whose outputs overwrite one of its inputs or each other:
// either would lose data.
void checkDistinctFiles(const GenerateOptions& o) {
    struct Named {
        const char* option;
        const std::optional<std::string>* path;
    };
    const std::optional<std::string> out =
        o.out.empty() ? std::nullopt : std::optional<std::string>(o.out);
    // A recording is two files; the one not named is written too.
    const std::optional<std::string> other =
        out && isSigmfName(o.out)
            ? std::optional<std::string>(sigmfBaseOf(o.out) +
                                         (lowerExtension(o.out) == ".sigmf-meta" ? ".sigmf-data" : ".sigmf-meta"))
            : std::nullopt;
    const Named inputs[] = {{"--params", &o.paramsFile}, {"--data-file", &o.dataFile}};
    const Named outputs[] = {{"--out", &out}, {"--out", &other}, {"--save-params", &o.saveParams}};
    for (const Named& output : outputs) {
        if (!*output.path) continue;
        for (const Named& input : inputs)
            if (*input.path && sameFile(**output.path, **input.path))
                throw BadInput(std::string(output.option) + " \"" + **output.path + "\" is the file given to " +
                               input.option + "; writing it would destroy the input.");
    }
    for (const std::optional<std::string>* written : {&out, &other})
        if (*written && o.saveParams && sameFile(**written, *o.saveParams))
            throw BadInput("--out and --save-params name the same file \"" + **written +
                           "\"; give two different files.");
}

// A generator settings record from a parameter file, checked when it is
// loaded: a record whose fields have the kinds of the defaults.
void checkSigGenSettings(const Value& settings, const FrameConfig& config) {
    if (!settings.isRecord())
        throw BadInput(std::string("--params: sigGenParameters must be a record, not ") + kindName(settings.kind()) +
                       ".");
    const Value defaults = defaultSigGenSettings(config);
    for (const auto& [name, value] : settings.rec().fields()) {
        if (!defaults.hasField(name)) continue;
        const Value& expected = defaults.field(name);
        const bool ok = expected.isText() ? (value.isText() || value.isEmpty())
                                          : (value.isReal() && value.numel() == 1 && std::isfinite(value.realAt(0)));
        if (!ok)
            throw BadInput("--params: sigGenParameters." + name + " must be " +
                           (expected.isText() ? "text." : "a finite real number."));
    }
}

double peakToAverageDb(const std::vector<std::complex<double>>& w) {
    double peak = 0, sum = 0;
    for (const auto& z : w) {
        const double p = std::norm(z);
        peak = std::max(peak, p);
        sum += p;
    }
    if (w.empty() || sum == 0) return 0;
    return 10 * std::log10(peak / (sum / static_cast<double>(w.size())));
}


}  // namespace

std::vector<CarrierRow> evenCarriers(int count, double spacingHz) {
    if (count < 1 || count > kMaxCarriers)
        throw BadInput("--carriers " + numberText(count) + " must be a whole number from 1 to " +
                       numberText(kMaxCarriers) + ".");
    if (!std::isfinite(spacingHz) || spacingHz < 0)
        throw BadInput("--carrier-spacing " + numberText(spacingHz) + " must be a finite, non-negative number of Hz.");
    std::vector<CarrierRow> rows(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        CarrierRow& r = rows[static_cast<std::size_t>(k)];
        r.offsetHz = (k - (count - 1) / 2.0) * spacingHz;
        r.pnOffset = (4 * k) % 512;
    }
    return rows;
}

GenerateSetup prepareGenerate(const GenerateOptions& options) {
    FrameConfig config = defaultFrameConfig();
    Value sigGen;
    if (!options.out.empty()) {
        const std::string ext = lowerExtension(options.out);
        if (ext != ".mat" && ext != ".bin" && !isSigmfName(options.out))
            throw BadInput("--out \"" + options.out +
                           "\" must end in .mat (MAT-file), .bin (instrument I/Q file) or .sigmf-meta (SigMF "
                           "recording).");
    }
    if (options.sigmfDatatype) {
        if (!sigmfDatatypeNamed(*options.sigmfDatatype))
            throw BadInput("--sigmf-datatype \"" + *options.sigmfDatatype + "\" must be ci16_le or ci16_be.");
        if (!isSigmfName(options.out))
            throw BadInput("--sigmf-datatype applies only to a SigMF recording (--out NAME.sigmf-meta).");
    }
    if (options.saveParams && lowerExtension(*options.saveParams) != ".mat")
        throw BadInput("--save-params \"" + *options.saveParams + "\" must end in .mat.");
    if (options.bitOrder != "right-msb" && options.bitOrder != "left-msb")
        throw BadInput("--bit-order \"" + options.bitOrder + "\" must be right-msb or left-msb.");
    checkDistinctFiles(options);

    if (options.paramsFile) {
        try {
            ParameterFile file = loadParameterFile(*options.paramsFile);
            config = file.parameters;
            sigGen = file.sigGenParameters;
        } catch (const Error& e) {
            throw BadInput(std::string("--params: ") + e.what());
        }
    }
    for (const auto& s : options.sets) applySetting(config, s);
    if (options.fillPackets) {
        const auto [drc, mac] = parseFillPackets(*options.fillPackets);
        if (config.Mode != 3)
            throw BadInput("--fill-packets fills the packet table, which only Mode 3 sends: add --set Mode=3.");
        try {
            config.Packets = fillPackets(config.FrameSlots, drc, mac);
        } catch (const Error& e) {
            throw BadInput(std::string("--fill-packets: ") + e.what());
        }
    }

    if (options.carrierSpacing && !options.carriers)
        throw BadInput("--carrier-spacing needs --carriers N.");
    if (options.carriers) {
        if (*options.carriers > 1 && !options.carrierSpacing)
            throw BadInput("--carriers " + numberText(*options.carriers) + " needs --carrier-spacing HZ.");
        config.Carriers = evenCarriers(*options.carriers, options.carrierSpacing.value_or(0));
        try {
            for (std::size_t r = 0; r < config.Carriers.size(); ++r) checkCarrierRow(config.Carriers[r], r + 1);
        } catch (const Error& e) {
            throw BadInput(std::string("--carrier-spacing: ") + e.what());
        }
    }

    if (options.dataFile) {
        std::vector<double> bits;
        try {
            bits = readUserDataBits(*options.dataFile, kUserDataLimit, options.bitOrder);
        } catch (const Error& e) {
            throw BadInput(std::string("--data-file: ") + e.what());
        }
        if (bits.empty()) throw BadInput("--data-file: " + *options.dataFile + " is empty: it holds no bits.");
        config.dataSourceBitstream = std::move(bits);
        config.DATAsourceType = 7;
        config.LastPath = std::filesystem::path(*options.dataFile).parent_path().string();
    }
    if ((config.DATAsourceType == 7 || config.DATAsourceType == 8) && config.dataSourceBitstream.empty())
        throw BadInput("DATAsourceType 7 (user data) needs a bit pattern: give --data-file FILE.");
    try {
        checkParameterRanges(config);
        checkImpairments(config);
    } catch (const Error& e) {
        throw BadInput(e.what());
    }
    if (sigGen.isSet()) {
        checkSigGenSettings(sigGen, config);
        syncSigGenSettings(sigGen, config);
    } else {
        sigGen = defaultSigGenSettings(config);
    }
    return {std::move(config), std::move(sigGen)};
}

void calculateSetup(Session& session, const GenerateOptions& options, const GenerateSetup& setup) {
    session.setConfig(setup.config);
    session.setSettingsValue(setup.sigGen);
    session.calculate(options.seed);
}

void writeGenerateOutputs(const GenerateOptions& options, const GenerateSetup& setup, Session& session) {
    const double sampleRate = kChipRate * setup.config.OverSampling;
    // Every output is written in full before any target is replaced.
    FileGroup outputs;
    if (!options.out.empty() && lowerExtension(options.out) == ".mat") {
        Record vars;
        vars.set("waveform", session.waveformValue());
        vars.set("markers", session.markersValue());
        vars.set("sampleRate", Value::scalar(sampleRate));
        vars.set("parameters", parametersToValue(setup.config));
        const std::vector<MatRecordArray> arrays = {
            {"packets", kFramePacketFields, framePacketRecords(session.packets())}};
        outputs.stage(options.out, [&](const std::string& temp) { writeMatFile(temp, vars, arrays); });
    } else if (!options.out.empty() && isSigmfName(options.out)) {
        SigmfExport e;
        e.waveform = session.waveform();
        e.parameters = session.parametersValue();
        e.sigGenSettings = session.settingsValue();
        e.isoTime = sigmfTimeNow();
        e.datatype = sigmfDatatypeNamed(options.sigmfDatatype.value_or("ci16_le")).value_or(SigmfDatatype::Ci16Le);
        stageSigmf(outputs, sigmfBaseOf(options.out), e);
    } else if (!options.out.empty()) {
        outputs.stage(options.out,
                      [&](const std::string& temp) { writeInstrumentWaveformFile(temp, session.waveform(), 1.0); });
    }
    if (options.saveParams)
        outputs.stage(*options.saveParams, [&](const std::string& temp) {
            saveParameterFile(temp, setup.config, setup.sigGen, *options.saveParams);
        });
    outputs.commit();
}

int runGenerateJob(const GenerateOptions& options, std::ostream& out, std::ostream& err) {
    const auto start = std::chrono::steady_clock::now();
    GenerateSetup setup;
    try {
        if (options.out.empty()) throw BadInput("--out is required (a .mat, .bin or .sigmf-meta file).");
        setup = prepareGenerate(options);
    } catch (const BadInput& e) {
        err << "tolvane generate: " << e.what() << '\n';
        return 2;
    }

    try {
        Session& session = processSession();
        calculateSetup(session, options, setup);
        const double sampleRate = kChipRate * setup.config.OverSampling;
        const double papr = peakToAverageDb(session.waveform());
        const std::size_t samples = session.waveform().size();
        const std::optional<double> clipped = session.impairmentReport().crestFactorDb;
        writeGenerateOutputs(options, setup, session);

        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::ostringstream line;
        line << samples << " samples at " << std::setprecision(10) << sampleRate / 1e6 << " MHz, PAPR "
             << std::fixed << std::setprecision(2) << papr << " dB, ";
        if (clipped) line << "crest factor after clipping " << *clipped << " dB, ";
        line << std::setprecision(1) << ms << " ms -> "
             << options.out;
        out << line.str() << '\n';
        return 0;
    } catch (const std::exception& e) {
        err << "tolvane generate: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace tolvane
