// tolvane: the command-line front end of the library. It dispatches to one
// subcommand per file (see commands.hpp).
#include <cstring>
#include <iostream>
#include <string_view>

#include "base/version.hpp"
#include "commands.hpp"
#include "heap_setup.hpp"
#include "library_host.hpp"
#include "session/by_name.hpp"

namespace {

struct Subcommand {
    const char* name;
    const char* summary;
    int (*run)(int, char**);
};

const Subcommand subcommands[] = {
    {"call", "call a library function by name with JSON arguments", tolvane::cli::runCall},
    {"generate", "build a waveform from a parameter file", tolvane::cli::runGenerate},
    {"download", "generate, correct, download and play a waveform on an instrument", tolvane::cli::runDownload},
    {"play", "send the generator settings and start playback", tolvane::cli::runPlay},
    {"check", "check the connection to an instrument", tolvane::cli::runCheck},
    {"sim", "run the simulated signal generator", tolvane::cli::runSim},
    {"analyze", "analyse a recorded waveform: timing, rho, EVM, code-domain power, slots, packets",
     tolvane::cli::runAnalyze},
    {"app", "run the application headless from a script of user actions", tolvane::cli::runApp},
#ifdef TOLVANE_WITH_QT
    {"plot", "draw a signal display of a waveform into a PNG, PDF or SVG file", tolvane::cli::runPlot},
#endif
};

void printUsage(std::ostream& out) {
    out << "usage: tolvane <command> [options] ...\n       tolvane --version\n\ncommands:\n";
    for (const auto& sub : subcommands) out << "  " << sub.name << "\t" << sub.summary << '\n';
    out << "\nRun 'tolvane <command> --help' for the options of a command.\n";
}

}  // namespace

int main(int argc, char** argv) {
    tolvane::cli::prepareHeap();
    tolvane::installSession();
    tolvane::cli::addLibraryHost();
    if (argc < 2) {
        printUsage(std::cerr);
        return 2;
    }
    const std::string_view command = argv[1];
    if (command == "--version" || command == "-V") {
        std::cout << "tolvane " << tolvane::versionText() << '\n';
        return 0;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        printUsage(std::cout);
        return 0;
    }
    for (const auto& sub : subcommands)
        if (command == sub.name) return sub.run(argc - 1, argv + 1);
    std::cerr << "tolvane: unknown command '" << command << "'.\n\n";
    printUsage(std::cerr);
    return 2;
}
