// The splash and About windows.
#pragma once

#include <string>

#include "app/platform/platform.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

// Opens the layout "QV_Splash" (reusing an open instance), centres it on the
// screen, shows "splash.jpg" of the resource folder in txtLogo and makes it
// visible. The caller closes it.
WindowId QV_Splash(Platform& platform, const std::string& resourceFolder);

// The About box over the parent, filled from the application record
// (`Name`, `Rev`, `Date`, `CopyrightMsg`, `Notes`, `NotesLine2` ...
// `NotesLine7`, `IsRelease`; an unset record gives blanks and the released
// form of the revision). Waits until the window is closed (its close button
// or OK), then deletes it. Throws Error "Input argument must be a handle to
// parent" when the parent is not a window.
void QV_About(Platform& platform, WindowId parent, const Value& app, const std::string& resourceFolder);

}  // namespace tolvane::app
