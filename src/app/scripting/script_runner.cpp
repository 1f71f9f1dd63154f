#include "app/scripting/script_runner.hpp"

#include <charconv>

#include "app/platform/value_text.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

std::vector<std::string> readScript(std::istream& in) {
    std::vector<std::string> lines;
    std::size_t total = 0;
    std::string line;
    char ch;
    bool any = false;
    while (in.get(ch)) {
        any = true;
        if (++total > kMaxScriptBytes)
            throw ScriptError(0, "the script is larger than " + std::to_string(kMaxScriptBytes) + " bytes");
        if (ch == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            line.clear();
            continue;
        }
        if (line.size() >= kMaxScriptLineBytes)
            throw ScriptError(lines.size() + 1,
                              "the line is longer than " + std::to_string(kMaxScriptLineBytes) + " characters");
        line += ch;
    }
    if (any && !line.empty()) {
        if (line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

namespace {

// Splits off the first word (up to one blank); the rest follows the blank.
std::pair<std::string_view, std::string_view> firstWord(std::string_view s) {
    const auto blank = s.find(' ');
    if (blank == std::string_view::npos) return {s, {}};
    return {s.substr(0, blank), s.substr(blank + 1)};
}

bool wholeNumber(std::string_view s, long& out) {
    if (s.empty()) return false;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

ScriptRunner::ScriptRunner(ScriptablePlatform& platform, WindowResolver resolver)
    : platform_(platform), resolver_(std::move(resolver)) {}

void ScriptRunner::run(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    next_ = 0;
    platform_.setPump([this](WindowId waiting, bool first) {
        if (first) {
            openerLine_[waiting] = currentLine_;
            current_ = waiting;
        }
        if (next_ >= lines_.size()) {
            const auto opener = openerLine_[waiting];
            throw ScriptError(opener, "the script ended while the window \"" +
                                          oneLine(displayText(platform_.get(waiting, platform_.windowTag(waiting), "Name"))) +
                                          "\" waits");
        }
        step();
        return true;
    });
    struct Unpump {
        ScriptablePlatform& p;
        ~Unpump() { p.setPump({}); }
    } unpump{platform_};
    while (next_ < lines_.size()) step();

    const std::size_t unusedAnswers = platform_.pendingAnswers();
    if (unusedAnswers > 0)
        throw ScriptError(answerLines_[answerLines_.size() - unusedAnswers], "no dialog came for this answer");
    const std::size_t unusedFiles = platform_.pendingFiles();
    if (unusedFiles > 0)
        throw ScriptError(fileLines_[fileLines_.size() - unusedFiles], "no file dialog came for this answer");
}

void ScriptRunner::step() {
    const std::size_t index = next_++;
    const std::size_t saved = currentLine_;
    currentLine_ = index + 1;
    try {
        execute(lines_[index]);
    } catch (const ScriptFault& f) {
        throw ScriptError(currentLine_, f.what());
    } catch (const Error& e) {
        // Faults of the platform itself (a layout that cannot be read, a
        // property the control does not take) end the run at this line.
        throw ScriptError(currentLine_, e.what());
    }
    currentLine_ = saved;
}

WindowId ScriptRunner::addressed() const {
    if (current_ == 0 || !platform_.isWindow(current_)) throw ScriptFault("no window is addressed");
    return current_;
}

void ScriptRunner::requireControl(const std::string& tag) const {
    const WindowId w = addressed();
    if (tag.empty() || !platform_.hasControl(w, tag))
        throw ScriptFault("the window " + platform_.windowTag(w) + " has no control '" + tag + "'");
}

void ScriptRunner::fire(const std::string& tag) {
    const WindowId before = current_;
    platform_.activate(current_, tag);
    current_ = before;
}

void ScriptRunner::execute(std::string_view line) {
    if (line.empty() || line.front() == '#') return;
    if (line.find_first_not_of(" \t") == std::string_view::npos) return;
    const auto [action, rest] = firstWord(line);

    if (action == "window") {
        if (rest.empty()) throw ScriptFault("window needs a NAME");
        const WindowId w = resolver_(std::string(rest));
        if (w == 0 || !platform_.isWindow(w)) throw ScriptFault("there is no window '" + std::string(rest) + "'");
        current_ = w;
    } else if (action == "type") {
        const auto [tag, text] = firstWord(rest);
        requireControl(std::string(tag));
        if (!platform_.reachable(current_, std::string(tag))) return;
        platform_.set(current_, std::string(tag), "String", Value::text(std::string(text)));
        fire(std::string(tag));
    } else if (action == "select") {
        const auto [tag, index] = firstWord(rest);
        requireControl(std::string(tag));
        long n = 0;
        if (!wholeNumber(index, n) || n < 1) throw ScriptFault("select needs an entry number from 1");
        const Value items = platform_.get(current_, std::string(tag), "String");
        if (!items.isCell()) throw ScriptFault("'" + std::string(tag) + "' has no entries to select");
        if (static_cast<std::size_t>(n) > items.numel())
            throw ScriptFault("'" + std::string(tag) + "' has " + std::to_string(items.numel()) + " entries, not " +
                              std::to_string(n));
        if (!platform_.reachable(current_, std::string(tag))) return;
        platform_.set(current_, std::string(tag), "Value", Value::scalar(static_cast<double>(n)));
        fire(std::string(tag));
    } else if (action == "check") {
        const auto [tag, state] = firstWord(rest);
        requireControl(std::string(tag));
        if (state != "0" && state != "1") throw ScriptFault("check takes 0 or 1");
        if (!platform_.reachable(current_, std::string(tag))) return;
        platform_.set(current_, std::string(tag), "Value", Value::scalar(state == "1" ? 1 : 0));
        fire(std::string(tag));
    } else if (action == "slide") {
        const auto [tag, position] = firstWord(rest);
        requireControl(std::string(tag));
        long n = 0;
        const Value max = platform_.get(current_, std::string(tag), "Max");
        if (!wholeNumber(position, n) || n < 0 || !max.isReal() || max.numel() != 1 ||
            static_cast<double>(n) > max.realAt(0))
            throw ScriptFault("slide needs a position from 0 to the control's Max");
        if (!platform_.reachable(current_, std::string(tag))) return;
        platform_.set(current_, std::string(tag), "Value", Value::scalar(static_cast<double>(n)));
        fire(std::string(tag));
    } else if (action == "press") {
        requireControl(std::string(rest));
        if (platform_.isMenuItem(current_, std::string(rest)))
            throw ScriptFault("'" + std::string(rest) + "' is a menu item: use menu");
        fire(std::string(rest));
    } else if (action == "menu") {
        requireControl(std::string(rest));
        if (!platform_.isMenuItem(current_, std::string(rest)))
            throw ScriptFault("'" + std::string(rest) + "' is not a menu item");
        fire(std::string(rest));
    } else if (action == "close") {
        if (!rest.empty()) throw ScriptFault("close takes nothing after it");
        const WindowId before = current_;
        platform_.requestClose(addressed());
        current_ = before;
    } else if (action == "answer") {
        platform_.queueAnswer(std::string(rest));
        answerLines_.push_back(currentLine_);
    } else if (action == "file") {
        FileChoice choice;
        std::string_view answer = rest;
        if (answer.substr(0, 7) == "filter ") {
            const auto [number, path] = firstWord(answer.substr(7));
            std::size_t n = 0;
            const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
            if (ec != std::errc() || end != number.data() + number.size() || n == 0)
                throw ScriptFault("file filter needs a filter number from 1, then FOLDER/NAME");
            choice.filter = n - 1;
            answer = path;
        }
        if (answer != "cancel") {
            const auto slash = answer.rfind('/');
            const std::string_view name = slash == std::string_view::npos ? answer : answer.substr(slash + 1);
            if (name.empty()) throw ScriptFault("file needs FOLDER/NAME or cancel");
            choice.cancelled = false;
            choice.file = std::string(name);
            choice.folder = slash == std::string_view::npos ? "./" : std::string(answer.substr(0, slash + 1));
        }
        platform_.queueFile(std::move(choice));
        fileLines_.push_back(currentLine_);
    } else if (action == "show") {
        const auto [tag, property] = firstWord(rest);
        const std::string t(tag), p(property);
        if (!isKnownProperty(p)) throw ScriptFault("unknown property '" + p + "'");
        WindowId w = 0;
        if (current_ != 0 && platform_.isWindow(current_) &&
            (platform_.hasControl(current_, t) || platform_.windowTag(current_) == t))
            w = current_;
        else
            w = platform_.findWindow(t);
        std::string target = t;
        if (w == 0 && !t.empty()) {
            // A window's script name ("main", "slot", ...) addresses its window.
            try {
                w = resolver_(t);
            } catch (const ScriptFault& f) {
                throw ScriptFault("unknown tag '" + t + "' (" + f.what() + ")");
            }
            if (w != 0 && platform_.isWindow(w)) target = platform_.windowTag(w);
        }
        if (w == 0) throw ScriptFault("unknown tag '" + t + "'");
        platform_.note("show " + t + " " + p + ": " + oneLine(displayText(platform_.get(w, target, p))));
    } else {
        throw ScriptFault("unknown action '" + std::string(action) + "'");
    }
}

}  // namespace tolvane::app
