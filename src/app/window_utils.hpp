// Small utilities shared by the windows: tag indices, deep comparison of
// records (to detect changed settings), and placing windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/platform/platform.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

// The number formed by the decimal digits at the end of a control tag, 0
// when the tag does not end in a digit: "txtGain12" -> 12, "row3col07" -> 7.
// A run of digits too long for a double's exact range still gives its
// (rounded) number.
double getTagIndex(const std::string& tag);

// The tag without its trailing digits: the kind of a row control
// ("txtRAslotGain12" -> "txtRAslotGain").
std::string tagStem(const std::string& tag);

// The control tag of a callback's operation name ("pbOK_Callback" ->
// "pbOK"); nullopt for any other name, "_Callback" alone included.
std::optional<std::string> callbackTag(const std::string& operation);

// The event a callback's operation name stands for, for the windows'
// entries by name: "TAG_Callback" is the control TAG's callback,
// windowTag + "_CloseRequestFcn" the window's close button; any other name
// is no callback (nullopt).
std::optional<CallbackEvent> callbackEvent(const std::string& operation, WindowId window,
                                           const std::string& windowTag);

// The entry of that tag in a window's table of callbacks by tag, or nullptr.
template <typename F, std::size_t N>
const F* findByTag(const std::pair<std::string_view, F> (&table)[N], std::string_view tag) {
    for (const auto& [key, f] : table)
        if (key == tag) return &f;
    return nullptr;
}

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
