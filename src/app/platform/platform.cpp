#include "app/platform/platform.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "base/diagnostics.hpp"

namespace tolvane::app {

const std::vector<std::string>& knownProperties() {
    static const std::vector<std::string> names = {"Value",    "String",   "Enable", "Visible", "TooltipString",
                                                   "Checked",  "Name",     "Pointer", "Position", "Units",
                                                   "Color",    "Max",      "Tag",    "FontSize"};
    return names;
}

bool isKnownProperty(const std::string& name) {
    const auto& names = knownProperties();
    return std::find(names.begin(), names.end(), name) != names.end();
}

void checkPropertySet(const std::string& property, const Value& value) {
    if (!isKnownProperty(property)) throw Error("Unknown property " + property + ".");
    if (property == "Tag") throw Error("The property Tag cannot be set.");
    const bool onOff = value.isText() && (value.str() == "on" || value.str() == "off");
    if ((property == "Enable" || property == "Visible" || property == "Checked") && !onOff)
        throw Error("The property " + property + " takes \"on\" or \"off\".");
    if ((property == "Name" || property == "Pointer" || property == "Units" || property == "TooltipString") &&
        !value.isText())
        throw Error("The property " + property + " takes a text.");
}

namespace {

// Progress of work run at once: nobody can press Cancel.
class InlineProgress : public Progress {
public:
    void report(double) override {}
    bool cancelled() const override { return false; }
};

}  // namespace

bool Platform::runBusy(const std::string&, bool, const std::function<void(Progress&)>& work) {
    InlineProgress progress;
    work(progress);
    return true;
}

std::string helpPageTitle(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    std::string head(64 * 1024, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t open = lower.find("<title>");
    const std::size_t close = open == std::string::npos ? open : lower.find("</title>", open);
    std::string title;
    if (close != std::string::npos) {
        // The text with its white space runs made single spaces.
        for (std::size_t i = open + 7; i < close; ++i) {
            const char c = head[i];
            const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
            if (space) {
                if (!title.empty() && title.back() != ' ') title += ' ';
            } else {
                title += c;
            }
        }
        while (!title.empty() && title.back() == ' ') title.pop_back();
    }
    if (title.empty()) title = std::filesystem::path(path).filename().string();
    return title;
}

std::string withoutMnemonic(const std::string& label) {
    std::string out;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&') {
            if (i + 1 < label.size() && label[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += label[i];
    }
    return out;
}

}  // namespace tolvane::app
