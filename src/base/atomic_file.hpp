// Writing a file whole or not at all: the content goes to a temporary file
// in the target's folder, which is then renamed over the target.
//
// Every error of these writes names the file the caller asked for, never
// the temporary file, and says why it cannot be written:
//   Cannot write "nope/a.mat": the folder "nope" does not exist.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tolvane {

// Why `path` cannot be written, as far as can be seen before writing: the
// folder it would go into does not exist, is not a folder or is not
// writable, or `path` is a folder. Empty when nothing stands in the way.
std::string whyNotWritable(const std::string& path);
// Throws the Error a write of `path` gives when whyNotWritable has a
// reason; for a caller that learns only success or failure from its writer.
void checkWritable(const std::string& path);

// Writes `bytes` to `path` atomically. Throws Error naming the file.
void writeFileAtomically(const std::string& path, const std::string& bytes);

// Lets `writer` produce the file at a temporary path in the target's folder,
// then renames it over `path`; the temporary file is removed when `writer`
// throws. Throws Error naming the file when it cannot be written (see
// whyNotWritable) or the rename fails; the writer's own Error passes
// through, with the temporary path in its text replaced by `path`.
void replaceFileAtomically(const std::string& path, const std::function<void(const std::string& tempPath)>& writer);

// Several files written as one: each is first written in full to a
// temporary file beside its target; commit() then renames them over their
// targets. Before commit(), or when commit() fails, no target is changed:
// a target already replaced is put back from a link to its old content.
// Temporary files left by a failed or abandoned group are removed.
class FileGroup {
public:
    FileGroup() = default;
    FileGroup(const FileGroup&) = delete;
    FileGroup& operator=(const FileGroup&) = delete;
    ~FileGroup();

    // Lets `writer` produce the content of `path` at a temporary path.
    // Throws Error naming the file when it cannot be written (see
    // whyNotWritable) or the writer fails (the writer's own Error passes
    // through, with the temporary path in its text replaced by `path`).
    void stage(const std::string& path, const std::function<void(const std::string& tempPath)>& writer);
    // Stages `bytes` as the content of `path`.
    void stageBytes(const std::string& path, const std::string& bytes);
    // Renames every staged file over its target. Throws Error naming the
    // file that could not be replaced and why.
    void commit();

private:
    struct Staged {
        std::string target;
        std::string temp;
    };
    std::vector<Staged> staged_;
};

}  // namespace tolvane
