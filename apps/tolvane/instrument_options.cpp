#include "instrument_options.hpp"

#include <cstdio>
#include <iostream>
#include <unistd.h>

#include "base/diagnostics.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/mat_file.hpp"

namespace tolvane::cli {

namespace {

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

int wholeNumber(const std::string& text, const std::string& what) {
    if (text.empty() || text.size() > 9) throw Error(what + " must be a whole number, not \"" + text + "\".");
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) throw Error(what + " must be a whole number, not \"" + text + "\".");
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') throw Error(what + " must be a whole number, not \"" + text + "\".");
    return std::stoi(text);
}

}  // namespace

void addConnectionOptions(CLI::App& app, ConnectionOptions& o) {
    auto* group = app.add_option_group("instrument", "Where the instrument is (one of these)");
    group->add_option("--tcpip", o.tcpip, "LAN: HOST or HOST:PORT (SCPI socket, port 5025 by default)");
    group->add_option("--gpib", o.gpib, "GPIB: BOARD,PRIMARY[,SECONDARY] through a VISA library or linux-gpib");
    group->add_option("--serial", o.serial,
                      "RS-232: PORT[,BAUD[,HANDSHAKE]]; PORT is a number (n-th serial device) or a device path; "
                      "BAUD 9600 by default; HANDSHAKE None, Xon/Xoff (default) or RTS/CTS");
    group->add_option("--connection", o.file, "A saved connection file (rfIOConfig.mat, variable fileParameters)");
    group->require_option(0, 1);
    app.add_option("--timeout", o.timeoutMs, "Time-out of each read and write in milliseconds (default 5000)")
        ->check(CLI::Range(1, 3600000));
}

bool connectionGiven(const ConnectionOptions& o) {
    return !o.tcpip.empty() || !o.gpib.empty() || !o.serial.empty() || !o.file.empty();
}

std::optional<Connection> requiredConnection(const char* command, const ConnectionOptions& o, Driver& driver) {
    if (!connectionGiven(o)) {
        std::cerr << "tolvane " << command << ": give the instrument: --tcpip, --gpib, --serial or --connection.\n";
        return std::nullopt;
    }
    try {
        return connectionFrom(o, driver);
    } catch (const Error& e) {
        std::cerr << "tolvane " << command << ": " << e.what() << '\n';
        return std::nullopt;
    }
}

Connection connectionFrom(const ConnectionOptions& o, Driver& driver) {
    Connection c;
    if (!o.tcpip.empty()) {
        c.type = "TCPIP";
        c.tcpip.address = o.tcpip;
    } else if (!o.gpib.empty()) {
        const auto parts = splitCommas(o.gpib);
        if (parts.size() < 2 || parts.size() > 3)
            throw Error("--gpib needs BOARD,PRIMARY or BOARD,PRIMARY,SECONDARY, not \"" + o.gpib + "\".");
        c.type = "GPIB";
        c.gpib.board = wholeNumber(parts[0], "--gpib BOARD");
        c.gpib.primary = wholeNumber(parts[1], "--gpib PRIMARY");
        c.gpib.secondary = parts.size() == 3 ? wholeNumber(parts[2], "--gpib SECONDARY") : -1;
    } else if (!o.serial.empty()) {
        const auto parts = splitCommas(o.serial);
        if (parts.size() > 3) throw Error("--serial needs PORT[,BAUD[,HANDSHAKE]], not \"" + o.serial + "\".");
        c.type = "RS232";
        if (!parts[0].empty() && parts[0].find('/') != std::string::npos) {
            c.rs232.port = 1;
            driver.setSerialDevice(1, parts[0]);
        } else {
            c.rs232.port = wholeNumber(parts[0], "--serial PORT");
        }
        if (parts.size() >= 2) c.rs232.baudrate = wholeNumber(parts[1], "--serial BAUD");
        if (parts.size() == 3) c.rs232.handshake = parts[2];
    } else if (!o.file.empty()) {
        Record vars;
        try {
            vars = readMatFile(o.file);
        } catch (const Error& e) {
            throw Error(std::string("--connection: ") + e.what());
        }
        if (!vars.has("fileParameters"))
            throw Error("--connection: \"" + o.file + "\" holds no connection record (fileParameters).");
        c = connectionFromValue(vars.at("fileParameters"));
    }
    driver.setDefaultTimeout(o.timeoutMs);
    return c;
}

void addSettingsOptions(CLI::App& app, SettingsOptions& o) {
    app.add_option("--title", o.title, "Name of the waveform in the instrument (default OneX-Fwd)");
    app.add_option("--frequency", o.frequency, "RF carrier frequency in Hz (default 2200000000)");
    app.add_option("--amplitude", o.amplitude, "RF output level in dBm (default -30)");
    app.add_option("--sample-rate", o.sampleRate, "ARB sample clock in Hz (default 1228800 x oversampling)");
    app.add_option("--bbfilter", o.bbFilter, "I/Q baseband filter: 1 = 2.1 MHz (default), 2 = 40 MHz, 3 = through");
    app.add_option("--scaling", o.scaling, "Run-time scaling of the ARB output in percent (default 95)");
    app.add_option("--mod-atten", o.modAtten, "I/Q modulator attenuation in dB (default 0)");
    app.add_option("--rf-blanking", o.rfBlanking, "RF blanking: 1 = on, 0 = off (default follows the idle-slot gain)");
    app.add_option("--alc", o.alc, "Automatic level control: 1 = on, 0 = off (default)");
    app.add_option("--arb-ref", o.arbRef, "ARB clock reference: 0 = internal (default), 1 = external");
    app.add_option("--marker-polarity", o.markerPolarity, "Marker polarity: 0 = positive (default), 1 = negative");
    app.add_option("--recon-filter", o.reconFilter,
                   "Reconstruction filter of the other platform: 1 = 250 kHz, 2 = 2.5 MHz, 3 = 8 MHz, 4 = through");
    app.add_option("--platform", o.platform, "Instrument platform: c (current, default) or other")
        ->check(CLI::IsMember({"c", "other"}));
}

void applySettings(const SettingsOptions& o, SigGenSettings& s) {
    if (o.title) s.Title = *o.title;
    auto set = [](const std::optional<double>& v, double& field) {
        if (v) field = *v;
    };
    set(o.frequency, s.Frequency);
    set(o.amplitude, s.Amplitude);
    set(o.sampleRate, s.SamplingRate);
    set(o.bbFilter, s.BBfilter);
    set(o.scaling, s.Scaling);
    set(o.modAtten, s.ModAtten);
    set(o.rfBlanking, s.RFblanking);
    set(o.alc, s.ALC);
    set(o.arbRef, s.ArbRefSource);
    set(o.markerPolarity, s.MarkerPolarity);
    set(o.reconFilter, s.ReconFilter);
}

ProgressCallback terminalProgress(const std::string& label) {
    if (!::isatty(STDERR_FILENO)) return {};
    return [label, last = -1](std::size_t sent, std::size_t total) mutable {
        const int percent = total ? static_cast<int>(100.0 * double(sent) / double(total)) : 100;
        if (percent == last) return true;
        last = percent;
        const int filled = percent * 30 / 100;
        std::fprintf(stderr, "\r%s %3d%% [%s%s] %.1f/%.1f MB", label.c_str(), percent,
                     std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(30 - filled), ' ').c_str(), double(sent) / 1e6,
                     double(total) / 1e6);
        if (sent == total) std::fputc('\n', stderr);
        std::fflush(stderr);
        return true;
    };
}

}  // namespace tolvane::cli
