#include "base/version.hpp"

#ifndef TOLVANE_VERSION
#error "TOLVANE_VERSION is set by the build from the project version"
#endif

namespace tolvane {

const char* versionText() { return TOLVANE_VERSION; }

}  // namespace tolvane
