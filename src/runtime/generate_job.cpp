#include "runtime/generate_job.hpp"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "instrument/waveform_file.hpp"
#include "numerics/diagnostics.hpp"
#include "numerics/noise.hpp"
#include "onex/frame_config.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/matrix_literal.hpp"
#include "runtime/parameter_file.hpp"
#include "runtime/parameters_value.hpp"
#include "runtime/user_data_file.hpp"

namespace tolvane {

namespace {

// Bad input: reported, exit code 2, nothing written.
struct BadInput : Error {
    using Error::Error;
};

// The most bits a user data file may give: 16 slots of 16QAM.
constexpr long long kUserDataLimit = 102400;

std::string extensionOf(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

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

int runGenerateJob(const GenerateOptions& options, std::ostream& out, std::ostream& err) {
    const auto start = std::chrono::steady_clock::now();
    FrameConfig config = defaultFrameConfig();
    Value sigGen;
    try {
        const std::string ext = extensionOf(options.out);
        if (options.out.empty()) throw BadInput("--out is required (a .mat or .bin file).");
        if (ext != ".mat" && ext != ".bin")
            throw BadInput("--out \"" + options.out + "\" must end in .mat (MAT-file) or .bin (instrument I/Q file).");
        if (options.saveParams && extensionOf(*options.saveParams) != ".mat")
            throw BadInput("--save-params \"" + *options.saveParams + "\" must end in .mat.");

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

        if (options.dataFile) {
            if (options.bitOrder != "right-msb" && options.bitOrder != "left-msb")
                throw BadInput("--bit-order \"" + options.bitOrder + "\" must be right-msb or left-msb.");
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
    } catch (const BadInput& e) {
        err << "tolvane generate: " << e.what() << '\n';
        return 2;
    }

    try {
        if (options.seed) seedNoise(*options.seed);
        FrameResult result = calculateFrame(config);
        const double sampleRate = kChipRate * config.OverSampling;
        const double papr = peakToAverageDb(result.waveform);
        const std::size_t samples = result.waveform.size();

        if (sigGen.isSet()) syncSigGenSettings(sigGen, config);
        else sigGen = defaultSigGenSettings(config);

        if (extensionOf(options.out) == ".mat") {
            Record vars;
            vars.set("waveform", Value::complexRow(std::move(result.waveform)));
            vars.set("markers", markersToValue(result));
            vars.set("sampleRate", Value::scalar(sampleRate));
            vars.set("parameters", parametersToValue(config));
            writeMatFile(options.out, vars);
        } else {
            writeInstrumentWaveformFile(options.out, result.waveform, 1.0);
        }
        if (options.saveParams) saveParameterFile(*options.saveParams, config, sigGen);

        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::ostringstream line;
        line << samples << " samples at " << std::setprecision(10) << sampleRate / 1e6 << " MHz, PAPR "
             << std::fixed << std::setprecision(2) << papr << " dB, " << std::setprecision(1) << ms << " ms -> "
             << options.out;
        out << line.str() << '\n';
        return 0;
    } catch (const std::exception& e) {
        err << "tolvane generate: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace tolvane
