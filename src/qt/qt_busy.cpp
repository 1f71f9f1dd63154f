// Long work off the event thread: the work runs on a thread of its own while
// the event loop keeps the windows painted, the pointer shows the busy watch,
// the windows take no input, and after a moment a progress window shows how
// far the work is (with Cancel where the work can stop early).
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <thread>

#include "qt/qt_dialogs.hpp"
#include "qt/qt_platform.hpp"

namespace tolvane::qt {

namespace {

// What the work tells, read by the event thread: atomics only.
class ThreadProgress : public app::Progress {
public:
    void report(double fraction) override {
        if (std::isnan(fraction)) return;
        permille_.store(static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 1000)));
    }
    bool cancelled() const override { return cancel_.load(); }

    int permille() const { return permille_.load(); }  // -1: nothing reported yet
    void cancel() { cancel_.store(true); }

private:
    std::atomic<int> permille_{-1};
    std::atomic<bool> cancel_{false};
};

// Swallows the person's input to every window but the progress window, so
// that no callback starts while the work runs.
class InputBlocker : public QObject {
public:
    QPointer<QWidget> allowed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::ContextMenu: {
            auto* target = qobject_cast<QWidget*>(watched);
            if (target && allowed && (target == allowed || allowed->isAncestorOf(target))) return false;
            return target != nullptr || watched->isWindowType();
        }
        default:
            return false;
        }
    }
};

}  // namespace

bool QtPlatform::runBusy(const std::string& what, bool cancellable, const std::function<void(app::Progress&)>& work) {
    ThreadProgress progress;
    std::exception_ptr failure;
    std::atomic<bool> done{false};

    const bool wasBusy = busy_;
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    InputBlocker blocker;
    QProgressDialog dialog(QString::fromStdString(what), cancellable ? QStringLiteral("Cancel") : QString(), 0, 1000,
                           dialogParent());
    dialog.setWindowTitle(QString::fromStdString(what));
    fitTitle(&dialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(400);
    dialog.setValue(0);
    blocker.allowed = &dialog;
    qApp->installEventFilter(&blocker);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] {
        if (!cancellable) return;
        progress.cancel();
        dialog.setLabelText(QString::fromStdString(what) + QStringLiteral(" - cancelling..."));
    });

    std::thread worker([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        done.store(true);
    });

    // The event thread only polls: no Qt call crosses the threads.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done.load()) {
            loop.quit();
            return;
        }
        const int p = progress.permille();
        if (p < 0) {
            if (dialog.maximum() != 0) dialog.setRange(0, 0);  // how far is not known: a busy bar
        } else {
            if (dialog.maximum() == 0) dialog.setRange(0, 1000);
            dialog.setValue(p);
        }
    });
    poll.start(15);
    loop.exec();
    poll.stop();
    worker.join();

    qApp->removeEventFilter(&blocker);
    dialog.hide();
    QApplication::restoreOverrideCursor();
    busy_ = wasBusy;
    if (failure) std::rethrow_exception(failure);
    return !progress.cancelled();
}

}  // namespace tolvane::qt
