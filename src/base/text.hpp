// Small text helpers every layer uses: case-insensitive comparison of
// keywords and names, and a file name's extension as it is compared.
//
// Case folding is ASCII only, whatever the process locale (the desktop sets
// the user's): every keyword compared this way is ASCII, and a byte of a
// UTF-8 sequence is never changed.
#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// `s` with its ASCII capitals made small.
std::string asciiLower(std::string s);

// True when `a` and `b` are equal but for the case of ASCII letters.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The extension of the last name in `path`, with its dot and in small
// letters (".png"); empty when the name has none.
std::string lowerExtension(const std::string& path);

}  // namespace tolvane
