// Writing a file whole or not at all: the content goes to a temporary file
// in the target's folder, which is then renamed over the target.
#pragma once

#include <functional>
#include <string>

namespace tolvane {

// Writes `bytes` to `path` atomically. Throws Error naming the file.
void writeFileAtomically(const std::string& path, const std::string& bytes);

// Lets `writer` produce the file at a temporary path in the target's folder,
// then renames it over `path`; the temporary file is removed when `writer`
// throws. Throws Error naming the file when the rename fails.
void replaceFileAtomically(const std::string& path, const std::function<void(const std::string& tempPath)>& writer);

}  // namespace tolvane
