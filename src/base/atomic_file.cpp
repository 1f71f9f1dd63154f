#include "base/atomic_file.hpp"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

#include "base/diagnostics.hpp"

namespace tolvane {

namespace fs = std::filesystem;

namespace {

// A fresh hidden name in the folder of `path`: the process id and a counter
// keep two writers (two programs, or two writes in one) apart.
std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const fs::path target(path);
    for (;;) {
        std::string name = ".";
        name.append(target.filename().string()).append(".").append(std::to_string(::getpid()));
        name.append(".").append(std::to_string(counter++)).append(".tmp");
        const auto candidate = target.parent_path() / name;
        std::error_code ec;
        if (!fs::exists(candidate, ec)) return candidate.string();
    }
}

// The one form of every message of a failed write.
Error cannotWrite(const std::string& path, const std::string& reason) {
    return Error("Cannot write \"" + path + "\": " + reason + ".");
}

// The reason of a failed system call on `path` or its temporary file: what
// can be seen of the target first (a missing folder explains ENOENT better
// than its text), then the system's own words.
std::string reasonFor(const std::string& path, const std::error_code& ec) {
    std::string why = whyNotWritable(path);
    if (!why.empty()) return why;
    if (ec.value() == ENOSPC) return "there is no space left on the device";
    if (ec.value() == EROFS) return "its folder is on a read-only file system";
    why = ec.message();
    if (!why.empty()) why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    return why;
}

// Every occurrence of `from` in `text` replaced by `to`.
std::string replacedAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Runs `writer` on `temp`; on failure removes `temp` and throws, naming
// `path` where the writer's error named the temporary file.
void produce(const std::string& path, const std::string& temp, const std::function<void(const std::string&)>& writer) {
    try {
        writer(temp);
    } catch (const Error& e) {
        std::remove(temp.c_str());
        const std::string text = e.what();
        if (text.find(temp) == std::string::npos) throw;
        throw Error(replacedAll(text, temp, path));
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
}

// Writes `bytes` to `temp`, the temporary file of `path`.
void writeBytes(const std::string& path, const std::string& temp, const std::string& bytes) {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw cannotWrite(path, reasonFor(path, std::error_code(errno, std::generic_category())));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw cannotWrite(path, reasonFor(path, std::error_code(errno, std::generic_category())));
}

}  // namespace

std::string whyNotWritable(const std::string& path) {
    if (path.empty()) return "no file name was given";
    const fs::path target(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) return "it is a folder";
    if (!target.has_filename()) return "the name ends in a folder separator, not a file name";
    const fs::path parent = target.parent_path();
    const fs::path folder = parent.empty() ? fs::path(".") : parent;
    const std::string shown = "\"" + folder.string() + "\"";
    const fs::file_status st = fs::status(folder, ec);
    if (st.type() == fs::file_type::not_found) return "the folder " + shown + " does not exist";
    if (ec) return "the folder " + shown + " cannot be reached (" + ec.message() + ")";
    if (!fs::is_directory(st)) return shown + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return "the folder " + shown + " is not writable";
    return {};
}

void checkWritable(const std::string& path) {
    const std::string why = whyNotWritable(path);
    if (!why.empty()) throw cannotWrite(path, why);
}

void replaceFileAtomically(const std::string& path, const std::function<void(const std::string&)>& writer) {
    checkWritable(path);
    const std::string temp = temporaryNameFor(path);
    produce(path, temp, writer);
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        throw cannotWrite(path, reasonFor(path, ec));
    }
}

void writeFileAtomically(const std::string& path, const std::string& bytes) {
    replaceFileAtomically(path, [&](const std::string& temp) { writeBytes(path, temp, bytes); });
}

FileGroup::~FileGroup() {
    for (const Staged& f : staged_) std::remove(f.temp.c_str());
}

void FileGroup::stage(const std::string& path, const std::function<void(const std::string&)>& writer) {
    checkWritable(path);
    Staged f{path, temporaryNameFor(path)};
    produce(path, f.temp, writer);
    staged_.push_back(std::move(f));
}

void FileGroup::stageBytes(const std::string& path, const std::string& bytes) {
    stage(path, [&](const std::string& temp) { writeBytes(path, temp, bytes); });
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
            if (it->link.empty()) fs::remove(it->target, ec);
            else fs::rename(it->link, it->target, ec);
        }
    };
    for (const Staged& f : staged_) {
        std::error_code ec;
        Backup b{f.target, ""};
        if (fs::exists(f.target, ec)) {
            b.link = temporaryNameFor(f.target);
            fs::create_hard_link(f.target, b.link, ec);
            if (ec) {
                fs::copy_file(f.target, b.link, ec);
                if (ec) {
                    restore();
                    throw cannotWrite(f.target, "its old content could not be kept (" + reasonFor(f.target, ec) + ")");
                }
            }
        }
        fs::rename(f.temp, f.target, ec);
        if (ec) {
            if (!b.link.empty()) std::remove(b.link.c_str());
            restore();
            throw cannotWrite(f.target, reasonFor(f.target, ec));
        }
        backups.push_back(std::move(b));
    }
    for (const Backup& b : backups)
        if (!b.link.empty()) std::remove(b.link.c_str());
    staged_.clear();
}

}  // namespace tolvane
