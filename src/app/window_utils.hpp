// Small utilities shared by the windows: tag indices, deep comparison of
// records (to detect changed settings), and placing windows.
#pragma once

#include <string>

#include "app/platform/platform.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

// The number formed by the decimal digits at the end of a control tag, 0
// when the tag does not end in a digit: "txtGain12" -> 12, "row3col07" -> 7.
// A run of digits too long for a double's exact range still gives its
// (rounded) number.
double getTagIndex(const std::string& tag);

// True when both values are records with the same field names in the same
// order and pairwise equal fields: both empty; records compared in depth;
// numeric of the same size, NaN at the same places and equal elsewhere;
// identical texts. Any other pair of field kinds counts as equal.
bool compareStruct(const Value& a, const Value& b);

// Centres the child window on the parent (0: the screen), keeping its
// width and height. Positions are [left bottom width height].
void positionChildWindow(Platform& platform, WindowId parent, WindowId child);

// Opens the layout (reusing an open instance), gives it the default control
// background colour and centres it on the parent (0: the screen).
WindowId loadFigure(Platform& platform, const std::string& layoutName, WindowId parent);

// The tags of the main window's top-level menus.
struct MenuHeaders {
    std::string File = "menuFile";
    std::string Plot = "menuPlot";
    std::string Config = "menuConfig";
    std::string Special = "menuSpecial";
    std::string Help = "menuHelp";
};

// Puts the standard menu bar on the window (File, Plot, Configuration,
// Special, Help with their items; each item calls the window's dispatcher
// with its tag + "_Callback"). The Baseband Generator sub-menu is added only
// when withBasebandGenerator (the current instrument generation).
MenuHeaders addStandardMenus(Platform& platform, WindowId window, bool withBasebandGenerator);

// The platform's default control background colour.
Value defaultControlBackground();

// On a 96-dpi screen, every control of the window that has a font size gets
// it multiplied by 1.1 and rounded (8 -> 9); at any other resolution nothing
// changes.
void resizeAllFonts(Platform& platform, WindowId window);

}  // namespace tolvane::app
