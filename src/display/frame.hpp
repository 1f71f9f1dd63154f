// The window frame every display shares: where the window goes, and how the
// plot boxes are moved to leave room for the labels.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "display/figure.hpp"

namespace tolvane::display {

// Where a display is opened: over a parent window (its position and units),
// or with no parent (then `units` are the screen's).
struct Placement {
    std::optional<std::array<double, 4>> parent;  // [left bottom width height]
    std::string units = "pixels";
};

// The default plot box of a window with one axes.
inline constexpr std::array<double, 4> kDefaultAxesPosition{0.13, 0.11, 0.775, 0.815};
// The two plot boxes of a window with two stacked axes (upper, lower).
inline constexpr std::array<double, 4> kUpperAxesPosition{0.13, 0.5838, 0.775, 0.3412};
inline constexpr std::array<double, 4> kLowerAxesPosition{0.13, 0.11, 0.775, 0.3412};

// A display window's position. Over a parent: the parent's position with
// width and height times 0.8, moved right by 0.1 and down by 0.1 of the new
// size. Without a parent: `pixelDefault` in pixels, [0.1 0.1 0.5 0.5] in any
// other units.
std::array<double, 4> framePosition(const Placement& placement,
                                    const std::array<double, 4>& pixelDefault = {150, 150, 340, 340});

// The plot box moved to make room for the labels: left times 1.2, bottom
// times `bottomFactor` (1.4 for a single axes, 1.2 for the lower of two, 1
// for the upper), height divided by 1.1.
std::array<double, 4> adjustAxesPosition(const std::array<double, 4>& p, double bottomFactor = 1.4);

// A figure with the frame's name, place and menus and no axes yet.
Figure frameFigure(const std::string& namePrefix, const std::string& label, const Placement& placement,
                   const std::array<double, 4>& pixelDefault = {150, 150, 340, 340});

}  // namespace tolvane::display
