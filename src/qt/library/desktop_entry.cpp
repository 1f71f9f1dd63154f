// The application entry OneX_Fwd_c of the shared library, built into it
// together with the Qt front end: a host that knows only the C entries
// (TolvaneInitialize, OneX_Fwd_c, TolvaneTerminate) gets the application in
// its windows, sharing the library state (registry and globals) with them.
//
// The entry uses the host's QApplication when there is one, and otherwise
// makes its own for the length of the call. It runs until File > Exit has
// closed the main window.
#include <QApplication>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/application.hpp"
#include "app/data_folder.hpp"
#include "base/diagnostics.hpp"
#include "base/version.hpp"
#include "qt/qt_desktop.hpp"
#include "qt/qt_platform.hpp"
#include "runtime/library.hpp"
#include "runtime/registry.hpp"

namespace {

namespace fs = std::filesystem;

// The folder this library was loaded from.
fs::path libraryFolder() {
    Dl_info info{};
    static const int anchor = 0;
    if (dladdr(&anchor, &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    const fs::path file = fs::canonical(info.dli_fname, ec);
    return ec ? fs::path{} : file.parent_path();
}

bool hasText(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// Restores the host's quit-on-last-window setting when the call ends: the
// application hides and shows its own windows, and only File > Exit ends it.
class KeepRunningWhileHidden {
public:
    KeepRunningWhileHidden() : previous_(QApplication::quitOnLastWindowClosed()) {
        QApplication::setQuitOnLastWindowClosed(false);
    }
    ~KeepRunningWhileHidden() { QApplication::setQuitOnLastWindowClosed(previous_); }
    KeepRunningWhileHidden(const KeepRunningWhileHidden&) = delete;
    KeepRunningWhileHidden& operator=(const KeepRunningWhileHidden&) = delete;

private:
    bool previous_;
};

void runInWindows() {
    KeepRunningWhileHidden keep;
    const fs::path binary = libraryFolder();
    const std::string layouts =
        tolvane::app::dataFolder("layouts", binary, TOLVANE_SOURCE_LAYOUT_DIR, TOLVANE_INSTALLED_LAYOUT_DIR);
    tolvane::qt::QtPlatform platform({layouts});
    // The window logic's console: standard error.
    platform.setTranscriptSink([](const std::string& line) {
        static const std::string console = "console: ";
        if (line.compare(0, console.size(), console) == 0) std::cerr << line.substr(console.size()) << '\n';
    });
    tolvane::app::ApplicationOptions options;
    options.resourceFolder =
        tolvane::app::dataFolder("resources", binary, TOLVANE_SOURCE_RESOURCE_DIR, TOLVANE_INSTALLED_RESOURCE_DIR);
    tolvane::app::Application application(platform, options);
    tolvane::qt::runApplication(application);
}

void openApplication(tolvane::Call&) {
    if (QCoreApplication::instance()) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            throw tolvane::Error("The host runs a QCoreApplication: the windows need a QApplication.");
        runInWindows();
        return;
    }
    // Without a screen, Qt would end the whole process; say so instead.
    if (!hasText("QT_QPA_PLATFORM") && !hasText("DISPLAY") && !hasText("WAYLAND_DISPLAY"))
        throw tolvane::Error(
            "No display is available for the windows: set DISPLAY, or QT_QPA_PLATFORM=offscreen to run "
            "them without a screen.");
    static int argc = 1;
    static char program[] = "tolvane";
    static char* argv[] = {program, nullptr};
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    QApplication::setApplicationVersion(QString::fromUtf8(tolvane::versionText()));
    runInWindows();
}

void registerDesktopEntry(tolvane::Library& lib) {
    tolvane::FunctionSpec entry;
    entry.name = "OneX_Fwd_c";
    entry.body = openApplication;
    lib.registry().add(std::move(entry));
}

// Added when the library is loaded, before a host can initialise it.
[[maybe_unused]] const bool registered = [] {
    tolvane::library().addExtension(registerDesktopEntry);
    return true;
}();

}  // namespace
