#include "app/data_folder.hpp"

namespace tolvane::app {

std::string dataFolder(const std::string& name, const std::filesystem::path& binaryFolder,
                       const std::string& sourceFolder, const std::string& installedFolder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path up = binaryFolder;
    for (int level = 0; level < 3 && !up.empty() && up.has_parent_path() && up != up.parent_path(); ++level) {
        up = up.parent_path();
        const fs::path beside = up / "share" / "tolvane" / name;
        if (fs::is_directory(beside, ec)) return beside.string();
    }
    if (fs::is_directory(sourceFolder, ec)) return sourceFolder;
    return installedFolder;
}

}  // namespace tolvane::app
