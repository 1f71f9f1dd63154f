// The Qt platform for scripted runs (tolvane app --platform qt), reachable
// from code that includes no Qt header.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/scripting/scriptable_platform.hpp"

namespace tolvane::qt {

// A Qt platform in scripted mode over the layout folders. When no Qt
// application runs yet, it starts one (on the offscreen screen unless
// QT_QPA_PLATFORM names another) that lives as long as the platform. It
// reports the headless platform's screen (1920 x 1080 pixels, 96 dots per
// inch), so that a script prints the same positions on both platforms.
std::unique_ptr<app::ScriptablePlatform> makeQtPlatform(std::vector<std::string> layoutFolders);

}  // namespace tolvane::qt
