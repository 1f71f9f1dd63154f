// A window layout read from a Qt Designer ".ui" file: the window's own tag
// and title and its tagged controls with their starting properties.
//
// Each <widget> or <action> with a name is a control whose tag is the name;
// widgets nested in layouts are found too. Menus (<widget class="QMenu">)
// and their actions become menu items, their parents taken from
// <addaction>. Designer properties map onto the platform's properties:
// text/title -> String, toolTip -> TooltipString, enabled -> Enable,
// visible -> Visible, checked -> Value (0/1; Checked on/off for actions),
// geometry -> Position [x y width height], currentIndex -> Value (+1),
// value -> Value, maximum -> Max, the items of a combo box or list ->
// String as a cell list of texts. windowTitle of the top widget is the
// window's Name.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/platform/xml_reader.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

struct LayoutControl {
    std::string tag;
    std::string widgetClass;  // "QPushButton", "QAction", ...
    std::string parentTag;    // for menu items: the menu holding it; else ""
    bool isMenuItem = false;
    std::vector<std::pair<std::string, Value>> properties;  // platform property -> starting value
};

struct Layout {
    std::string windowTag;
    std::string windowClass;
    std::string title;
    Value position;  // [x y width height] or unset
    std::vector<LayoutControl> controls;
};

// Throws tolvane::Error when the document is not a layout (no <ui> root or
// no top widget with a name) or a tag is used twice.
Layout layoutFromXml(const XmlElement& root);
Layout readLayoutFile(const std::string& path);

// The plain name of a layout: "main.fig", "main.ui" and "main" are "main".
// Throws tolvane::Error for a name with a path or other characters, which
// could reach files outside the layout folders.
std::string plainLayoutName(std::string name);
// The file of a plain layout name in the first of the folders that has it;
// throws tolvane::Error when none has.
std::string findLayoutFile(const std::vector<std::string>& folders, const std::string& plainName);

}  // namespace tolvane::app
