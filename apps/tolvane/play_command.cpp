// tolvane play: sends the play-back settings to the instrument and starts
// the waveform already stored there under its title.
#include <CLI/CLI.hpp>

#include <iostream>

#include "commands.hpp"
#include "parse_options.hpp"
#include "instrument_options.hpp"
#include "base/diagnostics.hpp"
#include "session/session.hpp"

namespace tolvane::cli {

int runPlay(int argc, char** argv) {
    CLI::App app{"Sends the generator settings and starts playback of a waveform stored in the instrument.",
                 "tolvane play"};
    ConnectionOptions conn;
    addConnectionOptions(app, conn);
    SettingsOptions settingsOptions;
    addSettingsOptions(app, settingsOptions);
    if (const auto status = parseOptions(app, argc, argv)) return *status;
    Driver& driver = instrumentDriver();
    const std::optional<Connection> found = requiredConnection("play", conn, driver);
    if (!found) return 2;
    const Connection& c = *found;
    GeneratorSettings settings;
    settings.hasReconFilter = true;
    applySettings(settingsOptions, settings.values);
    const SigGenSettings& s = settings.values;
    Session& session = processSession();
    session.setSettings(settings);
    session.setConnection(connectionTo(c));
    const IoResult r = session.play(driver, settingsOptions.platform == "c");
    driver.closeAll();
    if (!r.ok()) {
        std::cerr << "tolvane play: " << r.response << '\n';
        return 1;
    }
    std::cout << "Playing \"" << s.Title << "\" on " << addressText(c) << ".\n";
    return 0;
}

}  // namespace tolvane::cli
