// The platform's properties on Qt widgets: what a control's or a window's
// property reads as, and what setting it does to the widget (the mapping
// described in qt_platform.hpp). Values reach these functions checked by
// app::checkPropertySet.
#pragma once

#include <QPointer>

#include <map>
#include <string>

#include "app/platform/platform.hpp"

class QAction;
class QWidget;

namespace tolvane::qt {

// A control of a window: its widget, or its menu action (a menu: both), and
// what the platform keeps beside them.
struct QtControl {
    std::string tag;
    QPointer<QWidget> widget;
    QPointer<QAction> action;      // menu items (a menu: its menu action)
    QPointer<QAction> separator;   // the separator above a menu item
    std::string widgetClass;
    std::string parentTag;
    bool isMenuItem = false;
    bool edited = false;           // an edit's text changed by the person since its last callback
    // A vertical scroll bar whose layout puts its maximum at the top: the
    // widget itself runs the ordinary way (minimum at the top), so that its
    // arrows, trough, drag and wheel all move the way they point, and its
    // Value reads and sets as minimum + maximum - the widget's value.
    bool maximumAtTop = false;
    std::map<std::string, Value> stored;  // what was last given, or a property the widget lacks
};

Value controlProperty(const QtControl& c, const std::string& property);
void setControlProperty(QtControl& c, const std::string& property, Value value);

// A window's own properties but Visible and Tag, which the platform keeps
// itself: read from or set on the window's top widget (which may be gone),
// with `stored` for what the widget does not hold. Positions are measured
// on the screen given.
Value windowProperty(const QWidget* top, const std::map<std::string, Value>& stored, const app::ScreenFacts& screen,
                     const std::string& property);
void setWindowProperty(QWidget* top, std::map<std::string, Value>& stored, const app::ScreenFacts& screen,
                       const std::string& property, Value value);

}  // namespace tolvane::qt
