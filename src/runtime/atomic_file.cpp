#include "runtime/atomic_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "numerics/diagnostics.hpp"

namespace tolvane {

namespace {

std::string temporaryNameFor(const std::string& path) {
    std::random_device rd;
    const std::filesystem::path target(path);
    std::string name = "." + target.filename().string() + ".tmp" + std::to_string(rd() % 1000000u);
    return (target.parent_path() / name).string();
}

}  // namespace

void replaceFileAtomically(const std::string& path, const std::function<void(const std::string&)>& writer) {
    const std::string temp = temporaryNameFor(path);
    try {
        writer(temp);
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temp.c_str());
        throw Error("Could not write \"" + path + "\": " + reason + ".");
    }
}

void writeFileAtomically(const std::string& path, const std::string& bytes) {
    replaceFileAtomically(path, [&](const std::string& temp) {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) throw Error("Could not write \"" + path + "\": " + std::strerror(errno) + ".");
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) throw Error("Could not write \"" + path + "\": the write failed.");
    });
}

}  // namespace tolvane
