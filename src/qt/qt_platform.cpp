// The Qt platform's windows: their lifetime, their properties (mapped in
// qt_properties), the modal wait, pauses, images, figures, the screen and the
// browser.
#include "qt/qt_platform.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>

#include "base/diagnostics.hpp"
#include "qt/figure_widget.hpp"
#include "qt/qt_dialogs.hpp"
#include "qt/qt_text.hpp"

namespace tolvane::qt {

// ----------------------------------------------------------------- set-up

QtPlatform::QtPlatform(std::vector<std::string> layoutFolders, Mode mode)
    : folders_(std::move(layoutFolders)), mode_(mode) {
    // A scripted run reports the headless platform's screen, so that
    // positions read the same on both.
    if (mode_ == Mode::Scripted) screenOverride_ = app::kScriptedScreen;
    // A desktop session keeps only its latest transcript lines.
    if (mode_ == Mode::Interactive) limitTranscript(4096);
}

QtPlatform::~QtPlatform() {
    for (auto& [id, w] : windows_) {
        if (w->widget) {
            w->widget->removeEventFilter(this);
            delete w->widget.data();
        }
    }
    // A scripted run may never return to an event loop that deletes them.
    for (auto& widget : deleted_) delete widget.data();
    delete helpWindow_.data();
}

QtPlatform::Window& QtPlatform::window(WindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) throw Error("Invalid window handle " + std::to_string(id) + ".");
    return *it->second;
}

const QtPlatform::Window& QtPlatform::window(WindowId id) const {
    auto it = windows_.find(id);
    if (it == windows_.end()) throw Error("Invalid window handle " + std::to_string(id) + ".");
    return *it->second;
}

QtPlatform::Control& QtPlatform::control(Window& w, const std::string& tag) {
    auto it = w.controls.find(tag);
    if (it == w.controls.end()) throw Error("The window " + w.tag + " has no control " + tag + ".");
    return it->second;
}

const QtPlatform::Control& QtPlatform::control(const Window& w, const std::string& tag) const {
    auto it = w.controls.find(tag);
    if (it == w.controls.end()) throw Error("The window " + w.tag + " has no control " + tag + ".");
    return it->second;
}

std::string QtPlatform::title(const Window& w) const { return w.widget ? s(w.widget->windowTitle()) : std::string(); }

WindowId QtPlatform::idOf(const QObject* windowWidget) const {
    for (const auto& [id, w] : windows_)
        if (w->widget == windowWidget) return id;
    return 0;
}

QWidget* QtPlatform::widget(WindowId id) const {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second->widget.data();
}

QObject* QtPlatform::controlObject(WindowId id, const std::string& tag) const {
    auto it = windows_.find(id);
    if (it == windows_.end()) return nullptr;
    auto c = it->second->controls.find(tag);
    if (c == it->second->controls.end()) return nullptr;
    if (c->second.action) return c->second.action.data();
    return c->second.widget.data();
}

bool QtPlatform::isWindow(WindowId id) const { return windows_.count(id) != 0; }

void QtPlatform::deleteWindow(WindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    std::unique_ptr<Window> w = std::move(it->second);
    windows_.erase(it);
    if (w->shown) windowLine(false, title(*w));
    // A deleted window cannot be waited on any more: its wait ends with Cancel.
    w->resumed = true;
    if (w->loop) w->loop->quit();
    if (w->widget) {
        w->widget->removeEventFilter(this);
        w->widget->hide();
        // Later: the window may be deleted from one of its own callbacks.
        w->widget->deleteLater();
        deleted_.erase(std::remove_if(deleted_.begin(), deleted_.end(), [](const auto& p) { return p.isNull(); }),
                       deleted_.end());
        deleted_.push_back(w->widget);
    }
}

std::string QtPlatform::windowTag(WindowId id) const { return window(id).tag; }

std::vector<std::string> QtPlatform::controlTags(WindowId id) const { return window(id).order; }

bool QtPlatform::hasControl(WindowId id, const std::string& tag) const { return window(id).controls.count(tag) != 0; }

// ----------------------------------------------------------------- properties

Value QtPlatform::get(WindowId id, const std::string& tag, const std::string& property) const {
    if (!app::isKnownProperty(property)) throw Error("Unknown property " + property + ".");
    const Window& w = window(id);
    if (tag == w.tag) return windowValue(w, property);
    return controlProperty(control(w, tag), property);
}

void QtPlatform::set(WindowId id, const std::string& tag, const std::string& property, Value value) {
    app::checkPropertySet(property, value);
    Window& w = window(id);
    if (tag == w.tag) {
        setWindowValue(w, property, std::move(value));
        return;
    }
    Control& c = control(w, tag);
    ++quietSignals_;
    struct Quiet {
        int& n;
        ~Quiet() { --n; }
    } quiet{quietSignals_};
    setControlProperty(c, property, std::move(value));
}

Value QtPlatform::windowValue(const Window& w, const std::string& property) const {
    if (property == "Visible") return Value::text(w.shown ? "on" : "off");
    if (property == "Tag") return Value::text(w.tag);
    return windowProperty(w.widget, w.stored, screen(), property);
}

void QtPlatform::setWindowValue(Window& w, const std::string& property, Value value) {
    QWidget* top = w.widget;
    if (!top) return;
    if (property != "Visible") {
        setWindowProperty(top, w.stored, screen(), property, std::move(value));
        if (property == "Name" && w.shown && mode_ == Mode::Interactive) fitTitle(top);
        return;
    }
    const bool on = value.str() == "on";
    if (on != w.shown) {
        w.shown = on;
        windowLine(on, title(w));
    }
    if (on) {
        // A scripted window keeps the layout's size, as on the headless platform.
        if (mode_ == Mode::Interactive) fitTitle(top);
        top->show();
        top->raise();
        top->activateWindow();
    } else {
        top->hide();
    }
}

// ----------------------------------------------------------------- modal wait

namespace {

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::ContextMenu:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

}  // namespace

bool QtPlatform::ModalFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!isInput(type) && type != QEvent::WindowActivate) return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target) return false;
    const WindowId waiting = platform.waitingWindow();
    QWidget* allowed = platform.widget(waiting);
    QWidget* window = target->window();
    // Only the platform's other windows are kept from input: Qt's dialogs
    // (message boxes, file dialogs) a callback of the waiting window opens
    // are modal on their own.
    if (!allowed || window == allowed || platform.idOf(window) == 0) return false;
    // The waiting window comes back on top and active, later: not inside
    // the window system's event.
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonRelease && type != QEvent::KeyRelease) {
        QPointer<QWidget> keep(allowed);
        QTimer::singleShot(0, &platform, [keep] {
            if (keep && keep->isVisible()) {
                keep->raise();
                keep->activateWindow();
            }
        });
    }
    if (type == QEvent::WindowActivate) return false;
    if (type == QEvent::Close) event->ignore();
    return true;
}

std::string QtPlatform::waitModal(WindowId id) {
    Window& w = window(id);
    w.resumed = false;
    w.answer.clear();
    const ModalWait wait(*this, id);
    if (hasPump()) {
        // The events are processed before each step of the script.
        return runPump(
            id,
            [&]() -> std::optional<std::string> {
                QCoreApplication::processEvents();
                auto it = windows_.find(id);
                if (it == windows_.end()) return "Cancel";  // deleted while waiting
                if (it->second->resumed) return it->second->answer;
                return std::nullopt;
            },
            [&] { return title(window(id)); });
    }
    // Other windows take no input while this one waits. Qt makes a window
    // modal only when it is shown; a window on the screen already (the
    // logic shows it, then waits) used to be hidden and shown again for it,
    // and a window manager may lose so quick an unmap and map: the window
    // then stayed unmapped while modal, and nothing took input. So a shown
    // window is never mapped again: it is marked modal, and the platform's
    // filter (modalFilter) keeps the input from the other windows and the
    // waiting window on top and active. A hidden window takes Qt's own
    // modality when the logic shows it.
    QWidget* top = w.widget;
    const Qt::WindowModality before = top ? top->windowModality() : Qt::NonModal;
    const bool qtModal = top && !top->isVisible();
    if (top && before != Qt::ApplicationModal) top->setWindowModality(Qt::ApplicationModal);
    if (top && top->isVisible()) {
        top->raise();
        top->activateWindow();
    }
    ModalFilter filter(*this);
    qApp->installEventFilter(&filter);
    QEventLoop loop;
    w.loop = &loop;
    loop.exec();
    qApp->removeEventFilter(&filter);
    auto it = windows_.find(id);
    if (it == windows_.end()) return "Cancel";
    Window& after = *it->second;
    after.loop = nullptr;
    if (after.widget && before != Qt::ApplicationModal) {
        // Qt lets a modal window go only when it is hidden: one that took
        // Qt's modality and is still shown is hidden and shown again; it is
        // no longer modal, so a window manager that lost it blocks nothing.
        const bool visible = after.widget->isVisible();
        const bool again = visible && qtModal && QGuiApplication::modalWindow() == after.widget->windowHandle();
        if (again) after.widget->hide();
        after.widget->setWindowModality(before);
        if (again) after.widget->show();
    }
    return after.resumed ? after.answer : "Cancel";
}

void QtPlatform::resumeModal(WindowId id, const std::string& answer) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    if (!waitsOn(id)) return;  // nothing waits on it
    it->second->resumed = true;
    it->second->answer = answer;
    if (it->second->loop) it->second->loop->quit();
}

// ----------------------------------------------------------------- time

void QtPlatform::pause(double seconds) {
    if (!(seconds > 0)) return;
    if (mode_ == Mode::Scripted) {
        // A scripted run skips the wait (the splash's seconds) but the
        // stopwatch sees it pass.
        skipTime(seconds);
        QCoreApplication::processEvents();
        return;
    }
    // The windows keep painting while the time passes.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::min(seconds, 86400.0) * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// ----------------------------------------------------------------- images, figures

void QtPlatform::showImage(WindowId id, const std::string& tag, const std::string& path) {
    Window& w = window(id);
    Control& c = control(w, tag);
    QPixmap pixmap;
    if (!pixmap.load(q(path))) throw Error("The image " + path + " cannot be read.");
    if (auto* label = qobject_cast<QLabel*>(c.widget.data())) {
        const QSize room = label->size();
        if (room.width() > 1 && room.height() > 1)
            pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        label->setPixmap(pixmap);
        label->setAlignment(Qt::AlignCenter);
    } else if (auto* button = qobject_cast<QAbstractButton*>(c.widget.data())) {
        button->setIcon(QIcon(pixmap));
        button->setIconSize(button->size());
    } else {
        throw Error("The control " + tag + " cannot show an image.");
    }
}

WindowId QtPlatform::showFigure(const display::Figure& figure) {
    QWidget* top = createFigureWindow(figure, nullptr);
    if (!top) throw Error("The display " + figure.name + " cannot be drawn.");
    top->setAttribute(Qt::WA_DeleteOnClose, false);
    const WindowId id = next_++;
    auto w = std::make_unique<Window>();
    w->tag = "figure" + std::to_string(id);
    w->widget = top;
    w->stored["Units"] = Value::text(figure.units);
    w->stored["Pointer"] = Value::text("arrow");
    w->dispatcher = [this](const CallbackEvent& e) { deleteWindow(e.window); };
    top->setWindowTitle(q(figure.name));
    if (mode_ == Mode::Interactive) fitTitle(top);
    top->installEventFilter(this);
    windows_.emplace(id, std::move(w));
    // The figure window comes sized (its plot at the figure's size, the menu
    // bar on top) and placed from the top of the screen; its bottom edge is
    // moved to where the figure's bottom, measured up from the screen's
    // bottom, puts it.
    const ScreenFacts sc = screen();
    const double bottom = figure.units == "normalized" ? figure.position[1] * sc.height : figure.position[1];
    const QRect g = top->geometry();
    top->setGeometry(g.x(), std::max(0, static_cast<int>(std::lround(sc.height - bottom)) - g.height()), g.width(),
                     g.height());
    set(id, "figure" + std::to_string(id), "Visible", Value::text("on"));
    if (mode_ == Mode::Scripted) figures_.push_back(figure);
    return id;
}

// ----------------------------------------------------------------- screen, browser

ScreenFacts QtPlatform::screen() const {
    if (screenOverride_) return *screenOverride_;
    ScreenFacts facts;
    if (const QScreen* sc = QGuiApplication::primaryScreen()) {
        facts.width = sc->geometry().width();
        facts.height = sc->geometry().height();
        facts.dpi = sc->logicalDotsPerInch();
    }
    return facts;
}

bool QtPlatform::openInBrowser(const std::string& path) {
    browser_.push_back(path);
    if (!browserAvailable_) return false;
    if (mode_ == Mode::Scripted) return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(q(path)));
}

QWidget* QtPlatform::helpWindow() const { return helpWindow_.data(); }

bool QtPlatform::showHelpPage(const std::string& path) {
    const std::string title = app::helpPageTitle(path);
    if (title.empty()) return false;
    QFile file(q(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (!helpWindow_) {
        auto* browser = new QTextBrowser;
        browser->setAttribute(Qt::WA_DeleteOnClose, false);
        // Links to other pages open in the same window; links to the web go
        // to the system browser, when there is one.
        browser->setOpenExternalLinks(true);
        browser->setObjectName(QStringLiteral("helpWindow"));
        const QRect room = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                              : QRect(0, 0, 1280, 1024);
        browser->resize(std::min(900, room.width() * 3 / 4), std::min(700, room.height() * 3 / 4));
        helpWindow_ = browser;
    }
    auto* browser = static_cast<QTextBrowser*>(helpWindow_.data());
    browser->setSearchPaths({QFileInfo(q(path)).absolutePath()});
    browser->setSource(QUrl::fromLocalFile(QFileInfo(q(path)).absoluteFilePath()), QTextDocument::HtmlResource);
    browser->setWindowTitle(q(title));
    fitTitle(browser);
    helpPages_.push_back(path);
    windowLine(true, title);
    browser->show();
    browser->raise();
    browser->activateWindow();
    return true;
}

}  // namespace tolvane::qt
