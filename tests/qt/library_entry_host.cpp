// A host of the shared library that knows only its C entries and Qt: it
// makes its own QApplication, calls OneX_Fwd_c, and acts as a person would
// once the main window is up (reads its title, chooses File > Exit). The
// call must return success after Exit, with the connection file written by
// the shutdown, and the library must still answer calls by name afterwards.
#include <QAction>
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <tolvane/tolvane.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
    if (ok) return;
    std::fprintf(stderr, "library_entry_host: %s\n", what.c_str());
    ++failures;
}

QWidget* visibleTopLevel(const QString& tag) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == tag && w->isVisible()) return w;
    return nullptr;
}

}  // namespace

// Argument (optional): a PNG file that receives a grab of the whole screen
// while the main window is up, for people to look at.
int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    const QString grabFile = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    std::filesystem::remove("rfIOConfig.mat");

    // Before initialisation the entry refuses with its reason.
    check(OneX_Fwd_c() != 0 && std::string(tolvane_last_error()).find("TolvaneInitialize") != std::string::npos,
          "OneX_Fwd_c before TolvaneInitialize did not fail with its reason");
    if (TolvaneInitialize() != 0) {
        std::fprintf(stderr, "TolvaneInitialize failed: %s\n", tolvane_last_error());
        return 1;
    }

    QString title;
    bool exited = false;
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        QWidget* main = visibleTopLevel(QStringLiteral("main"));
        if (!main || exited) return;
        title = main->windowTitle();
        if (!grabFile.isEmpty() && QApplication::primaryScreen())
            check(QApplication::primaryScreen()->grabWindow(0).save(grabFile), "cannot write " + grabFile.toStdString());
        QAction* exit = main->findChild<QAction*>(QStringLiteral("menuFileExit"));
        check(exit != nullptr, "the main window has no File > Exit");
        exited = true;
        if (exit) exit->trigger();
    });
    person.start(100);
    // A run that never reaches the main window must not hang the test.
    QTimer::singleShot(60000, [] {
        std::fprintf(stderr, "library_entry_host: the main window did not come up within a minute\n");
        std::_Exit(1);
    });

    const int status = OneX_Fwd_c();
    check(status == 0, std::string("OneX_Fwd_c failed: ") + tolvane_last_error());
    check(exited, "File > Exit was never chosen");
    check(title.startsWith(QStringLiteral("Veltran Sonvale - 1xEV Forward Link")),
          "unexpected main window title: " + title.toStdString());
    check(std::filesystem::exists("rfIOConfig.mat"), "the shutdown did not save rfIOConfig.mat");
    check(QApplication::quitOnLastWindowClosed(), "the host's quit-on-last-window setting was not restored");

    // The library goes on serving calls by name after the windows closed.
    tolvane_value* args[2] = {tolvane_scalar(2), tolvane_scalar(8)};
    tolvane_value* out[1] = {nullptr};
    check(tolvane_call("GenerateBitStream", 1, out, 2, args) == 0 && tolvane_numel(out[0]) == 8,
          "a call by name after the windows closed failed");
    tolvane_free(out[0]);
    tolvane_free(args[0]);
    tolvane_free(args[1]);
    TolvaneTerminate();
    if (!failures) std::printf("library_entry_host: ok\n");
    return failures ? 1 : 0;
}
