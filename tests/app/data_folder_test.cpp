// Where the programs and the library find their installed data.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/data_folder.hpp"

namespace fs = std::filesystem;
using tolvane::app::dataFolder;

TEST(DataFolder, BesideTheInstallationThenTheSourceTreeThenTheInstalledPlace) {
    const fs::path root = fs::temp_directory_path() / "tolvane-data-folder";
    fs::remove_all(root);
    const fs::path source = root / "source" / "layouts";
    fs::create_directories(source);
    fs::create_directories(root / "usr" / "lib" / "x86_64-linux-gnu");
    fs::create_directories(root / "usr" / "bin");
    fs::create_directories(root / "opt" / "bin");

    // Not installed yet: the source tree, then the place named at build time.
    EXPECT_EQ(dataFolder("layouts", root / "usr" / "bin", source.string(), "/nowhere"), source.string());
    EXPECT_EQ(dataFolder("layouts", root / "usr" / "bin", (root / "gone").string(), "/nowhere"), "/nowhere");

    // Installed: found from the program's folder and from a multiarch library folder.
    const fs::path installed = root / "usr" / "share" / "tolvane" / "layouts";
    fs::create_directories(installed);
    EXPECT_EQ(dataFolder("layouts", root / "usr" / "bin", source.string(), "/nowhere"), installed.string());
    EXPECT_EQ(dataFolder("layouts", root / "usr" / "lib" / "x86_64-linux-gnu", source.string(), "/nowhere"),
              installed.string());
    // Another installation's data is not borrowed, and no folder at all is safe.
    EXPECT_EQ(dataFolder("resources", root / "usr" / "bin", (root / "gone").string(), "/nowhere"), "/nowhere");
    EXPECT_EQ(dataFolder("layouts", fs::path{}, source.string(), "/nowhere"), source.string());
    fs::remove_all(root);
}
