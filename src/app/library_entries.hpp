// The library's window utilities, displays and window modules by name, in a
// host that runs no application of its own (the command line, a C host of the
// shared library, a test).
//
// Names that need no window (compareStruct, getTagIndex, docopt,
// rfCommonUI's addFileExtention, the main window's record defaults and
// Calculate step) answer everywhere. Names that open or change windows run
// on the host's platform, made at their first use: the headless platform in
// the command line and a C host. While an application runs, its own
// registrations of the window modules and displays take the names over and
// use its platform (the desktop's Qt widgets, or the headless platform of
// `tolvane app`). What needs the running application (the window modules'
// operations, the user data file prompt) refuses outside it with a message
// that says so.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/platform/platform.hpp"

namespace tolvane {
class Library;
}

namespace tolvane::app {

struct LibraryHost {
    // Makes the platform the window entries use while no application runs;
    // called once, when a window entry is first used.
    std::function<std::unique_ptr<Platform>()> makePlatform;
    // The folder of the images and help pages (splash, About box).
    std::string resourceFolder;
    // What OneX_Fwd_c by name answers when the desktop front end is not part
    // of the host; the desktop's own entry replaces it where it is.
    std::string noDesktop = "The desktop front end is not built.";
};

// Adds the registrar of these names to the process library (it runs at every
// initialisation, and at once when the library is initialised). Call it once
// per host, before the names are used. A later call replaces the host.
void addLibraryEntries(LibraryHost host);

// Registers the names into the library; addLibraryEntries does this at each
// initialisation.
void registerLibraryEntries(Library& lib);

}  // namespace tolvane::app
