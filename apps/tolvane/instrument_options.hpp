// Options shared by the instrument commands (download, play, check): where
// the instrument is, the generator settings, and the options of generate
// that download also takes.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "instrument/connection.hpp"
#include "instrument/driver.hpp"
#include "instrument/jobs.hpp"
#include "generate_options.hpp"
#include "session/generate_job.hpp"

namespace tolvane::cli {

struct ConnectionOptions {
    std::string tcpip;       // HOST[:PORT]
    std::string gpib;        // BOARD,PRIMARY[,SECONDARY]
    std::string serial;      // PORT[,BAUD[,HANDSHAKE]]; PORT a number or a device path
    std::string file;        // a saved connection file (fileParameters)
    int timeoutMs = 5000;    // until a job sets its own
};

void addConnectionOptions(CLI::App& app, ConnectionOptions& o);
// The connection a command that needs an instrument was given: nullopt
// (message printed, naming the command) when none was given or it is bad.
std::optional<Connection> requiredConnection(const char* command, const ConnectionOptions& o, Driver& driver);
// True when any of the connection options was given.
bool connectionGiven(const ConnectionOptions& o);
// The connection record from the options; a serial device path is made
// known to the driver. Throws Error naming the option.
Connection connectionFrom(const ConnectionOptions& o, Driver& driver);

// The generator settings a user may change; unset ones keep the record's.
struct SettingsOptions {
    std::optional<std::string> title;
    std::optional<double> frequency, amplitude, sampleRate, bbFilter, scaling, modAtten, rfBlanking, alc, arbRef,
        markerPolarity, reconFilter;
    std::string platform = "c";
};

void addSettingsOptions(CLI::App& app, SettingsOptions& o);
void applySettings(const SettingsOptions& o, SigGenSettings& s);

// A progress bar on standard error when it is a terminal.
ProgressCallback terminalProgress(const std::string& label);

}  // namespace tolvane::cli
