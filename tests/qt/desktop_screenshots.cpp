// Pictures of the desktop for the documentation: starts the application on
// the X server it is given (Xvfb with a window manager, so that the title
// bars show) and, as a person would, grabs the main window, the RPC setup
// (Slot Setup, then Setup on slot 1), the progress window of long work and
// the About window, each with its frame, into PNG files.
//
// Arguments: the layouts folder, the resources folder, the output folder.
// Run by tests/qt/desktop_screenshots.sh.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "app/application.hpp"
#include "qt/qt_desktop.hpp"
#include "qt/qt_platform.hpp"

namespace {

int failures = 0;
std::string outFolder;

void grab(QWidget* window, const char* name) {
    QApplication::processEvents();
    // The window with the window manager's frame around it (its title bar).
    QRect frame = window->frameGeometry();
    if (QWindow* handle = window->windowHandle()) {
        const QMargins m = handle->frameMargins();
        frame = QRect(handle->geometry()).marginsAdded(m);
    }
    std::printf("desktop_screenshots: %s geometry %d,%d %dx%d frame %d,%d %dx%d\n", name, window->geometry().x(),
                window->geometry().y(), window->width(), window->height(), frame.x(), frame.y(), frame.width(),
                frame.height());
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                                         frame.height());
    const std::string path = outFolder + "/" + name + ".png";
    if (!shot.save(QString::fromStdString(path))) {
        std::fprintf(stderr, "desktop_screenshots: cannot write %s\n", path.c_str());
        ++failures;
    } else {
        std::printf("desktop_screenshots: %s (%d x %d)\n", path.c_str(), frame.width(), frame.height());
    }
}

// Runs `act` once `ready` finds its window and a moment has passed for the
// window manager to draw it. The two are kept until the program ends: the
// later steps are set up inside `act` and use what it holds.
void when(std::function<QWidget*()> ready, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(50);
    auto seen = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, ready, act, seen] {
        QWidget* w = ready();
        if (!w || !w->isVisible()) return;
        if (++*seen < 12) return;
        timer->stop();
        act(w);
    });
    timer->start();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: desktop_screenshots LAYOUTS RESOURCES OUTPUT_FOLDER\n");
        return 2;
    }
    outFolder = argv[3];
    using tolvane::qt::QtPlatform;
    QtPlatform p({argv[1]}, QtPlatform::Mode::Interactive);
    tolvane::app::ApplicationOptions options;
    options.resourceFolder = argv[2];
    tolvane::app::Application application(p, options);
    auto window = [&](const char* name) -> QWidget* {
        const tolvane::app::WindowId w = application.scriptWindow(name);
        return w ? p.widget(w) : nullptr;
    };
    auto click = [](QWidget* top, const char* tag) {
        QTimer::singleShot(0, [top, tag] {
            if (auto* b = top->findChild<QPushButton*>(QString::fromLatin1(tag))) b->click();
        });
    };

    // A choice in a pop-up and a typed entry, as a person makes them.
    auto choose = [](QWidget* top, const char* tag, int index) {
        auto* combo = top->findChild<QComboBox*>(QString::fromLatin1(tag));
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    };
    auto type = [](QWidget* top, const char* tag, const char* text) {
        auto* edit = top->findChild<QLineEdit*>(QString::fromLatin1(tag));
        edit->setText(QString::fromLatin1(text));
        emit edit->returnPressed();
    };

    when([&] { return window("main"); }, [&](QWidget* main) {
        grab(main, "main_window");
        // The traffic-packet mode: a 64-slot frame filled with DRC 12.
        choose(main, "pdMode", 2);
        type(main, "txtFrameSlots", "64");
        click(main, "pbPacketSetup");
        when([&] { return window("packets"); }, [&, main](QWidget* packets) {
            choose(packets, "pdDRC", 11);
            click(packets, "pbFill");
            QTimer::singleShot(300, [&, main, packets] {
                grab(packets, "packet_setup");
                click(packets, "pbOK");
                QTimer::singleShot(300, [&, main] {
                    grab(main, "main_window_packets");
                    click(main, "pbSlotSetup");
                });
            });
        });
        when([&] { return window("slot"); }, [&, main](QWidget* slot) {
            click(slot, "pbPRCslotSetup1");
            when([&] { return window("rpc"); }, [&, main, slot](QWidget* rpc) {
                grab(rpc, "rpc_setup");
                click(rpc, "pbCancel");
                when([&, slot] { return window("rpc") ? nullptr : slot; }, [&, main](QWidget* slotAgain) {
                    click(slotAgain, "pbCancel");
                    // The progress window of a long piece of work.
                    QTimer::singleShot(300, [&, main] {
                        bool grabbed = false;
                        when([] { return QApplication::activeModalWidget(); }, [&](QWidget* progress) {
                            grab(progress, "progress_window");
                            grabbed = true;
                        });
                        p.runBusy("Downloading the waveform", true, [&](tolvane::app::Progress& progress) {
                            for (int i = 0; i < 400 && !grabbed; ++i) {
                                progress.report(0.37);
                                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                            }
                        });
                        // Help > About, then File > Exit.
                        when([&] {
                            for (QWidget* w : QApplication::topLevelWidgets())
                                if (w->objectName() == QStringLiteral("QV_About") && w->isVisible()) return w;
                            return static_cast<QWidget*>(nullptr);
                        }, [&, main](QWidget* about) {
                            grab(about, "about");
                            click(about, "pbOK");
                            QTimer::singleShot(300, [main] {
                                main->findChild<QAction*>(QStringLiteral("menuFileExit"))->trigger();
                            });
                        });
                        QTimer::singleShot(0, [main] {
                            main->findChild<QAction*>(QStringLiteral("menuHelpAbout"))->trigger();
                        });
                    });
                });
            });
        });
    });
    QTimer::singleShot(90000, [] {
        std::fprintf(stderr, "desktop_screenshots: did not finish in time\n");
        std::_Exit(1);
    });
    tolvane::qt::runApplication(application);
    return failures ? 1 : 0;
}
