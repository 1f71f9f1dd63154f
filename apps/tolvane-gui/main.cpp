// tolvane-gui: the desktop program. A host of the shared library like any
// other: it starts the library, opens the application in its windows through
// the application entry OneX_Fwd_c, runs until File > Exit, and stops the
// library. The windows live in the library; this program only provides the
// QApplication (so that Qt's own command-line options work) and shows a
// failure in a message box as well as on standard error.
#include <QApplication>
#include <QMessageBox>

#include <tolvane/tolvane.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    // Answered before Qt starts, so that it works without a display.
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]) == "--version") {
            std::cout << "tolvane-gui " << tolvane_version() << '\n';
            return 0;
        }
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
    QApplication::setApplicationVersion(QString::fromUtf8(tolvane_version()));

    auto failed = [](const std::string& what) {
        std::cerr << "tolvane-gui: " << what << '\n';
        QMessageBox::critical(nullptr, QStringLiteral("Tolvane"), QString::fromStdString(what));
        return 1;
    };
    if (TolvaneInitialize() != 0) return failed(tolvane_last_error());
    int status = 0;
    if (OneX_Fwd_c() != 0) status = failed(tolvane_last_error());
    TolvaneTerminate();
    return status;
}
