// The modal windows on a real X server with a window manager: starts the
// application, then opens Configuration > Sig Gen I/O again and again as a
// person would, and checks each time, on the X server itself, that the
// window waited on is mapped and viewable, stacked above the main window,
// and the one that takes the input, before it is cancelled. Each opening
// starts at a different moment after the last one ended (the first right
// after the start-up).
//
// Arguments: the layouts folder, the resources folder, the number of
// openings. Run by tests/qt/modal_on_x.sh under Xvfb with openbox.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/application.hpp"
#include "qt/qt_desktop.hpp"
#include "qt/qt_platform.hpp"

namespace {

int failures = 0;

void fail(const std::string& what) {
    std::fprintf(stderr, "modal_on_x_host: %s\n", what.c_str());
    ++failures;
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(5000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// What the X server says of the window: mapped and viewable.
bool viewable(WId id) {
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(id)})
        .contains(QStringLiteral("Map State: IsViewable"));
}

// The window manager's stacking order, bottom to top.
QList<WId> stacking() {
    const QString out = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    QList<WId> ids;
    static const QRegularExpression hex(QStringLiteral("0x[0-9a-fA-F]+"));
    for (auto it = hex.globalMatch(out); it.hasNext();) ids.push_back(it.next().captured(0).toULongLong(nullptr, 16));
    return ids;
}

// The window that has the input focus, as the window manager says.
WId activeWindow() {
    const QString out = run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")});
    static const QRegularExpression hex(QStringLiteral("0x[0-9a-fA-F]+"));
    const auto m = hex.match(out);
    return m.hasMatch() ? m.captured(0).toULongLong(nullptr, 16) : 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: modal_on_x_host LAYOUTS RESOURCES OPENINGS\n");
        return 2;
    }
    const int openings = std::atoi(argv[3]);
    using tolvane::qt::QtPlatform;
    QtPlatform p({argv[1]}, QtPlatform::Mode::Interactive);
    tolvane::app::ApplicationOptions options;
    options.resourceFolder = argv[2];
    tolvane::app::Application application(p, options);

    int opened = 0;      // openings started
    int checked = 0;     // openings that passed their checks
    bool inside = false; // an opening is under way
    QElapsedTimer since; // since the opening began, or since the last one ended
    int gapMs = 0;       // how long to wait before the next opening
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        const tolvane::app::WindowId main = application.scriptWindow("main");
        QWidget* mainWidget = main ? p.widget(main) : nullptr;
        if (!mainWidget || !mainWidget->isVisible()) return;
        const tolvane::app::WindowId waiting = p.waitingWindow();
        if (!inside) {
            if (waiting != 0) return;
            if (opened == openings) {
                person.stop();
                qobject_cast<QAction*>(p.controlObject(main, "menuFileExit"))->trigger();
                return;
            }
            if (since.isValid() && since.elapsed() < gapMs) return;
            ++opened;
            inside = true;
            since.start();
            // The menu item blocks in its modal wait: chosen from the event
            // loop, so this timer keeps running inside the wait.
            QTimer::singleShot(0, [&p, main] {
                qobject_cast<QAction*>(p.controlObject(main, "menuConfigSigGenIO"))->trigger();
            });
            return;
        }
        if (waiting == 0) {
            if (since.elapsed() > 5000) {
                fail("opening " + std::to_string(opened) + ": no modal wait began");
                inside = false;
            }
            return;
        }
        QWidget* dialog = p.widget(waiting);
        const bool mapped = dialog && dialog->isVisible() && dialog->windowHandle() &&
                            dialog->windowHandle()->isExposed() && viewable(dialog->winId());
        const QList<WId> order = stacking();
        const bool above = dialog && order.indexOf(dialog->winId()) > order.indexOf(mainWidget->winId()) &&
                           order.indexOf(mainWidget->winId()) >= 0;
        const bool focused = dialog && activeWindow() == dialog->winId();
        if (!(mapped && above && focused)) {
            if (since.elapsed() < 3000) return;  // the window manager may take a moment
            fail("opening " + std::to_string(opened) + ": the modal window is" + (mapped ? "" : " not mapped") +
                 (above ? "" : " not above the main window") + (focused ? "" : " not the active window"));
        } else {
            ++checked;
        }
        // The person cancels; the next opening follows after 0 to 400 ms.
        inside = false;
        since.start();
        gapMs = (opened * 97) % 401;
        if (auto* cancel = dialog ? dialog->findChild<QPushButton*>(QStringLiteral("pbCancel")) : nullptr)
            cancel->click();
        else
            p.resumeModal(waiting, "Cancel");
    });
    person.start(20);
    QTimer::singleShot(openings * 6000 + 30000, [] {
        std::fprintf(stderr, "modal_on_x_host: the openings did not end in time\n");
        std::_Exit(1);
    });
    tolvane::qt::runApplication(application);
    if (opened != openings) fail("only " + std::to_string(opened) + " openings of " + std::to_string(openings));
    std::printf("modal_on_x_host: %d of %d openings mapped, above the main window and active\n", checked, openings);
    return failures ? 1 : 0;
}
