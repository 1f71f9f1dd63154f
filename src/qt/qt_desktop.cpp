#include "qt/qt_desktop.hpp"

#include <QEventLoop>
#include <QTimer>

namespace tolvane::qt {

void runApplication(app::Application& application) {
    application.start();
    if (!application.running()) return;
    // The application says when it has ended; the loop looks often enough
    // for a person not to notice.
    QEventLoop loop;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (!application.running()) loop.quit();
    });
    watch.start(50);
    loop.exec();
}

}  // namespace tolvane::qt
