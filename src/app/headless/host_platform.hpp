// The headless platform as the window platform of a host that runs no
// application of its own (the command line, a C host of the shared library).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/platform/platform.hpp"

namespace tolvane::app {

// A headless platform over the layout folders for a host without a person at
// it: console lines and dialogs go to the warning sink (standard error, or
// what the host collects), each dialog takes its default button, and a modal
// wait is answered by closing the waiting window, as a person who walks away
// would.
std::unique_ptr<Platform> makeHostPlatform(std::vector<std::string> layoutFolders);

// The library's window entries on that platform (library_entries.hpp), with
// the images and help pages from `resourceFolder`. `noDesktop` is what
// OneX_Fwd_c by name answers when the desktop front end is not in the host.
void addHeadlessLibraryEntries(std::vector<std::string> layoutFolders, std::string resourceFolder,
                               std::string noDesktop);

}  // namespace tolvane::app
