#include "library_host.hpp"

#include <filesystem>

#include "app/data_folder.hpp"
#include "app/headless/host_platform.hpp"

namespace tolvane::cli {

void addLibraryHost() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path folder = ec ? std::filesystem::path{} : exe.parent_path();
    app::addHeadlessLibraryEntries(
        {app::dataFolder("layouts", folder, TOLVANE_SOURCE_LAYOUT_DIR, TOLVANE_INSTALLED_LAYOUT_DIR)},
        app::dataFolder("resources", folder, TOLVANE_SOURCE_RESOURCE_DIR, TOLVANE_INSTALLED_RESOURCE_DIR),
        "The desktop front end is not part of this program: run tolvane-gui for the desktop application, or "
        "start the application on the headless platform with OneX_Fwd_GUI_c().");
}

}  // namespace tolvane::cli
