// Shared by the fuzz targets: a scratch file for readers that take a path,
// and silence for warnings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "base/diagnostics.hpp"

namespace tolvane::fuzz {

// Warnings are expected from damaged input; they are not faults.
inline void quiet() {
    static const bool done = [] {
        setWarningSink([](const std::string&) {});
        return true;
    }();
    (void)done;
}

// Writes the input to this process's scratch file and returns its path; the
// file is removed when the process ends normally.
inline const std::string& scratchFile(const std::uint8_t* data, std::size_t size, const char* extension) {
    struct Scratch {
        std::string path;
        ~Scratch() { std::remove(path.c_str()); }
    };
    static const Scratch scratch{(std::filesystem::temp_directory_path() /
                                  ("tolvane-fuzz-" + std::to_string(::getpid()) + extension))
                                     .string()};
    std::FILE* f = std::fopen(scratch.path.c_str(), "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return scratch.path;
}

}  // namespace tolvane::fuzz
