#include "qt/qt_properties.hpp"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/platform/value_text.hpp"
#include "base/diagnostics.hpp"
#include "qt/qt_dialogs.hpp"
#include "qt/qt_text.hpp"

namespace tolvane::qt {

using app::displayText;

namespace {

Value onOff(bool on) { return Value::text(on ? "on" : "off"); }

bool lowerEquals(const std::string& a, const char* b) {
    std::string l = a;
    std::transform(l.begin(), l.end(), l.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return l == b;
}

// A slider's value as the logic sees it, and setting it.
double sliderValue(const QtControl& c, const QAbstractSlider& sl) {
    return c.maximumAtTop ? double(sl.minimum()) + sl.maximum() - sl.value() : double(sl.value());
}

void setSliderValue(const QtControl& c, QAbstractSlider& sl, double v) {
    const long n = std::isnan(v) ? sl.minimum() : std::clamp<long>(std::lround(std::clamp(v, -1e9, 1e9)), sl.minimum(), sl.maximum());
    sl.setValue(static_cast<int>(c.maximumAtTop ? long(sl.minimum()) + sl.maximum() - n : n));
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

// ----------------------------------------------------------------- windows

Value windowProperty(const QWidget* top, const std::map<std::string, Value>& stored, const app::ScreenFacts& sc,
                     const std::string& property) {
    if (property == "Name") return Value::text(top ? s(top->windowTitle()) : std::string());
    if (property == "Enable") return onOff(top && !top->testAttribute(Qt::WA_ForceDisabled));
    if (property == "Position" && top) {
        const QRect g = top->geometry();
        std::vector<double> p{double(g.x()), sc.height - double(g.y() + g.height()), double(g.width()),
                              double(g.height())};
        auto units = stored.find("Units");
        if (units != stored.end() && units->second.isText() && units->second.str() == "normalized" &&
            sc.width > 0 && sc.height > 0)
            p = {p[0] / sc.width, p[1] / sc.height, p[2] / sc.width, p[3] / sc.height};
        return Value::row(std::move(p));
    }
    auto it = stored.find(property);
    if (it != stored.end()) return it->second;
    if (property == "Color" && top) return colorValue(top->palette().color(QPalette::Window));
    return Value::empty();
}

void setWindowProperty(QWidget* top, std::map<std::string, Value>& stored, const app::ScreenFacts& sc,
                       const std::string& property, Value value) {
    if (!top) return;
    if (property == "Name") {
        top->setWindowTitle(q(value.str()));
    } else if (property == "Enable") {
        top->setEnabled(value.str() == "on");
    } else if (property == "Pointer") {
        if (lowerEquals(value.str(), "watch"))
            top->setCursor(Qt::WaitCursor);
        else
            top->unsetCursor();
        stored[property] = std::move(value);
    } else if (property == "Position") {
        std::vector<double> p = rect(value, property);
        auto units = stored.find("Units");
        if (units != stored.end() && units->second.isText() && units->second.str() == "normalized")
            p = {p[0] * sc.width, p[1] * sc.height, p[2] * sc.width, p[3] * sc.height};
        const int width = static_cast<int>(std::lround(p[2])), height = static_cast<int>(std::lround(p[3]));
        top->setGeometry(static_cast<int>(std::lround(p[0])),
                         static_cast<int>(std::lround(sc.height - p[1] - p[3])), width, height);
    } else if (property == "Color") {
        QPalette pal = top->palette();
        pal.setColor(QPalette::Window, color(value));
        top->setPalette(pal);
        top->setAutoFillBackground(true);
        stored[property] = std::move(value);
    } else {
        stored[property] = std::move(value);
    }
}
// ----------------------------------------------------------------- controls

Value controlProperty(const QtControl& c, const std::string& property) {
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
        if (auto* sl = qobject_cast<QAbstractSlider*>(wid)) return exact(sliderValue(c, *sl));
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

void setControlProperty(QtControl& c, const std::string& property, Value value) {
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
            setSliderValue(c, *sl, v);
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
        if (auto* sl = qobject_cast<QAbstractSlider*>(wid)) {
            // The value the logic reads stays where it was (within the new range).
            const double shown = sliderValue(c, *sl);
            sl->setMaximum(m);
            setSliderValue(c, *sl, shown);
        } else if (auto* sp = qobject_cast<QSpinBox*>(wid))
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

}  // namespace tolvane::qt
