// The callbacks: the widgets' signals and the window's close button to the
// window's dispatcher, and what a script's actions do to the widgets.
#include "qt/qt_platform.hpp"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "base/diagnostics.hpp"

namespace tolvane::qt {

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
    // Only the close button calls with the window's own tag: no control
    // carries it.
    const auto kind = tag == it->second->tag ? CallbackEvent::Kind::CloseRequest : CallbackEvent::Kind::Control;
    try {
        dispatcher(CallbackEvent{operation, id, tag, kind});
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
        const Value v = controlProperty(ctl, p);
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

}  // namespace tolvane::qt
