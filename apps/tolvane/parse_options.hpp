// Parsing a subcommand's options with CLI11, the same for every command.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>

namespace tolvane::cli {

// Parses the options. When parsing ends the command (--help, or a usage
// error that CLI11 has printed), returns its exit status: 0 after --help,
// 2 after an error. Returns nothing when the command should go on.
inline std::optional<int> parseOptions(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    return std::nullopt;
}

}  // namespace tolvane::cli
