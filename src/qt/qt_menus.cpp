// The menus the window logic adds to a window's menu bar.
#include "qt/qt_platform.hpp"

#include <QAction>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "base/diagnostics.hpp"
#include "qt/qt_text.hpp"

namespace tolvane::qt {

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

}  // namespace tolvane::qt
