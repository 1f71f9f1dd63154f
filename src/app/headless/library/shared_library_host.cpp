// Built into the shared library (not the application's static library): a
// host of the C entries gets the library's window utilities, displays and
// window modules by name on the headless platform, with the layouts and
// images of the installation the library belongs to. The desktop front end,
// when it is built into the library too, replaces OneX_Fwd_c and, while its
// application runs, the window modules and displays.
#include <dlfcn.h>

#include <filesystem>

#include "app/data_folder.hpp"
#include "app/headless/host_platform.hpp"

namespace {

namespace fs = std::filesystem;

// The folder this library was loaded from.
fs::path libraryFolder() {
    Dl_info info{};
    static const int anchor = 0;
    if (dladdr(&anchor, &info) == 0 || !info.dli_fname) return {};
    std::error_code ec;
    const fs::path file = fs::canonical(info.dli_fname, ec);
    return ec ? fs::path{} : file.parent_path();
}

// Added when the library is loaded, before a host can initialise it.
[[maybe_unused]] const bool registered = [] {
    const fs::path binary = libraryFolder();
    tolvane::app::addHeadlessLibraryEntries(
        {tolvane::app::dataFolder("layouts", binary, TOLVANE_SOURCE_LAYOUT_DIR, TOLVANE_INSTALLED_LAYOUT_DIR)},
        tolvane::app::dataFolder("resources", binary, TOLVANE_SOURCE_RESOURCE_DIR, TOLVANE_INSTALLED_RESOURCE_DIR),
        "The desktop front end is not built.");
    return true;
}();

}  // namespace
