// Building a window from its layout file.
#include "qt/qt_platform.hpp"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QUiLoader>

#include "app/platform/ui_layout.hpp"
#include "base/diagnostics.hpp"
#include "qt/qt_text.hpp"

namespace tolvane::qt {

WindowId QtPlatform::openLayout(const std::string& layoutName) {
    const std::string name = app::plainLayoutName(layoutName);
    for (const auto& [id, w] : windows_)
        if (w->layout == name) return id;
    const std::string path = app::findLayoutFile(folders_, name);
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
            c.stored["Checked"] = Value::text(on ? "on" : "off");
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
        // A vertical scroll bar drawn upside down (its maximum at the top)
        // would still step down with its upper arrow and page towards the
        // maximum with a click below the handle: it runs the ordinary way
        // instead, and its value is turned round where the logic reads and
        // sets it.
        if (auto* bar = qobject_cast<QScrollBar*>(c.widget.data());
            bar && bar->orientation() == Qt::Vertical && bar->invertedAppearance()) {
            const int logical = bar->value();
            // A scroll bar's own default: the wheel turned down moves the
            // handle down (the layout's "false" turned the wheel round to
            // match the upside-down bar).
            bar->setInvertedAppearance(false);
            bar->setInvertedControls(true);
            c.maximumAtTop = true;
            bar->setValue(bar->minimum() + bar->maximum() - logical);
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
        if (layout.position.isSet()) setWindowValue(ref, "Position", layout.position);
        for (auto& [tag, c] : ref.controls) setControlProperty(c, "FontSize", Value::scalar(app::kScriptedFontSize));
    }
    return id;
}

}  // namespace tolvane::qt
