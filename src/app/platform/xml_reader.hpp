// A small, bounded XML reader for layout files.
//
// It reads elements, attributes, character data (with the five named
// entities, numeric character references and CDATA sections), and skips the
// declaration, processing instructions, comments and a DOCTYPE without an
// internal subset. Namespaces are not interpreted. The input is refused
// with tolvane::Error (naming the line) when it is larger than kMaxXmlBytes,
// nests deeper than kMaxXmlDepth, holds more than kMaxXmlElements elements or
// an element with more than kMaxXmlAttributes attributes, or is
// not well formed.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvane::app {

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::unique_ptr<XmlElement>> children;
    std::string text;  // the character data directly inside, concatenated

    // The attribute's value, or nullptr.
    const std::string* attribute(std::string_view key) const;
    // The first child of that name, or nullptr.
    const XmlElement* child(std::string_view childName) const;
};

inline constexpr std::size_t kMaxXmlBytes = 4u << 20;  // 4 MiB
inline constexpr std::size_t kMaxXmlDepth = 64;
inline constexpr std::size_t kMaxXmlElements = 200000;
inline constexpr std::size_t kMaxXmlAttributes = 64;  // per element

// Parses a whole document; returns its root element.
std::unique_ptr<XmlElement> parseXml(std::string_view text);

// Reads and parses a file (refusing one over kMaxXmlBytes before reading it).
std::unique_ptr<XmlElement> readXmlFile(const std::string& path);

}  // namespace tolvane::app
