// The command line as a host of the library's window entries.
#pragma once

namespace tolvane::cli {

// Makes the window utilities, displays and window modules answer by name in
// this program, on the headless platform with the installed layouts and
// images (or the source tree's, from the build folder).
void addLibraryHost();

}  // namespace tolvane::cli
