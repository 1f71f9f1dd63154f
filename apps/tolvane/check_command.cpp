// tolvane check: is an instrument answering at the given address.
#include <CLI/CLI.hpp>

#include <iostream>

#include "commands.hpp"
#include "instrument_options.hpp"
#include "numerics/diagnostics.hpp"

namespace tolvane::cli {

int runCheck(int argc, char** argv) {
    CLI::App app{"Checks the connection: asks the instrument for its identification.", "tolvane check"};
    ConnectionOptions conn;
    addConnectionOptions(app, conn);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    if (!connectionGiven(conn)) {
        std::cerr << "tolvane check: give the instrument: --tcpip, --gpib, --serial or --connection.\n";
        return 2;
    }
    Driver& driver = instrumentDriver();
    Connection c;
    try {
        c = connectionFrom(conn, driver);
    } catch (const Error& e) {
        std::cerr << "tolvane check: " << e.what() << '\n';
        return 2;
    }
    const IoResult r = driver.ping(c);
    driver.closeAll();
    (r.ok() ? std::cout : std::cerr) << r.response << '\n';
    return r.ok() ? 0 : 1;
}

}  // namespace tolvane::cli
