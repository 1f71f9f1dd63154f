#include "app/platform/xml_reader.hpp"
#include "base/utf8.hpp"

#include <cstdint>
#include <fstream>
#include <sstream>
#include <system_error>
#include <filesystem>

#include "base/diagnostics.hpp"

namespace tolvane::app {

const std::string* XmlElement::attribute(std::string_view key) const {
    for (const auto& [k, v] : attributes)
        if (k == key) return &v;
    return nullptr;
}

const XmlElement* XmlElement::child(std::string_view childName) const {
    for (const auto& c : children)
        if (c->name == childName) return c.get();
    return nullptr;
}

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::unique_ptr<XmlElement> document() {
        if (s_.size() > kMaxXmlBytes) fail("the file is larger than " + std::to_string(kMaxXmlBytes) + " bytes");
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        skipMisc();
        if (atEnd() || peek() != '<') fail("no root element");
        auto root = element(1);
        skipMisc();
        if (!atEnd()) fail("text after the root element");
        return root;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        std::size_t line = 1;
        for (std::size_t i = 0; i < pos_ && i < s_.size(); ++i)
            if (s_[i] == '\n') ++line;
        throw Error("Layout file line " + std::to_string(line) + ": " + what + ".");
    }

    bool atEnd() const { return pos_ >= s_.size(); }
    char peek() const { return s_[pos_]; }
    bool startsWith(std::string_view t) const { return s_.substr(pos_, t.size()) == t; }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool isNameChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
    }

    void skipSpace() {
        while (!atEnd() && isSpace(peek())) ++pos_;
    }

    // Skips up to and including the terminator.
    void skipPast(std::string_view terminator, const char* what) {
        const auto end = s_.find(terminator, pos_);
        if (end == std::string_view::npos) fail(std::string("unterminated ") + what);
        pos_ = end + terminator.size();
    }

    // Whitespace, comments, processing instructions and a DOCTYPE outside the root.
    void skipMisc() {
        for (;;) {
            skipSpace();
            if (startsWith("<?"))
                skipPast("?>", "processing instruction");
            else if (startsWith("<!--"))
                skipPast("-->", "comment");
            else if (startsWith("<!DOCTYPE")) {
                const auto close = s_.find('>', pos_);
                if (close == std::string_view::npos) fail("unterminated DOCTYPE");
                if (s_.substr(pos_, close - pos_).find('[') != std::string_view::npos)
                    fail("a DOCTYPE with an internal subset is not read");
                skipPast(">", "DOCTYPE");
            } else
                return;
        }
    }

    std::string name() {
        const std::size_t start = pos_;
        while (!atEnd() && isNameChar(peek())) ++pos_;
        if (pos_ == start) fail("a name was expected");
        return std::string(s_.substr(start, pos_ - start));
    }


    // At '&': decodes one reference into out.
    void reference(std::string& out) {
        const auto semi = s_.find(';', pos_);
        if (semi == std::string_view::npos || semi - pos_ > 12) fail("bad character reference");
        const std::string_view ref = s_.substr(pos_ + 1, semi - pos_ - 1);
        if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "amp") out += '&';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            if (digits.empty()) fail("bad character reference");
            std::uint32_t cp = 0;
            for (char c : digits) {
                int d;
                if (c >= '0' && c <= '9') d = c - '0';
                else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
                else fail("bad character reference");
                cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
                if (cp > 0x10FFFF) fail("character reference out of range");
            }
            if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) fail("character reference out of range");
            appendUtf8(out, cp);
        } else
            fail("unknown entity &" + std::string(ref) + ";");
        pos_ = semi + 1;
    }

    std::unique_ptr<XmlElement> element(std::size_t depth) {
        if (depth > kMaxXmlDepth) fail("elements nest deeper than " + std::to_string(kMaxXmlDepth));
        if (++elements_ > kMaxXmlElements) fail("more than " + std::to_string(kMaxXmlElements) + " elements");
        ++pos_;  // '<'
        auto el = std::make_unique<XmlElement>();
        el->name = name();
        for (;;) {
            skipSpace();
            if (atEnd()) fail("unterminated start tag <" + el->name + ">");
            if (startsWith("/>")) {
                pos_ += 2;
                return el;
            }
            if (peek() == '>') {
                ++pos_;
                break;
            }
            std::string key = name();
            skipSpace();
            if (atEnd() || peek() != '=') fail("'=' expected after attribute " + key);
            ++pos_;
            skipSpace();
            if (atEnd() || (peek() != '"' && peek() != '\'')) fail("quoted value expected for attribute " + key);
            const char quote = s_[pos_++];
            std::string value;
            for (;;) {
                if (atEnd()) fail("unterminated attribute value");
                const char c = peek();
                if (c == quote) { ++pos_; break; }
                if (c == '<') fail("'<' inside an attribute value");
                if (c == '&') reference(value);
                else value += c, ++pos_;
            }
            if (el->attributes.size() >= kMaxXmlAttributes)
                fail("more than " + std::to_string(kMaxXmlAttributes) + " attributes on <" + el->name + ">");
            if (el->attribute(key)) fail("attribute " + key + " given twice");
            el->attributes.emplace_back(std::move(key), std::move(value));
        }
        // Content.
        for (;;) {
            if (atEnd()) fail("element <" + el->name + "> is not closed");
            if (startsWith("</")) {
                pos_ += 2;
                const std::string closing = name();
                if (closing != el->name) fail("</" + closing + "> closes <" + el->name + ">");
                skipSpace();
                if (atEnd() || peek() != '>') fail("'>' expected");
                ++pos_;
                return el;
            }
            if (startsWith("<!--")) {
                skipPast("-->", "comment");
            } else if (startsWith("<![CDATA[")) {
                pos_ += 9;
                const auto end = s_.find("]]>", pos_);
                if (end == std::string_view::npos) fail("unterminated CDATA section");
                el->text.append(s_.substr(pos_, end - pos_));
                pos_ = end + 3;
            } else if (startsWith("<?")) {
                skipPast("?>", "processing instruction");
            } else if (peek() == '<') {
                el->children.push_back(element(depth + 1));
            } else if (peek() == '&') {
                reference(el->text);
            } else {
                el->text += peek();
                ++pos_;
            }
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    std::size_t elements_ = 0;
};

}  // namespace

std::unique_ptr<XmlElement> parseXml(std::string_view text) { return Parser(text).document(); }

std::unique_ptr<XmlElement> readXmlFile(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw Error("Cannot read the layout file " + path + ".");
    if (size > kMaxXmlBytes)
        throw Error("The layout file " + path + " is larger than " + std::to_string(kMaxXmlBytes) + " bytes.");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("Cannot read the layout file " + path + ".");
    std::ostringstream buffer;
    buffer << in.rdbuf();
    try {
        return parseXml(buffer.str());
    } catch (const Error& e) {
        throw Error(path + ": " + e.what());
    }
}

}  // namespace tolvane::app
