#include "instrument/atomic_file.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "numerics/diagnostics.hpp"

namespace tolvane {

namespace {

// A fresh hidden name in the folder of `path`: the process id and a counter
// keep two writers (two programs, or two writes in one) apart.
std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path target(path);
    for (;;) {
        std::string name = ".";
        name.append(target.filename().string()).append(".").append(std::to_string(::getpid()));
        name.append(".").append(std::to_string(counter++)).append(".tmp");
        const auto candidate = target.parent_path() / name;
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec)) return candidate.string();
    }
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
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw Error("Could not write \"" + path + "\": " + ec.message() + ".");
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
