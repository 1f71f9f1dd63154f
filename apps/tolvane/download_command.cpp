// tolvane download: generates a waveform as generate does, applies the
// instrument's corrections, downloads it with its markers and starts
// playback. Without a connection option it runs against the built-in
// simulated instrument on a free loopback port and prints what it received.
#include <CLI/CLI.hpp>

#include <csignal>
#include <iomanip>
#include <iostream>
#include <memory>
#include <unistd.h>

#include "commands.hpp"
#include "parse_options.hpp"
#include "instrument/corrections.hpp"
#include "instrument/simulator_server.hpp"
#include "instrument_options.hpp"
#include "runtime/instrument_values.hpp"
#include "session/session.hpp"

namespace tolvane::cli {

namespace {

// The serial-line question on the terminal; without one the answer is
// Cancel unless --yes was given.
QuestionCallback terminalQuestion(bool yes) {
    return [yes](const std::string& title, const std::string& text) {
        if (yes) return true;
        if (!::isatty(STDIN_FILENO)) {
            std::cerr << title << ": " << text << " (no terminal to answer; give --yes to go on)\n";
            return false;
        }
        std::cerr << title << ": " << text << " [OK/Cancel] " << std::flush;
        std::string answer;
        std::getline(std::cin, answer);
        return answer == "OK" || answer == "ok" || answer == "Ok";
    };
}

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

// While a download runs, the first Ctrl-C (SIGINT) asks it to stop before
// its next block, so the instrument is left in a known state; the handler
// then resets itself, and a second Ctrl-C ends the program at once.
class InterruptWatch {
public:
    InterruptWatch() {
        interrupted = 0;
        struct sigaction a {};
        a.sa_handler = onInterrupt;
        sigemptyset(&a.sa_mask);
        a.sa_flags = SA_RESTART | SA_RESETHAND;
        ::sigaction(SIGINT, &a, &previous_);
    }
    ~InterruptWatch() { ::sigaction(SIGINT, &previous_, nullptr); }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    struct sigaction previous_ {};
};

// The exit status of a program that the user interrupted (128 + SIGINT).
constexpr int kCancelledStatus = 130;

}  // namespace

int runDownload(int argc, char** argv) {
    CLI::App app{"Generates a waveform (every option of generate), applies the instrument's corrections, downloads "
                 "it with its markers and starts playback. Without --tcpip, --gpib, --serial or --connection it uses "
                 "the built-in simulated instrument and prints what the instrument received.",
                 "tolvane download"};
    GenerateOptions gen;
    GenerateTexts texts;
    addGenerateOptions(app, gen, texts, false);
    ConnectionOptions conn;
    addConnectionOptions(app, conn);
    SettingsOptions settingsOptions;
    addSettingsOptions(app, settingsOptions);
    bool noCorrections = false, yes = false;
    std::string correctionDir;
    app.add_flag("--no-corrections", noCorrections, "Download the waveform without the instrument's corrections");
    app.add_option("--correction-dir", correctionDir,
                   "Folder of the correction files (default $TOLVANE_CORRECTION_DIR, else "
                   "~/.local/share/tolvane/corrections/)");
    app.add_flag("--yes", yes, "Answer OK to the question before a long serial-line download");
    if (!checkSetValues("download", argc, argv)) return 2;
    if (const auto status = parseOptions(app, argc, argv)) return *status;
    if (!finishGenerateOptions("download", gen, texts)) return 2;

    GenerateSetup setup;
    Driver& driver = instrumentDriver();
    Connection c;
    SigGenSettings settings;
    try {
        setup = prepareGenerate(gen);
        c = connectionFrom(conn, driver);
        settings = sigGenSettingsFromValue(setup.sigGen, false);
        applySettings(settingsOptions, settings);
    } catch (const Error& e) {
        std::cerr << "tolvane download: " << e.what() << '\n';
        return 2;
    }

    std::unique_ptr<SimulatorServer> sim;
    if (!connectionGiven(conn)) {
        sim = std::make_unique<SimulatorServer>(SimulatorOptions{}, SimulatorFaults{});
        std::string error;
        if (!sim->start(0, false, error)) {
            std::cerr << "tolvane download: the built-in simulator cannot start: " << error << '\n';
            return 1;
        }
        c.type = "TCPIP";
        c.tcpip.address = "127.0.0.1:" + std::to_string(sim->port());
        std::cout << "No instrument given: using the built-in simulated instrument at " << c.tcpip.address << ".\n";
    }

    int code = 0;
    try {
        Session& session = processSession();
        calculateSetup(session, gen, setup);
        if (!gen.out.empty() || gen.saveParams) writeGenerateOutputs(gen, setup, session);
        GeneratorSettings generator = generatorSettingsFromValue(setup.sigGen);
        generator.values = settings;
        // The command line's settings always carry the reconstruction filter
        // (its default when no file gave one).
        generator.hasReconFilter = generator.hasReconFilter || settingsOptions.platform != "c";
        session.setSettings(generator);
        session.setConnection(connectionTo(c));

        DownloadOptions options;
        options.corrections = !noCorrections;
        options.correctionFolder = correctionDir.empty() ? correctionFolder() : correctionDir + "/";
        options.currentPlatform = settingsOptions.platform == "c";
        options.question = terminalQuestion(yes);
        const ProgressCallback shown = terminalProgress("Downloading");
        options.progress = [shown](std::size_t sent, std::size_t total) {
            if (interrupted) return false;
            return shown ? shown(sent, total) : true;
        };
        InterruptWatch watch;
        const DownloadOutcome outcome = session.download(driver, options);
        if (!outcome.correctionNote.empty()) std::cout << outcome.correctionNote << '\n';
        if (outcome.cancelled) {
            // The progress bar may have left its line open.
            if (shown) std::cerr << '\n';
            std::cerr << cancelledDownloadText(outcome) << '\n';
            code = kCancelledStatus;
        } else if (outcome.ok()) {
            std::cout << "Downloaded and playing \"" << settings.Title << "\": " << outcome.samples
                      << " samples at " << std::setprecision(10) << settings.SamplingRate / 1e6 << " MHz on "
                      << addressText(c) << ".\n";
        } else {
            std::cerr << "tolvane download: "
                      << (outcome.download.ok() ? "the waveform was downloaded but playback failed: " : "")
                      << (outcome.download.ok() ? outcome.play->response : outcome.download.response) << '\n';
            code = 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "tolvane download: " << e.what() << '\n';
        code = 1;
    }
    driver.closeAll();

    if (sim) {
        // Commands travel without replies: let the instrument take them all.
        sim->waitUntilIdle(2000);
        sim->stop();
        std::cout << "The simulated instrument received:\n";
        sim->withInstrument([](SimulatedInstrument& i) {
            for (const std::string& line : i.log()) std::cout << "  " << line << '\n';
            for (const std::string& e : i.errors()) std::cout << "  error queue: " << e << '\n';
            return 0;
        });
    }
    return code;
}

}  // namespace tolvane::cli
