// tolvane plot KIND --out FILE: builds a waveform as tolvane generate does
// and draws one of the signal displays into a PNG, PDF or SVG file, without
// a screen. The waveform is quantised to 14 bits and titled with the time
// of the run, as the Plot menu of the application does.
#include <QApplication>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <map>

#include "commands.hpp"
#include "app/windows/display_windows.hpp"
#include "display/ccdf.hpp"
#include "display/eye_diagram.hpp"
#include "display/iq_time.hpp"
#include "display/scatter_diagram.hpp"
#include "display/spectrum.hpp"
#include "display/waterfall.hpp"
#include "generate_options.hpp"
#include "instrument/corrections.hpp"
#include "instrument/jobs.hpp"
#include "onex/constants.hpp"
#include "parse_options.hpp"
#include "session/analysis_job.hpp"
#include "session/session.hpp"
#include "qt/figure_widget.hpp"

namespace tolvane::cli {

namespace {

// The application's name, which the Plot menu puts before the time stamp.
constexpr const char* kApplicationName = "1xEV Forward Link";

enum class Kind { Ccdf, Spectrum, Iq, IqOverlay, Eye, Scatter, Waterfall, CodeDomain };

const std::map<std::string, Kind> kKinds = {
    {"ccdf", Kind::Ccdf}, {"spectrum", Kind::Spectrum}, {"iq", Kind::Iq},           {"iq-overlay", Kind::IqOverlay},
    {"eye", Kind::Eye},   {"scatter", Kind::Scatter},   {"waterfall", Kind::Waterfall}, {"cdp", Kind::CodeDomain},
};

struct PlotOptions {
    std::string kind;
    double symbols = 1;  // eye: symbols per trace
    double delay = 0;    // eye and scatter: symbol delay, 0 .. 1
    double trace = 1;    // scatter: the line through all samples, 0 or 1
    int width = 800;
    int height = 600;
};

// "1xEV Forward Link (05MAR2002 9:07:03)" at the current local time.
std::string plotTitle() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const std::vector<double> clock = {double(tm.tm_year + 1900), double(tm.tm_mon + 1), double(tm.tm_mday),
                                       double(tm.tm_hour),        double(tm.tm_min),     double(tm.tm_sec)};
    return std::string(kApplicationName) + " (" + clock2str(clock) + ")";
}

// The figure of the display, with the arguments the Plot menu derives from
// its prompts. Throws Error.
display::Figure plotFigure(Kind kind, const PlotOptions& o, const std::vector<std::complex<double>>& wave,
                           double overSampling, const std::string& title) {
    const double rate = kChipRate * overSampling;
    const display::Placement placement;  // no parent window, pixels
    const double points = static_cast<double>(wave.size());
    // The symbol delay in samples: 0 .. 1 symbol, rounded.
    const double delay = std::round(std::min(1.0, std::max(0.0, o.delay)) * overSampling);
    switch (kind) {
        case Kind::Ccdf: return display::ccdfFigure(placement, title, wave);
        case Kind::Spectrum: return display::spectrumFigure(placement, title, rate, wave);
        case Kind::Iq: return display::iqTimeFigure(placement, title, rate, false, wave);
        case Kind::IqOverlay: return display::iqTimeFigure(placement, title, rate, true, wave);
        case Kind::Waterfall: return display::waterfallFigure(placement, title, rate, points / rate / 200, wave);
        case Kind::CodeDomain: break;  // drawn from the analysis, not from the samples
        case Kind::Eye: {
            double symbols = std::round(std::max(1.0, o.symbols));
            symbols = std::min(symbols, points / overSampling);
            const double n = symbols * overSampling;
            try {
                return display::eyeDiagramFigure(placement, title, wave, n, n / rate, delay);
            } catch (const Error& e) {
                throw Error(std::string("Unable to Plot Eye Diagram\n") + e.what());
            }
        }
        case Kind::Scatter: {
            const bool traceOn = std::min(std::round(std::max(0.0, o.trace)), 1.0) != 0;
            try {
                return display::scatterDiagramFigure(placement, title, wave, overSampling, delay, traceOn);
            } catch (const Error& e) {
                throw Error(std::string("Unable to Plot Scatter Diagram\n") + e.what());
            }
        }
    }
    throw Error("Unknown display.");
}

// Qt's notes about the session (no runtime folder, no fonts database, ...)
// are not the user's business on the command line; its errors are.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << "tolvane plot: " << message.toStdString() << '\n';
}

bool sameExistingFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec) && std::filesystem::equivalent(a, b, ec);
}

}  // namespace

int runPlot(int argc, char** argv) {
    CLI::App app{"Builds one forward-link frame as tolvane generate does and draws one of the signal displays "
                 "into an image file.",
                 "tolvane plot"};
    GenerateOptions options;
    GenerateTexts texts;
    PlotOptions plot;
    std::string kinds;
    for (const auto& [name, kind] : kKinds) kinds += (kinds.empty() ? "" : ", ") + name;
    app.add_option("KIND", plot.kind, "The display: " + kinds)->required();
    addGenerateOptions(app, options, texts, true);
    app.get_option("--out")->description("The image: .png, .pdf or .svg");
    app.add_option("--symbols", plot.symbols, "eye: symbols per trace (default 1)");
    app.add_option("--delay", plot.delay, "eye, scatter: symbol delay from 0 to 1 (default 0)");
    app.add_option("--trace", plot.trace, "scatter: 1 draws the line through all samples, 0 only the symbols (default 1)");
    app.add_option("--width", plot.width, "Image width in pixels (default 800)")->check(CLI::Range(16, 20000));
    app.add_option("--height", plot.height, "Image height in pixels (default 600)")->check(CLI::Range(16, 20000));
    if (!checkSetValues("plot", argc, argv)) return 2;
    if (const auto status = parseOptions(app, argc, argv)) return *status;
    if (!finishGenerateOptions("plot", options, texts)) return 2;

    const auto kind = kKinds.find(plot.kind);
    if (kind == kKinds.end()) {
        std::cerr << "tolvane plot: the display \"" << plot.kind << "\" must be one of " << kinds << ".\n";
        return 2;
    }
    for (double value : {plot.symbols, plot.delay, plot.trace}) {
        if (!std::isfinite(value)) {
            std::cerr << "tolvane plot: --symbols, --delay and --trace must be finite numbers.\n";
            return 2;
        }
    }
    // The image is this command's output; the generate job writes only what
    // --save-params asks for.
    const std::string image = options.out;
    options.out.clear();
    std::string ext = std::filesystem::path(image).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".png" && ext != ".pdf" && ext != ".svg") {
        std::cerr << "tolvane plot: --out \"" << image << "\" must end in .png, .pdf or .svg.\n";
        return 2;
    }
    for (const auto& input : {options.paramsFile, options.dataFile, options.saveParams}) {
        if (input && sameExistingFile(image, *input)) {
            std::cerr << "tolvane plot: --out \"" << image << "\" names a file the command reads or writes.\n";
            return 2;
        }
    }

    GenerateSetup setup;
    try {
        setup = prepareGenerate(options);
    } catch (const GenerateInputError& e) {
        std::cerr << "tolvane plot: " << e.what() << '\n';
        return 2;
    }

    // No screen is needed: draw offscreen unless a platform was chosen.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(quietQtMessages);
    int qtArgc = 1;
    char qtName[] = "tolvane";
    char* qtArgv[] = {qtName, nullptr};
    QApplication qtApp(qtArgc, qtArgv);

    try {
        Session& session = processSession();
        calculateSetup(session, options, setup);
        writeGenerateOutputs(options, setup, session);
        if (kind->second == Kind::CodeDomain) {
            // The receiver analyses the frame with the settings it was made with.
            const AnalysisReport report = analyzeSessionWaveform(session, AnalysisRequest{});
            display::Figure figure =
                display::codeDomainFigure(display::Placement{}, plotTitle(), app::codeDomainView(report));
            const std::string name = figure.name;
            std::string error;
            if (!qt::renderFigureToFile(std::move(figure), image, plot.width, plot.height, error)) throw Error(error);
            std::cout << name << ": PN offset " << report.pnOffset << ", rho " << report.rho.overall << " -> "
                      << image << '\n';
            return 0;
        }
        auto wave = applyDacRes(session.waveform(), 14);
        // Neither the frame's rows (about 45 bytes per sample) nor, once
        // the figure holds what it shows, the quantised copy are needed for
        // drawing: each is given back before the next rows are made, so a
        // frame of 128 slots at oversampling 30 stays within 600 MB.
        session.reset();
        display::Figure figure = plotFigure(kind->second, plot, wave, setup.config.OverSampling, plotTitle());
        const std::size_t samples = wave.size();
        std::vector<std::complex<double>>().swap(wave);
        const std::string name = figure.name;
        std::string error;
        if (!qt::renderFigureToFile(std::move(figure), image, plot.width, plot.height, error)) throw Error(error);
        std::cout << name << ": " << samples << " samples -> " << image << '\n';
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "tolvane plot: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace tolvane::cli
