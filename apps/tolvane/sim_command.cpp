// tolvane sim: the simulated signal generator on a loopback TCP port and a
// pseudo-terminal, logging every command it receives, until interrupted or
// its lifetime ends.
#include <CLI/CLI.hpp>

#include <csignal>
#include <ctime>
#include <iostream>

#include "commands.hpp"
#include "parse_options.hpp"
#include "instrument/simulator_server.hpp"

namespace tolvane::cli {

int runSim(int argc, char** argv) {
    CLI::App app{"Runs a simulated signal generator on 127.0.0.1 (and a pseudo-terminal) and prints every command "
                 "it receives.",
                 "tolvane sim"};
    int port = 5025;
    bool pty = false, quiet = false;
    double lifetime = 0;
    SimulatorOptions options;
    SimulatorFaults faults;
    app.add_option("--port", port, "TCP port on 127.0.0.1; 0 picks a free one (default 5025)")->check(CLI::Range(0, 65535));
    app.add_flag("--pty", pty, "Also serve a pseudo-terminal (a serial line); its path is printed");
    app.add_option("--idn", options.identification, "Reply to *IDN? (the serial number, third field, begins US)");
    app.add_option("--save-dir", options.saveFolder, "Write each downloaded waveform and marker block to this folder");
    app.add_option("--lifetime", lifetime, "Stop after this many seconds (default 0: run until interrupted)")
        ->check(CLI::Range(0.0, 1e7));
    app.add_flag("--quiet", quiet, "Do not print the commands received");
    app.add_option("--delay", faults.replyDelayMs, "Fault: send every reply this many milliseconds late")
        ->check(CLI::Range(0, 3600000));
    app.add_option("--close-after", faults.closeAfterBytes, "Fault: close a TCP connection after it sent this many bytes");
    app.add_flag("--garbage", faults.garbage, "Fault: answer every query with unreadable bytes");
    app.add_flag("--never-answer", faults.neverAnswer, "Fault: never answer a query");
    app.add_option("--faulty-connections", faults.faultyConnections,
                   "The faults hit only the first K TCP connections (default 0: all)")
        ->check(CLI::Range(0, 1000000));
    if (const auto status = parseOptions(app, argc, argv)) return *status;

    // The signals are taken by sigtimedwait below, not by a handler; the
    // server thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimulatorServer server(options, faults);
    if (!quiet)
        server.setLogListener([](const std::string& line) { std::cout << "> " << line << std::endl; });
    std::string error;
    if (!server.start(port, pty, error)) {
        std::cerr << "tolvane sim: " << error << '\n';
        return 1;
    }
    std::cout << "listening on 127.0.0.1:" << server.port() << std::endl;
    if (pty) std::cout << "serial line " << server.ptyPath() << std::endl;

    timespec wait{};
    wait.tv_sec = static_cast<time_t>(lifetime);
    wait.tv_nsec = static_cast<long>((lifetime - static_cast<double>(wait.tv_sec)) * 1e9);
    const int signal = lifetime > 0 ? sigtimedwait(&stopSignals, nullptr, &wait) : sigwaitinfo(&stopSignals, nullptr);
    server.stop();
    std::cout << (signal > 0 ? "stopped by signal " + std::to_string(signal) : std::string("stopped: lifetime over"))
              << std::endl;
    return 0;
}

}  // namespace tolvane::cli
