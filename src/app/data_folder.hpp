// Where a program finds its installed data (share/tolvane/NAME: the window
// layouts, the images and help pages).
#pragma once

#include <filesystem>
#include <string>

namespace tolvane::app {

// share/tolvane/NAME beside the installation that holds `binaryFolder` (the
// folder of the program or of the library: bin, lib or lib/<multiarch>), so
// that an installation moved as a whole finds its own data; else the source
// tree's folder (a run from the build folder); else `installedFolder`, where
// the installation was meant to put it.
std::string dataFolder(const std::string& name, const std::filesystem::path& binaryFolder,
                       const std::string& sourceFolder, const std::string& installedFolder);

}  // namespace tolvane::app
