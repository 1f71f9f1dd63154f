#include "base/atomic_file.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "base/diagnostics.hpp"

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

FileGroup::~FileGroup() {
    for (const Staged& f : staged_) std::remove(f.temp.c_str());
}

void FileGroup::stage(const std::string& path, const std::function<void(const std::string&)>& writer) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw Error("Could not write \"" + path + "\": it is a folder.");
    Staged f{path, temporaryNameFor(path)};
    try {
        writer(f.temp);
    } catch (...) {
        std::remove(f.temp.c_str());
        throw;
    }
    staged_.push_back(std::move(f));
}

void FileGroup::commit() {
    // Old contents are kept as links until every rename has succeeded.
    struct Backup {
        std::string target;
        std::string link;  // empty when the target did not exist
    };
    std::vector<Backup> backups;
    auto restore = [&] {
        for (auto it = backups.rbegin(); it != backups.rend(); ++it) {
            std::error_code ec;
            if (it->link.empty()) std::filesystem::remove(it->target, ec);
            else std::filesystem::rename(it->link, it->target, ec);
        }
    };
    for (const Staged& f : staged_) {
        std::error_code ec;
        Backup b{f.target, ""};
        if (std::filesystem::exists(f.target, ec)) {
            b.link = temporaryNameFor(f.target);
            std::filesystem::create_hard_link(f.target, b.link, ec);
            if (ec) {
                std::filesystem::copy_file(f.target, b.link, ec);
                if (ec) {
                    restore();
                    throw Error("Could not write \"" + f.target + "\": its old content could not be kept (" +
                                ec.message() + ").");
                }
            }
        }
        std::filesystem::rename(f.temp, f.target, ec);
        if (ec) {
            if (!b.link.empty()) std::remove(b.link.c_str());
            restore();
            throw Error("Could not write \"" + f.target + "\": " + ec.message() + ".");
        }
        backups.push_back(std::move(b));
    }
    for (const Backup& b : backups)
        if (!b.link.empty()) std::remove(b.link.c_str());
    staged_.clear();
}

}  // namespace tolvane
