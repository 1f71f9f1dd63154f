// The program's version, defined once: the project version of the build
// (CMakeLists.txt, project(... VERSION ...)). The command line, the desktop,
// the About box and the C entry tolvane_version() all show this text.
#pragma once

namespace tolvane {

// "MAJOR.MINOR.PATCH".
const char* versionText();

}  // namespace tolvane
