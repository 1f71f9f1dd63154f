// tolvane app --script FILE: runs the application on the headless platform
// (or, with --platform qt, on the Qt widgets off screen) from a script of user
// actions and prints what a person would see.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/application.hpp"
#include "app/data_folder.hpp"
#include "app/headless/headless_platform.hpp"
#include "app/scripting/script_runner.hpp"
#ifdef TOLVANE_WITH_QT
#include "qt/qt_scripted.hpp"
#endif
#include "commands.hpp"
#include "parse_options.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::cli {

namespace {

// The script's names of the application's windows.
const char* applicationWindow(const std::string& name) {
    if (name == "main") return "main";
    if (name == "slot") return "slot setup";
    if (name == "rpc") return "RPC setup";
    if (name == "advanced") return "advanced generator settings";
    if (name == "connection") return "connection";
    return nullptr;
}

// The folder of the window layouts: the installed one beside the program,
// else the source tree's when the program runs from its build folder.
std::string defaultLayoutFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return app::dataFolder("layouts", ec ? std::filesystem::path{} : exe.parent_path(), TOLVANE_SOURCE_LAYOUT_DIR,
                           TOLVANE_INSTALLED_LAYOUT_DIR);
}

}  // namespace

int runApp(int argc, char** argv) {
    CLI::App app{"Runs the application without a display from a script of user actions (one per line) and prints "
                 "a transcript of what a person would see.",
                 "tolvane app"};
    std::string scriptPath;
    std::vector<std::string> layoutFolders;
    std::string openLayout;
    std::string platformName = "headless";
    app.add_option("--script", scriptPath, "The script file, or - for standard input")->required();
    app.add_option("--layouts", layoutFolders, "A folder of window layout (.ui) files; may be repeated");
    app.add_option("--open", openLayout,
                   "Open and show only this layout and address its window first, instead of starting the "
                   "application");
    app.add_option("--platform", platformName,
                   "The window platform: headless (in memory), or qt (the Qt widgets, on the offscreen screen "
                   "unless QT_QPA_PLATFORM names another)")
        ->check(CLI::IsMember({"headless", "qt"}));
    if (const auto status = parseOptions(app, argc, argv)) return *status;

    std::vector<std::string> lines;
    try {
        if (scriptPath == "-") {
            lines = app::readScript(std::cin);
        } else {
            std::ifstream in(scriptPath, std::ios::binary);
            if (!in) {
                std::cerr << "tolvane app: cannot read the script " << scriptPath << ".\n";
                return 2;
            }
            lines = app::readScript(in);
        }
    } catch (const app::ScriptError& e) {
        std::cerr << "tolvane app: " << e.what() << ".\n";
        return 2;
    }

    if (layoutFolders.empty()) layoutFolders.push_back(defaultLayoutFolder());
    std::unique_ptr<app::ScriptablePlatform> platformHolder;
    if (platformName == "qt") {
#ifdef TOLVANE_WITH_QT
        platformHolder = qt::makeQtPlatform(layoutFolders);
#else
        std::cerr << "tolvane app: this build has no Qt front end; --platform qt is not available.\n";
        return 1;
#endif
    } else {
        platformHolder = std::make_unique<app::HeadlessPlatform>(layoutFolders);
    }
    app::ScriptablePlatform& platform = *platformHolder;
    platform.setTranscriptSink([](const std::string& line) { std::cout << line << '\n'; });
    app::Application application(platform);
    app::ScriptRunner runner(platform, [&platform, &application](const std::string& name) {
        if (const app::WindowId w = application.scriptWindow(name)) return w;
        if (const app::WindowId open = platform.findWindow(name)) return open;
        if (const char* what = applicationWindow(name))
            throw app::ScriptFault(std::string("the ") + what + " window is not open");
        throw app::ScriptFault("unknown window '" + name + "'");
    });
    try {
        if (!openLayout.empty()) {
            const app::WindowId w = platform.openLayout(openLayout);
            platform.set(w, platform.windowTag(w), "Visible", Value::text("on"));
            runner.address(w);
        } else {
            runner.address(application.start());
        }
    } catch (const Error& e) {
        std::cerr << "tolvane app: " << e.what() << '\n';
        return 1;
    }
    try {
        runner.run(std::move(lines));
    } catch (const app::ScriptError& e) {
        std::cout.flush();
        std::cerr << "tolvane app: " << e.what() << ".\n";
        return 2;
    }
    std::cout.flush();
    return 0;
}

}  // namespace tolvane::cli
