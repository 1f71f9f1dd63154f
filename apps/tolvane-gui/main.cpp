// tolvane-gui: the desktop program. It starts the library, opens the
// application in its windows on the Qt widgets through the application entry
// OneX_Fwd_c, runs until File > Exit, and stops the library.
#include <QApplication>
#include <QMessageBox>

#include <tolvane/tolvane.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.hpp"
#include "qt/qt_desktop.hpp"
#include "qt/qt_platform.hpp"
#include "runtime/library.hpp"

namespace {

namespace fs = std::filesystem;

// A folder of the installed data (share/tolvane/NAME): beside the program
// first (an installation moved as a whole), then the source tree (a run from
// the build folder), then where the installation was meant to go.
std::string dataFolder(const std::string& name, const char* sourceFolder, const char* installedFolder) {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = exe.parent_path().parent_path() / "share" / "tolvane" / name;
        if (fs::is_directory(beside, ec)) return beside.string();
    }
    if (fs::is_directory(sourceFolder, ec)) return sourceFolder;
    return installedFolder;
}

// The application entry of the desktop: the application on the Qt widgets,
// until File > Exit has closed its main window.
void runDesktop(const std::string& layouts, const std::string& resources) {
    tolvane::qt::QtPlatform platform({layouts});
    // The window logic's console: standard error.
    platform.setTranscriptSink([](const std::string& line) {
        static const std::string console = "console: ";
        if (line.compare(0, console.size(), console) == 0) std::cerr << line.substr(console.size()) << '\n';
    });
    tolvane::app::ApplicationOptions options;
    options.resourceFolder = resources;
    tolvane::app::Application application(platform, options);
    tolvane::qt::runApplication(application);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    // Hidden windows are the application's business: only File > Exit ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string layouts = dataFolder("layouts", TOLVANE_SOURCE_LAYOUT_DIR, TOLVANE_INSTALLED_LAYOUT_DIR);
    const std::string resources =
        dataFolder("resources", TOLVANE_SOURCE_RESOURCE_DIR, TOLVANE_INSTALLED_RESOURCE_DIR);

    auto failed = [](const std::string& what) {
        std::cerr << "tolvane-gui: " << what << '\n';
        QMessageBox::critical(nullptr, QStringLiteral("Tolvane"), QString::fromStdString(what));
        return 1;
    };
    if (TolvaneInitialize() != 0) return failed(tolvane_last_error());
    // This program is the desktop front end: its application entry opens
    // the windows.
    tolvane::FunctionSpec entry;
    entry.name = "OneX_Fwd_c";
    entry.body = [layouts, resources](tolvane::Call&) { runDesktop(layouts, resources); };
    tolvane::library().registry().add(std::move(entry));

    int status = 0;
    if (OneX_Fwd_c() != 0) status = failed(tolvane_last_error());
    TolvaneTerminate();
    return status;
}
