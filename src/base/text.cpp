#include "base/text.hpp"

#include <filesystem>

namespace tolvane {

namespace {

char foldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string asciiLower(std::string s) {
    for (char& c : s) c = foldCase(c);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

std::string lowerExtension(const std::string& path) {
    return asciiLower(std::filesystem::path(path).extension().string());
}

}  // namespace tolvane
