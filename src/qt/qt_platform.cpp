#include "qt/qt_platform.hpp"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QUiLoader>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "app/headless/ui_layout.hpp"
#include "app/platform/value_text.hpp"
#include "base/diagnostics.hpp"
#include "qt/figure_widget.hpp"
#include "qt/qt_dialogs.hpp"

namespace tolvane::qt {

using app::displayText;
using app::oneLine;

struct QtPlatform::Control {
    std::string tag;
    QPointer<QWidget> widget;
    QPointer<QAction> action;      // menu items (a menu: its menu action)
    QPointer<QAction> separator;   // the separator above a menu item
    std::string widgetClass;
    std::string parentTag;
    bool isMenuItem = false;
    bool edited = false;           // an edit's text changed by the person since its last callback
    std::map<std::string, Value> stored;  // what was last given, or a property the widget lacks
};

struct QtPlatform::Window {
    std::string layout;
    std::string tag;
    QPointer<QWidget> widget;
    QPointer<QMenuBar> menuBar;
    std::vector<std::string> order;
    std::map<std::string, Control> controls;
    std::map<std::string, Value> stored;
    bool shown = false;
    Dispatcher dispatcher;
    bool resumed = false;
    std::string answer;
    QEventLoop* loop = nullptr;
};

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }

bool isOnOff(const Value& v) { return v.isText() && (v.str() == "on" || v.str() == "off"); }
Value onOff(bool on) { return Value::text(on ? "on" : "off"); }

bool lowerEquals(const std::string& a, const char* b) {
    std::string l = a;
    std::transform(l.begin(), l.end(), l.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return l == b;
}

// Layout names are plain names: a name with a path or odd characters could
// reach files outside the layout folders (the same rule as the headless
// platform's).
std::string plainLayoutName(std::string name) {
    for (const char* ext : {".fig", ".ui"}) {
        const std::string e = ext;
        if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) {
            name.resize(name.size() - e.size());
            break;
        }
    }
    const bool plain = !name.empty() && name.size() <= 128 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
    if (!plain) throw Error("'" + name + "' is not a layout name.");
    return name;
}

std::string joined(const std::vector<std::string>& parts, const std::string& sep) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? sep : "") + parts[i];
    return out;
}

double number(const Value& v, const std::string& property) {
    if (!v.isReal() || v.numel() != 1) throw Error("The property " + property + " takes a number.");
    return v.realAt(0);
}

std::vector<double> rect(const Value& v, const std::string& property) {
    if (!v.isReal() || v.numel() != 4) throw Error("The property " + property + " takes [left bottom width height].");
    return v.realData();
}

QColor color(const Value& v) {
    if (!v.isReal() || v.numel() != 3) throw Error("The property Color takes [r g b], each 0..1.");
    const auto c = v.realData();
    for (double x : c)
        if (!(x >= 0 && x <= 1)) throw Error("The property Color takes [r g b], each 0..1.");
    return QColor::fromRgbF(static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]));
}

Value colorValue(const QColor& c) {
    // Two decimals: the 8-bit channels of a palette colour carry no more.
    auto r = [](float x) { return std::round(static_cast<double>(x) * 100) / 100; };
    return Value::row({r(c.redF()), r(c.greenF()), r(c.blueF())});
}

// The texts of a cell list (or of one text split at "|", as pop-up items are
// written in one text).
QStringList itemTexts(const Value& v) {
    QStringList items;
    if (v.isCell()) {
        for (std::size_t i = 0; i < v.numel(); ++i) items << q(displayText(v.cells()[i]));
    } else if (v.isText()) {
        if (!v.str().empty()) items = q(v.str()).split('|');
    } else if (v.isSet() && v.numel() > 0) {
        items << q(displayText(v));
    }
    return items;
}

Value itemsValue(const QStringList& items) {
    std::vector<Value> cells;
    for (const auto& t : items) cells.push_back(Value::text(s(t)));
    return Value::cell(std::move(cells));
}

// The text a widget shows for a String value: a text as it is, a number as
// its text, a cell list of lines one under the other.
QString shownText(const Value& v) {
    if (v.isCell()) return itemTexts(v).join('\n');
    return q(displayText(v));
}

}  // namespace

// ----------------------------------------------------------------- set-up

QtPlatform::QtPlatform(std::vector<std::string> layoutFolders, Mode mode)
    : folders_(std::move(layoutFolders)), mode_(mode) {
    // A scripted run reports the headless platform's screen, so that
    // positions read the same on both.
    if (mode_ == Mode::Scripted) screenOverride_ = app::kScriptedScreen;
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

WindowId QtPlatform::openLayout(const std::string& layoutName) {
    const std::string name = plainLayoutName(layoutName);
    for (const auto& [id, w] : windows_)
        if (w->layout == name) return id;
    std::string path;
    for (const auto& folder : folders_) {
        const auto candidate = std::filesystem::path(folder) / (name + ".ui");
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            path = candidate.string();
            break;
        }
    }
    if (path.empty()) throw Error("The window layout " + name + " was not found.");
    // The layout reader checks the file within its bounds first and gives the
    // tags in layout order; QUiLoader then builds the widgets.
    const app::Layout layout = app::readLayoutFile(path);

    QFile file(q(path));
    if (!file.open(QIODevice::ReadOnly)) throw Error("The window layout " + path + " cannot be read.");
    QUiLoader loader;
    loader.setWorkingDirectory(QFileInfo(q(path)).absoluteDir());
    QWidget* top = loader.load(&file, nullptr);
    if (!top) throw Error("The window layout " + path + " cannot be built: " + s(loader.errorString()));
    top->hide();
    top->setAttribute(Qt::WA_DeleteOnClose, false);

    auto w = std::make_unique<Window>();
    w->layout = name;
    w->tag = layout.windowTag;
    w->widget = top;
    w->stored["Units"] = Value::text("pixels");
    w->stored["Pointer"] = Value::text("arrow");
    if (auto* mw = qobject_cast<QMainWindow*>(top)) w->menuBar = qobject_cast<QMenuBar*>(mw->menuWidget());
    for (const auto& lc : layout.controls) {
        Control c;
        c.tag = lc.tag;
        c.widgetClass = lc.widgetClass;
        c.parentTag = lc.parentTag;
        c.isMenuItem = lc.isMenuItem;
        if (lc.widgetClass == "QAction") {
            c.action = top->findChild<QAction*>(q(lc.tag));
        } else if (lc.widgetClass == "QMenu") {
            if (auto* menu = top->findChild<QMenu*>(q(lc.tag))) {
                c.widget = menu;
                c.action = menu->menuAction();
            }
        } else {
            c.widget = top->findChild<QWidget*>(q(lc.tag));
        }
        if (!c.widget && !c.action) {
            delete top;
            throw Error("The window layout " + path + " names a control " + lc.tag + " that could not be built.");
        }
        // A menu item's check mark is the logic's to set; Qt shows a mark
        // box only for a checked item.
        if (c.action && lc.widgetClass == "QAction") {
            const bool on = c.action->isChecked();
            c.action->setCheckable(on);
            c.stored["Checked"] = onOff(on);
        }
        // An action's own tip is kept apart: Qt offers its label as the tip.
        if (c.action) {
            c.stored["TooltipString"] = Value::text("");
            for (const auto& [name, v] : lc.properties)
                if (name == "TooltipString") c.stored["TooltipString"] = v;
        }
        // Return in a dialog's edit is the edit's own: it must not press a
        // button of the window.
        if (auto* b = qobject_cast<QPushButton*>(c.widget.data())) {
            b->setAutoDefault(false);
            b->setDefault(false);
        }
        w->order.push_back(lc.tag);
        w->controls.emplace(lc.tag, std::move(c));
    }
    const WindowId id = next_++;
    top->installEventFilter(this);
    Window& ref = *w;
    windows_.emplace(id, std::move(w));
    for (auto& [tag, c] : ref.controls) connectControl(id, tag, c);
    // A scripted run starts the window as the headless platform does, so
    // that a script reads the same on both: at the layout's position, taken
    // as [left bottom width height] (QUiLoader keeps only the size, and the
    // window system would choose the place), and with every control at the
    // scripted font size instead of the desktop's font. An interactive window keeps the
    // window system's place and the person's font.
    if (mode_ == Mode::Scripted) {
        if (layout.position.isSet()) setWindowProperty(id, ref, "Position", layout.position);
        for (auto& [tag, c] : ref.controls) setControlProperty(c, "FontSize", Value::scalar(app::kScriptedFontSize));
    }
    return id;
}

bool QtPlatform::isWindow(WindowId id) const { return windows_.count(id) != 0; }

void QtPlatform::deleteWindow(WindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    std::unique_ptr<Window> w = std::move(it->second);
    windows_.erase(it);
    if (w->shown) note("window closed \"" + oneLine(title(*w)) + "\"");
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
    if (tag == w.tag) return windowProperty(w, property);
    return controlProperty(w, control(w, tag), property);
}

void QtPlatform::set(WindowId id, const std::string& tag, const std::string& property, Value value) {
    if (!app::isKnownProperty(property)) throw Error("Unknown property " + property + ".");
    if (property == "Tag") throw Error("The property Tag cannot be set.");
    if ((property == "Enable" || property == "Visible" || property == "Checked") && !isOnOff(value))
        throw Error("The property " + property + " takes \"on\" or \"off\".");
    if ((property == "Name" || property == "Pointer" || property == "Units" || property == "TooltipString") &&
        !value.isText())
        throw Error("The property " + property + " takes a text.");
    Window& w = window(id);
    if (tag == w.tag) {
        setWindowProperty(id, w, property, std::move(value));
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

Value QtPlatform::windowProperty(const Window& w, const std::string& property) const {
    QWidget* top = w.widget;
    if (property == "Name") return Value::text(top ? s(top->windowTitle()) : std::string());
    if (property == "Visible") return onOff(w.shown);
    if (property == "Enable") return onOff(top && !top->testAttribute(Qt::WA_ForceDisabled));
    if (property == "Tag") return Value::text(w.tag);
    if (property == "Position" && top) {
        const QRect g = top->geometry();
        const ScreenFacts sc = screen();
        std::vector<double> p{double(g.x()), sc.height - double(g.y() + g.height()), double(g.width()),
                              double(g.height())};
        auto units = w.stored.find("Units");
        if (units != w.stored.end() && units->second.isText() && units->second.str() == "normalized" &&
            sc.width > 0 && sc.height > 0)
            p = {p[0] / sc.width, p[1] / sc.height, p[2] / sc.width, p[3] / sc.height};
        return Value::row(std::move(p));
    }
    auto it = w.stored.find(property);
    if (it != w.stored.end()) return it->second;
    if (property == "Color" && top) return colorValue(top->palette().color(QPalette::Window));
    return Value::empty();
}

void QtPlatform::setWindowProperty(WindowId id, Window& w, const std::string& property, Value value) {
    QWidget* top = w.widget;
    if (!top) return;
    if (property == "Name") {
        top->setWindowTitle(q(value.str()));
    } else if (property == "Visible") {
        const bool on = value.str() == "on";
        if (on != w.shown) {
            w.shown = on;
            note(std::string("window ") + (on ? "opened" : "closed") + " \"" + oneLine(title(w)) + "\"");
        }
        if (on) {
            top->show();
            top->raise();
            top->activateWindow();
        } else {
            top->hide();
        }
    } else if (property == "Enable") {
        top->setEnabled(value.str() == "on");
    } else if (property == "Pointer") {
        if (lowerEquals(value.str(), "watch"))
            top->setCursor(Qt::WaitCursor);
        else
            top->unsetCursor();
        w.stored[property] = std::move(value);
    } else if (property == "Position") {
        std::vector<double> p = rect(value, property);
        const ScreenFacts sc = screen();
        auto units = w.stored.find("Units");
        if (units != w.stored.end() && units->second.isText() && units->second.str() == "normalized")
            p = {p[0] * sc.width, p[1] * sc.height, p[2] * sc.width, p[3] * sc.height};
        const int width = static_cast<int>(std::lround(p[2])), height = static_cast<int>(std::lround(p[3]));
        top->setGeometry(static_cast<int>(std::lround(p[0])),
                         static_cast<int>(std::lround(sc.height - p[1] - p[3])), width, height);
    } else if (property == "Color") {
        QPalette pal = top->palette();
        pal.setColor(QPalette::Window, color(value));
        top->setPalette(pal);
        top->setAutoFillBackground(true);
        w.stored[property] = std::move(value);
    } else {
        w.stored[property] = std::move(value);
    }
    (void)id;
}

Value QtPlatform::controlProperty(const Window& w, const Control& c, const std::string& property) const {
    (void)w;
    QWidget* wid = c.widget;
    QAction* act = c.action;
    auto stored = [&](const char* p) -> const Value* {
        auto it = c.stored.find(p);
        return it == c.stored.end() ? nullptr : &it->second;
    };
    if (property == "Tag") return Value::text(c.tag);
    if (property == "Enable") return onOff(act ? act->isEnabled() : !wid->testAttribute(Qt::WA_ForceDisabled));
    if (property == "Visible") return onOff(act ? act->isVisible() : !wid->isHidden());
    if (property == "TooltipString") {
        if (act) return stored("TooltipString") ? *stored("TooltipString") : Value::text("");
        return Value::text(s(wid->toolTip()));
    }
    if (property == "String") {
        if (auto* combo = qobject_cast<QComboBox*>(wid)) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
            return itemsValue(items);
        }
        if (auto* list = qobject_cast<QListWidget*>(wid)) {
            QStringList items;
            for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
            return itemsValue(items);
        }
        QString text;
        bool native = true;
        QString (*shown)(const Value&) = shownText;
        if (act)
            text = act->text();
        else if (auto* e = qobject_cast<QLineEdit*>(wid))
            text = e->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(wid)) {
            text = b->text();
            shown = [](const Value& v) { return literalLabel(s(shownText(v))); };
        } else if (auto* l = qobject_cast<QLabel*>(wid))
            text = l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(wid))
            text = g->title();
        else if (auto* t = qobject_cast<QTextEdit*>(wid))
            text = t->toPlainText();
        else if (auto* t = qobject_cast<QPlainTextEdit*>(wid))
            text = t->toPlainText();
        else
            native = false;
        const Value* given = stored("String");
        if (!native) return given ? *given : Value::text("");
        // The value as it was given, while the widget still shows it.
        if (given && shown(*given) == text) return *given;
        return Value::text(s(text));
    }
    if (property == "Value") {
        const Value* given = stored("Value");
        // A pop-up or list without a current entry reads as the entry given,
        // or as the first one.
        if (auto* combo = qobject_cast<QComboBox*>(wid)) {
            if (combo->currentIndex() < 0) return given ? *given : Value::scalar(1);
            return Value::scalar(combo->currentIndex() + 1);
        }
        if (auto* list = qobject_cast<QListWidget*>(wid)) {
            if (list->currentRow() < 0) return given ? *given : Value::scalar(1);
            return Value::scalar(list->currentRow() + 1);
        }
        if (auto* b = qobject_cast<QAbstractButton*>(wid); b && b->isCheckable())
            return Value::scalar(b->isChecked() ? 1 : 0);
        if (auto* g = qobject_cast<QGroupBox*>(wid); g && g->isCheckable()) return Value::scalar(g->isChecked() ? 1 : 0);
        auto exact = [&](double shownValue) {
            if (given && given->isReal() && given->numel() == 1 && std::lround(given->realAt(0)) == std::lround(shownValue))
                return *given;
            return Value::scalar(shownValue);
        };
        if (auto* sl = qobject_cast<QAbstractSlider*>(wid)) return exact(sl->value());
        if (auto* sp = qobject_cast<QSpinBox*>(wid)) return exact(sp->value());
        if (auto* sp = qobject_cast<QDoubleSpinBox*>(wid)) return Value::scalar(sp->value());
        if (auto* pb = qobject_cast<QProgressBar*>(wid)) return exact(pb->value());
        if (given) return *given;
        return Value::scalar(c.widgetClass == "QComboBox" || c.widgetClass == "QListWidget" ? 1 : 0);
    }
    if (property == "Max") {
        const Value* given = stored("Max");
        auto exact = [&](double shownValue) {
            if (given && given->isReal() && given->numel() == 1 && std::lround(given->realAt(0)) == std::lround(shownValue))
                return *given;
            return Value::scalar(shownValue);
        };
        if (auto* sl = qobject_cast<QAbstractSlider*>(wid)) return exact(sl->maximum());
        if (auto* sp = qobject_cast<QSpinBox*>(wid)) return exact(sp->maximum());
        if (auto* sp = qobject_cast<QDoubleSpinBox*>(wid)) return Value::scalar(sp->maximum());
        if (auto* pb = qobject_cast<QProgressBar*>(wid)) return exact(pb->maximum());
        return given ? *given : Value::scalar(1);
    }
    if (property == "Checked") {
        const Value* given = stored("Checked");
        return given ? *given : Value::text("off");
    }
    if (property == "Position") {
        if (!wid || act) {
            const Value* given = stored("Position");
            return given ? *given : Value::row({0, 0, 0, 0});
        }
        const QRect g = wid->geometry();
        std::vector<double> p{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
        const Value* units = stored("Units");
        if (units && units->isText() && units->str() == "normalized" && wid->parentWidget()) {
            const QSize ps = wid->parentWidget()->size();
            if (ps.width() > 0 && ps.height() > 0)
                p = {p[0] / ps.width(), p[1] / ps.height(), p[2] / ps.width(), p[3] / ps.height()};
        }
        return Value::row(std::move(p));
    }
    if (property == "FontSize") {
        const QFont f = act ? act->font() : wid->font();
        if (f.pointSizeF() > 0) return Value::scalar(f.pointSizeF());
        const Value* given = stored("FontSize");
        return given ? *given : Value::scalar(8);
    }
    if (property == "Color") {
        if (const Value* given = stored("Color")) return *given;
        if (!wid) return Value::row({0.94, 0.94, 0.94});
        return colorValue(wid->palette().color(wid->backgroundRole()));
    }
    if (property == "Units") {
        const Value* given = stored("Units");
        return given ? *given : Value::text("pixels");
    }
    const Value* given = stored(property.c_str());
    return given ? *given : Value::empty();
}

void QtPlatform::setControlProperty(Control& c, const std::string& property, Value value) {
    QWidget* wid = c.widget;
    QAction* act = c.action;
    if (property == "Enable") {
        if (act)
            act->setEnabled(value.str() == "on");
        else
            wid->setEnabled(value.str() == "on");
    } else if (property == "Visible") {
        const bool on = value.str() == "on";
        if (act) {
            act->setVisible(on);
            if (c.separator) c.separator->setVisible(on);
        } else {
            wid->setVisible(on);
        }
    } else if (property == "TooltipString") {
        if (act) {
            act->setToolTip(q(value.str()));
            c.stored[property] = std::move(value);
        } else {
            wid->setToolTip(q(value.str()));
        }
    } else if (property == "String") {
        if (auto* combo = qobject_cast<QComboBox*>(wid)) {
            combo->clear();
            combo->addItems(itemTexts(value));
            // A wanted entry given before its items is shown once they are there.
            auto v = c.stored.find("Value");
            if (v != c.stored.end() && v->second.isReal() && v->second.numel() == 1) {
                const long n = std::lround(v->second.realAt(0));
                combo->setCurrentIndex(n >= 1 && n <= combo->count() ? static_cast<int>(n - 1) : -1);
            }
            return;
        }
        if (auto* list = qobject_cast<QListWidget*>(wid)) {
            list->clear();
            list->addItems(itemTexts(value));
            auto v = c.stored.find("Value");
            if (v != c.stored.end() && v->second.isReal() && v->second.numel() == 1) {
                const long n = std::lround(v->second.realAt(0));
                list->setCurrentRow(n >= 1 && n <= list->count() ? static_cast<int>(n - 1) : -1);
            }
            return;
        }
        const QString text = shownText(value);
        if (act && !qobject_cast<QMenu*>(wid))
            act->setText(text);
        else if (auto* menu = qobject_cast<QMenu*>(wid))
            menu->setTitle(text);
        else if (auto* e = qobject_cast<QLineEdit*>(wid)) {
            e->setText(text);
            c.edited = false;
        } else if (auto* b = qobject_cast<QAbstractButton*>(wid))
            b->setText(literalLabel(s(text)));
        else if (auto* l = qobject_cast<QLabel*>(wid)) {
            l->setTextFormat(Qt::PlainText);
            l->setText(text);
        } else if (auto* g = qobject_cast<QGroupBox*>(wid))
            g->setTitle(text);
        else if (auto* t = qobject_cast<QTextEdit*>(wid))
            t->setPlainText(text);
        else if (auto* t = qobject_cast<QPlainTextEdit*>(wid))
            t->setPlainText(text);
        c.stored[property] = std::move(value);
    } else if (property == "Value") {
        const double v = number(value, property);
        if (auto* combo = qobject_cast<QComboBox*>(wid)) {
            const long n = std::lround(v);
            combo->setCurrentIndex(n >= 1 && n <= combo->count() ? static_cast<int>(n - 1) : -1);
        } else if (auto* list = qobject_cast<QListWidget*>(wid)) {
            const long n = std::lround(v);
            list->setCurrentRow(n >= 1 && n <= list->count() ? static_cast<int>(n - 1) : -1);
        } else if (auto* b = qobject_cast<QAbstractButton*>(wid); b && b->isCheckable()) {
            b->setChecked(v != 0);
        } else if (auto* g = qobject_cast<QGroupBox*>(wid); g && g->isCheckable()) {
            g->setChecked(v != 0);
        } else if (auto* sl = qobject_cast<QAbstractSlider*>(wid)) {
            sl->setValue(static_cast<int>(std::lround(v)));
        } else if (auto* sp = qobject_cast<QSpinBox*>(wid)) {
            sp->setValue(static_cast<int>(std::lround(v)));
        } else if (auto* sp = qobject_cast<QDoubleSpinBox*>(wid)) {
            sp->setValue(v);
        } else if (auto* pb = qobject_cast<QProgressBar*>(wid)) {
            pb->setValue(static_cast<int>(std::lround(v)));
        }
        c.stored[property] = std::move(value);
    } else if (property == "Max") {
        const double v = number(value, property);
        const int m = static_cast<int>(std::lround(v));
        if (auto* sl = qobject_cast<QAbstractSlider*>(wid))
            sl->setMaximum(m);
        else if (auto* sp = qobject_cast<QSpinBox*>(wid))
            sp->setMaximum(m);
        else if (auto* sp = qobject_cast<QDoubleSpinBox*>(wid))
            sp->setMaximum(v);
        else if (auto* pb = qobject_cast<QProgressBar*>(wid))
            pb->setMaximum(m);
        c.stored[property] = std::move(value);
    } else if (property == "Checked") {
        if (act) {
            const bool on = value.str() == "on";
            act->setCheckable(on);
            act->setChecked(on);
        }
        c.stored[property] = std::move(value);
    } else if (property == "Position") {
        std::vector<double> p = rect(value, property);
        if (wid && !act) {
            const Value* units = nullptr;
            if (auto u = c.stored.find("Units"); u != c.stored.end()) units = &u->second;
            if (units && units->isText() && units->str() == "normalized" && wid->parentWidget()) {
                const QSize ps = wid->parentWidget()->size();
                p = {p[0] * ps.width(), p[1] * ps.height(), p[2] * ps.width(), p[3] * ps.height()};
            }
            wid->setGeometry(static_cast<int>(std::lround(p[0])), static_cast<int>(std::lround(p[1])),
                             static_cast<int>(std::lround(p[2])), static_cast<int>(std::lround(p[3])));
        } else {
            c.stored[property] = std::move(value);
        }
    } else if (property == "FontSize") {
        const double v = number(value, property);
        if (!(v > 0 && v < 1000)) throw Error("The property FontSize takes a size in points.");
        if (act) {
            QFont f = act->font();
            f.setPointSizeF(v);
            act->setFont(f);
        } else {
            QFont f = wid->font();
            f.setPointSizeF(v);
            wid->setFont(f);
        }
        c.stored[property] = std::move(value);
    } else if (property == "Color") {
        const QColor col = color(value);
        if (wid && !act) {
            QPalette pal = wid->palette();
            pal.setColor(wid->backgroundRole(), col);
            wid->setPalette(pal);
            wid->setAutoFillBackground(true);
        }
        c.stored[property] = std::move(value);
    } else {
        c.stored[property] = std::move(value);
    }
}

// ----------------------------------------------------------------- callbacks

void QtPlatform::setDispatcher(WindowId id, Dispatcher dispatcher) { window(id).dispatcher = std::move(dispatcher); }

void QtPlatform::ActionScope::rethrow() {
    if (platform.pending_) {
        std::exception_ptr e = platform.pending_;
        platform.pending_ = nullptr;
        std::rethrow_exception(e);
    }
}

void QtPlatform::dispatch(WindowId id, const std::string& operation, const std::string& tag) {
    auto it = windows_.find(id);
    if (it == windows_.end() || !it->second->dispatcher) return;
    const Dispatcher dispatcher = it->second->dispatcher;  // the callback may replace it
    try {
        dispatcher(CallbackEvent{operation, id, tag});
    } catch (const Error& e) {
        console(e.what());
    } catch (const std::exception& e) {
        if (actionDepth_ > 0) {
            if (!pending_) pending_ = std::current_exception();
        } else {
            console(e.what());
        }
    } catch (...) {
        if (actionDepth_ > 0) {
            if (!pending_) pending_ = std::current_exception();
        } else {
            console("unknown error in " + operation);
        }
    }
}

void QtPlatform::connectAction(WindowId id, const std::string& tag, QAction* action) {
    QObject::connect(action, &QAction::triggered, this, [this, id, tag, action] {
        auto it = windows_.find(id);
        if (it == windows_.end()) return;
        // The check mark is the logic's to set: undo Qt's own toggling.
        auto c = it->second->controls.find(tag);
        if (c != it->second->controls.end()) {
            auto checked = c->second.stored.find("Checked");
            const bool on = checked != c->second.stored.end() && checked->second.isText() && checked->second.str() == "on";
            action->setCheckable(on);
            action->setChecked(on);
        }
        dispatch(id, tag + "_Callback", tag);
    });
}

void QtPlatform::connectControl(WindowId id, const std::string& tag, Control& c) {
    const std::string op = tag + "_Callback";
    if (auto* menu = qobject_cast<QMenu*>(c.widget.data())) {
        menu->setToolTipsVisible(true);
        QObject::connect(menu, &QMenu::aboutToShow, this, [this, id, op, tag] { dispatch(id, op, tag); });
        return;
    }
    if (c.action) {
        connectAction(id, tag, c.action);
        return;
    }
    QWidget* wid = c.widget;
    if (auto* combo = qobject_cast<QComboBox*>(wid)) {
        QObject::connect(combo, &QComboBox::activated, this, [this, id, op, tag] {
            auto it = windows_.find(id);
            if (it != windows_.end()) it->second->controls[tag].stored.erase("Value");
            dispatch(id, op, tag);
        });
    } else if (auto* edit = qobject_cast<QLineEdit*>(wid)) {
        // Once per edit: Return always, leaving the field only after a change.
        QObject::connect(edit, &QLineEdit::textEdited, this, [this, id, tag] {
            auto it = windows_.find(id);
            if (it != windows_.end()) it->second->controls[tag].edited = true;
        });
        QObject::connect(edit, &QLineEdit::returnPressed, this, [this, id, op, tag] {
            auto it = windows_.find(id);
            if (it == windows_.end()) return;
            it->second->controls[tag].edited = false;
            dispatch(id, op, tag);
        });
        QObject::connect(edit, &QLineEdit::editingFinished, this, [this, id, op, tag] {
            auto it = windows_.find(id);
            if (it == windows_.end()) return;
            Control& ctl = it->second->controls[tag];
            if (!ctl.edited) return;
            ctl.edited = false;
            dispatch(id, op, tag);
        });
    } else if (auto* button = qobject_cast<QAbstractButton*>(wid)) {
        QObject::connect(button, &QAbstractButton::clicked, this, [this, id, op, tag, button] {
            auto it = windows_.find(id);
            if (it != windows_.end() && button->isCheckable()) it->second->controls[tag].stored.erase("Value");
            dispatch(id, op, tag);
        });
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(wid)) {
        QObject::connect(slider, &QAbstractSlider::valueChanged, this, [this, id, op, tag, slider] {
            if (quietSignals_ > 0 || slider->isSliderDown()) return;
            auto it = windows_.find(id);
            if (it != windows_.end()) it->second->controls[tag].stored.erase("Value");
            dispatch(id, op, tag);
        });
        QObject::connect(slider, &QAbstractSlider::sliderReleased, this, [this, id, op, tag] {
            auto it = windows_.find(id);
            if (it != windows_.end()) it->second->controls[tag].stored.erase("Value");
            dispatch(id, op, tag);
        });
    } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(wid)) {
        QObject::connect(spin, &QAbstractSpinBox::editingFinished, this, [this, id, op, tag] {
            auto it = windows_.find(id);
            if (it != windows_.end()) it->second->controls[tag].stored.erase("Value");
            dispatch(id, op, tag);
        });
    } else if (auto* list = qobject_cast<QListWidget*>(wid)) {
        QObject::connect(list, &QListWidget::currentRowChanged, this, [this, id, op, tag] {
            if (quietSignals_ > 0) return;
            auto it = windows_.find(id);
            if (it != windows_.end()) it->second->controls[tag].stored.erase("Value");
            dispatch(id, op, tag);
        });
    }
}

bool QtPlatform::isMenuItem(WindowId id, const std::string& tag) const {
    const Window& w = window(id);
    auto it = w.controls.find(tag);
    return it != w.controls.end() && it->second.isMenuItem;
}

bool QtPlatform::reachable(WindowId id, const std::string& tag) const {
    const Window& w = window(id);
    const Control& c = control(w, tag);
    auto on = [&](const Control& ctl, const char* p) {
        const Value v = controlProperty(w, ctl, p);
        return !v.isText() || v.str() == "on";
    };
    if (!w.shown || !on(c, "Enable") || !on(c, "Visible")) return false;
    // A menu item under a disabled or hidden menu cannot be reached either.
    for (std::string parent = c.parentTag; !parent.empty();) {
        auto p = w.controls.find(parent);
        if (p == w.controls.end()) break;
        if (!on(p->second, "Enable") || !on(p->second, "Visible")) return false;
        parent = p->second.parentTag;
    }
    return true;
}

bool QtPlatform::activate(WindowId id, const std::string& tag) {
    if (!reachable(id, tag)) return false;
    Window& w = window(id);
    Control& c = control(w, tag);
    ActionScope scope(*this);
    // Buttons and menu items are used through the widget itself, so the
    // click travels the same way as a person's; edits, pop-ups, check boxes
    // and sliders have their value set already and only call back.
    auto* push = qobject_cast<QPushButton*>(c.widget.data());
    auto* tool = qobject_cast<QToolButton*>(c.widget.data());
    if (c.action && !qobject_cast<QMenu*>(c.widget.data()) && c.action->isEnabled())
        c.action->trigger();
    else if (push && !push->isCheckable() && push->isEnabled())
        push->click();
    else if (tool && !tool->isCheckable() && tool->isEnabled())
        tool->click();
    else
        dispatch(id, tag + "_Callback", tag);
    scope.rethrow();
    return true;
}

void QtPlatform::userClose(WindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    Window& w = *it->second;
    if (w.dispatcher) {
        dispatch(id, w.tag + "_CloseRequestFcn", w.tag);
        return;
    }
    set(id, w.tag, "Visible", Value::text("off"));
    resumeModal(id, "Cancel");
}

void QtPlatform::requestClose(WindowId id) {
    (void)window(id);
    ActionScope scope(*this);
    userClose(id);
    scope.rethrow();
}

WindowId QtPlatform::findWindow(const std::string& tag) const {
    for (const auto& [id, w] : windows_)
        if (w->tag == tag) return id;
    return 0;
}

bool QtPlatform::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::Close && type != QEvent::KeyPress) return false;
    const WindowId id = idOf(watched);
    if (id == 0) return false;
    if (type == QEvent::KeyPress) {
        // Escape would end a dialog window behind the logic's back.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape || !qobject_cast<QDialog*>(static_cast<QWidget*>(watched))) return false;
    }
    // The close button asks the logic; the window stays as it is until the
    // logic hides or deletes it. Asked later, from the event loop, so the
    // callback does not run inside the window system's event.
    event->ignore();
    if (!busy_) QTimer::singleShot(0, this, [this, id] { userClose(id); });
    return true;
}

// ----------------------------------------------------------------- menus

QMenuBar* QtPlatform::menuBar(Window& w) {
    if (w.menuBar) return w.menuBar;
    if (auto* mw = qobject_cast<QMainWindow*>(w.widget.data())) return w.menuBar = mw->menuBar();
    auto* bar = new QMenuBar(w.widget);
    if (QLayout* layout = w.widget->layout())
        layout->setMenuBar(bar);
    else
        bar->setGeometry(0, 0, w.widget->width(), bar->sizeHint().height());
    w.menuBar = bar;
    return bar;
}

void QtPlatform::addMenuItem(WindowId id, const MenuItem& item) {
    Window& w = window(id);
    if (item.tag.empty()) throw Error("A menu item needs a tag.");
    if (w.controls.count(item.tag) || item.tag == w.tag) throw Error("The tag " + item.tag + " is used twice.");
    Control c;
    c.tag = item.tag;
    c.widgetClass = "QAction";
    c.parentTag = item.parentTag;
    c.isMenuItem = true;
    QAction* action = nullptr;
    if (item.parentTag.empty()) {
        auto* menu = new QMenu(q(item.label), w.widget);
        menu->setToolTipsVisible(true);
        action = menuBar(w)->addMenu(menu);
        c.widget = menu;
        QObject::connect(menu, &QMenu::aboutToShow, this,
                         [this, id, tag = item.tag] { dispatch(id, tag + "_Callback", tag); });
    } else {
        auto parent = w.controls.find(item.parentTag);
        if (parent == w.controls.end() || !parent->second.isMenuItem || !parent->second.action)
            throw Error("There is no menu " + item.parentTag + ".");
        QAction* parentAction = parent->second.action;
        QMenu* menu = parentAction->menu();
        if (!menu) {
            // The item becomes a sub-menu with its first item.
            menu = new QMenu(parentAction->text(), w.widget);
            menu->setToolTipsVisible(true);
            parentAction->setMenu(menu);
        }
        if (item.separatorAbove) c.separator = menu->addSeparator();
        action = menu->addAction(q(item.label));
        connectAction(id, item.tag, action);
    }
    action->setObjectName(q(item.tag));
    action->setVisible(item.visible);
    action->setEnabled(item.enabled);
    if (c.separator) c.separator->setVisible(item.visible);
    c.action = action;
    w.order.push_back(item.tag);
    w.controls.emplace(item.tag, std::move(c));
}

// ----------------------------------------------------------------- modal wait

std::string QtPlatform::waitModal(WindowId id) {
    Window& w = window(id);
    w.resumed = false;
    w.answer.clear();
    waits_.push_back(id);
    struct Pop {
        std::vector<WindowId>& waits;
        ~Pop() { waits.pop_back(); }
    } pop{waits_};
    if (pump_) {
        bool first = true;
        for (;;) {
            QCoreApplication::processEvents();
            auto it = windows_.find(id);
            if (it == windows_.end()) return "Cancel";  // deleted while waiting
            if (it->second->resumed) return it->second->answer;
            if (!pump_(id, first))
                throw app::ScriptFault("nothing resumed the window \"" + oneLine(title(*it->second)) + "\"");
            first = false;
        }
    }
    // Other windows take no input while this one waits.
    QWidget* top = w.widget;
    const Qt::WindowModality before = top ? top->windowModality() : Qt::NonModal;
    if (top && before != Qt::ApplicationModal) {
        const bool visible = top->isVisible();
        if (visible) top->hide();
        top->setWindowModality(Qt::ApplicationModal);
        if (visible) top->show();
    }
    QEventLoop loop;
    w.loop = &loop;
    loop.exec();
    auto it = windows_.find(id);
    if (it == windows_.end()) return "Cancel";
    Window& after = *it->second;
    after.loop = nullptr;
    if (after.widget && before != Qt::ApplicationModal) {
        const bool visible = after.widget->isVisible();
        if (visible) after.widget->hide();
        after.widget->setWindowModality(before);
        if (visible) after.widget->show();
    }
    return after.resumed ? after.answer : "Cancel";
}

void QtPlatform::resumeModal(WindowId id, const std::string& answer) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    if (std::find(waits_.begin(), waits_.end(), id) == waits_.end()) return;  // nothing waits on it
    it->second->resumed = true;
    it->second->answer = answer;
    if (it->second->loop) it->second->loop->quit();
}

// ----------------------------------------------------------------- dialogs

void QtPlatform::note(const std::string& line) {
    // A desktop session keeps only its latest lines.
    if (mode_ == Mode::Interactive && transcript_.size() >= 4096)
        transcript_.erase(transcript_.begin(), transcript_.begin() + 2048);
    transcript_.push_back(line);
    if (sink_) sink_(line);
}

void QtPlatform::dialogLine(const std::string& kind, const std::string& title, const std::string& text,
                            const std::vector<std::string>& buttons) {
    note("dialog " + kind + " \"" + oneLine(title) + "\": " + oneLine(text) + " [" + joined(buttons, "|") + "]");
}

std::string QtPlatform::nextAnswer() {
    std::string a = std::move(answers_.front());
    answers_.pop_front();
    return a;
}

QWidget* QtPlatform::dialogParent() const {
    if (QWidget* active = QApplication::activeWindow()) return active;
    if (!waits_.empty()) return widget(waits_.back());
    return nullptr;
}

void QtPlatform::messageBox(const std::string& title, const std::string& text) {
    dialogLine("message", title, text, {"OK"});
    std::optional<ScriptedClose> how;
    if (!answers_.empty()) {
        const std::string a = nextAnswer();
        if (a != "OK" && a != "close") throw app::ScriptFault("the message \"" + oneLine(title) + "\" has no button " + a);
        how = a == "OK" ? ScriptedClose::Button : ScriptedClose::Window;
    } else if (mode_ == Mode::Scripted) {
        how = ScriptedClose::Button;
    }
    showMessageDialog(dialogParent(), false, title, text, how);
}

void QtPlatform::errorDialog(const std::string& title, const std::string& text) {
    dialogLine("error", title, text, {"OK"});
    std::optional<ScriptedClose> how;
    if (!answers_.empty()) {
        const std::string a = nextAnswer();
        if (a != "OK" && a != "close") throw app::ScriptFault("the error \"" + oneLine(title) + "\" has no button " + a);
        how = a == "OK" ? ScriptedClose::Button : ScriptedClose::Window;
    } else if (mode_ == Mode::Scripted) {
        how = ScriptedClose::Button;
    }
    showMessageDialog(dialogParent(), true, title, text, how);
}

std::string QtPlatform::questionDialog(const std::string& title, const std::string& text,
                                       const std::vector<std::string>& buttons, const std::string& defaultButton) {
    if (buttons.size() < 2 || buttons.size() > 3) throw Error("A question has two or three buttons.");
    const auto def = std::find(buttons.begin(), buttons.end(), defaultButton);
    if (def == buttons.end())
        throw Error("The default button " + defaultButton + " is not one of the question's buttons.");
    const int defaultIndex = static_cast<int>(def - buttons.begin());
    dialogLine("question", title, text, buttons);
    std::optional<int> scripted;
    if (!answers_.empty()) {
        const std::string a = nextAnswer();
        if (a == "close") {
            scripted = -1;
        } else {
            const auto b = std::find(buttons.begin(), buttons.end(), a);
            if (b == buttons.end()) throw app::ScriptFault("the question \"" + oneLine(title) + "\" has no button " + a);
            scripted = static_cast<int>(b - buttons.begin());
        }
    } else if (mode_ == Mode::Scripted) {
        scripted = defaultIndex;
    }
    const int chosen = showQuestionDialog(dialogParent(), title, text, buttons, defaultIndex, scripted);
    return chosen < 0 ? std::string() : buttons[static_cast<std::size_t>(chosen)];
}

std::optional<std::vector<std::string>> QtPlatform::inputDialog(const std::string& title,
                                                                const std::vector<std::string>& prompts,
                                                                const std::vector<std::string>& defaults) {
    if (defaults.size() != prompts.size()) throw Error("An input dialog needs one default text per prompt.");
    dialogLine("input", title, joined(prompts, "\n"), {"OK", "Cancel"});
    std::optional<ScriptedInput> scripted;
    if (!answers_.empty()) {
        const std::string a = nextAnswer();
        ScriptedInput in;
        if (a == "Cancel") {
            in.kind = ScriptedInput::Cancel;
        } else if (a == "close") {
            in.kind = ScriptedInput::Close;
        } else if (a != "OK") {
            std::vector<std::string> texts;
            std::size_t start = 0;
            for (;;) {
                const auto bar = a.find('|', start);
                texts.push_back(a.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
                if (bar == std::string::npos) break;
                start = bar + 1;
            }
            if (texts.size() != prompts.size())
                throw app::ScriptFault("the input \"" + oneLine(title) + "\" asks for " + std::to_string(prompts.size()) +
                                       " texts, the answer gives " + std::to_string(texts.size()));
            in.texts = std::move(texts);
        }
        scripted = std::move(in);
    } else if (mode_ == Mode::Scripted) {
        scripted = ScriptedInput{};
    }
    return showInputDialog(dialogParent(), title, prompts, defaults, std::move(scripted));
}

FileChoice QtPlatform::fileDialog(bool save, const std::string& title, const std::string& filter,
                                  const std::string& defaultName, const std::string& startFolder) {
    dialogLine("file", title, save && !defaultName.empty() ? defaultName : filter, {save ? "Save" : "Open", "Cancel"});
    std::optional<FileChoice> queued;
    if (!files_.empty()) {
        queued = std::move(files_.front());
        files_.pop_front();
    }
    if (queued || mode_ == Mode::Scripted) {
        const bool accept = queued && !queued->cancelled;
        (void)showFileDialog(dialogParent(), save, title, filter, defaultName, startFolder, accept);
        return accept ? *queued : FileChoice{};
    }
    const auto path = showFileDialog(dialogParent(), save, title, filter, defaultName, startFolder, std::nullopt);
    if (!path) return {};
    const QFileInfo info(*path);
    FileChoice c;
    c.cancelled = false;
    c.file = s(info.fileName());
    c.folder = s(info.absolutePath());
    if (c.folder.empty() || c.folder.back() != '/') c.folder += '/';
    return c;
}

FileChoice QtPlatform::openFileDialog(const std::string& title, const std::string& filter,
                                      const std::string& startFolder) {
    lastDialogFolder_ = startFolder;
    return fileDialog(false, title, filter, {}, startFolder);
}

FileChoice QtPlatform::saveFileDialog(const std::string& title, const std::string& filter,
                                      const std::string& defaultName) {
    return fileDialog(true, title, filter, defaultName, {});
}

void QtPlatform::console(const std::string& text) { note("console: " + oneLine(text)); }

// ----------------------------------------------------------------- clock

std::array<double, 6> QtPlatform::clock() const {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const double frac = duration<double>(now.time_since_epoch()).count() - static_cast<double>(t);
    return {static_cast<double>(tm.tm_year + 1900), static_cast<double>(tm.tm_mon + 1),
            static_cast<double>(tm.tm_mday),        static_cast<double>(tm.tm_hour),
            static_cast<double>(tm.tm_min),         tm.tm_sec + frac};
}

void QtPlatform::startStopwatch() {
    stopwatch_ = std::chrono::steady_clock::now();
    paused_ = 0;
}

double QtPlatform::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - stopwatch_).count() + paused_;
}

void QtPlatform::pause(double seconds) {
    if (!(seconds > 0)) return;
    if (mode_ == Mode::Scripted) {
        // A scripted run skips the wait (the splash's seconds) but the
        // stopwatch sees it pass.
        paused_ += seconds;
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
    if (mode_ == Mode::Scripted) return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(q(path)));
}

}  // namespace tolvane::qt
