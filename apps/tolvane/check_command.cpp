// tolvane check: is an instrument answering at the given address.
#include <CLI/CLI.hpp>

#include <iostream>

#include "commands.hpp"
#include "parse_options.hpp"
#include "instrument_options.hpp"
#include "base/diagnostics.hpp"
#include "session/session.hpp"

namespace tolvane::cli {

int runCheck(int argc, char** argv) {
    CLI::App app{"Checks the connection: asks the instrument for its identification.", "tolvane check"};
    ConnectionOptions conn;
    addConnectionOptions(app, conn);
    if (const auto status = parseOptions(app, argc, argv)) return *status;
    Driver& driver = instrumentDriver();
    const std::optional<Connection> found = requiredConnection("check", conn, driver);
    if (!found) return 2;
    Session& session = processSession();
    session.setConnection(connectionTo(*found));
    const IoResult r = session.check(driver);
    driver.closeAll();
    (r.ok() ? std::cout : std::cerr) << r.response << '\n';
    return r.ok() ? 0 : 1;
}

}  // namespace tolvane::cli
