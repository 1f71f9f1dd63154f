// A fresh temporary folder for one test, removed with everything in it when
// the test ends. ctest runs tests in parallel, so no two share a folder.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace tolvane::testing_support {

class TempDir {
public:
    TempDir() {
        std::string name = (std::filesystem::temp_directory_path() / "tolvane_test_XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
        path_ = name;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace tolvane::testing_support
