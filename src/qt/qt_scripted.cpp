#include "qt/qt_scripted.hpp"

#include <QApplication>

#include <cstdio>

#include "qt/qt_platform.hpp"

namespace tolvane::qt {

namespace {

// A scripted run prints its transcript and its faults, nothing else: Qt's
// notes about the offscreen screen (what it does not support, the runtime
// folder) are dropped; its critical messages still reach standard error.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// Starts the Qt application first and ends it last, around the platform.
struct ApplicationHolder {
    ApplicationHolder() {
        if (QApplication::instance()) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietMessages);
        static int argc = 1;
        static char name[] = "tolvane";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
    }
    std::unique_ptr<QApplication> application;
};

class ScriptedQtPlatform : private ApplicationHolder, public QtPlatform {
public:
    explicit ScriptedQtPlatform(std::vector<std::string> folders)
        : ApplicationHolder(), QtPlatform(std::move(folders), Mode::Scripted) {}
};

}  // namespace

std::unique_ptr<app::ScriptablePlatform> makeQtPlatform(std::vector<std::string> layoutFolders) {
    return std::make_unique<ScriptedQtPlatform>(std::move(layoutFolders));
}

}  // namespace tolvane::qt
