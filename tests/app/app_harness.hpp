// The application on the scenario platform (scenario_platform.hpp), started
// in a fresh working folder (where it keeps its connection file), driven by
// scripts.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.hpp"
#include "app/scripting/script_runner.hpp"
#include "scenario_platform.hpp"

namespace tolvane::app::test {

// A fresh, empty folder that becomes the working directory for the life of
// the object. Its name holds the process id: the same test runs in more than
// one program (test_app and test_app_on_qt) and build, at the same time.
class WorkFolder {
public:
    WorkFolder() {
        namespace fs = std::filesystem;
        previous_ = fs::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        path_ = fs::temp_directory_path() / ("tolvane-app-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_);
        fs::current_path(path_);
    }
    ~WorkFolder() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string path() const { return path_.string() + "/"; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

struct AppRun {
    ScenarioPlatform platform{{TOLVANE_LAYOUT_DIR}};
    Application app{platform};
    std::size_t startLines = 0;  // transcript lines of the start-up

    AppRun() {
        app.start();
        startLines = platform.transcript().size();
    }

    ScriptRunner runner() {
        ScriptRunner r(platform, [this](const std::string& name) -> WindowId {
            if (const WindowId w = app.scriptWindow(name)) return w;
            throw ScriptFault("there is no window '" + name + "'");
        });
        r.address(app.scriptWindow("main"));
        return r;
    }

    // Runs the script; returns the transcript lines it produced.
    std::vector<std::string> run(const std::string& script) {
        const std::size_t before = platform.transcript().size();
        std::istringstream in(script);
        runner().run(readScript(in));
        const auto& t = platform.transcript();
        return std::vector<std::string>(t.begin() + static_cast<std::ptrdiff_t>(before), t.end());
    }
};

}  // namespace tolvane::app::test
