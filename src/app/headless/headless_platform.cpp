#include "app/headless/headless_platform.hpp"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "app/platform/value_text.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

bool isOnOff(const Value& v) { return v.isText() && (v.str() == "on" || v.str() == "off"); }

// Layout names are plain names: a name with a path or odd characters could
// reach files outside the layout folders.
std::string plainLayoutName(std::string name) {
    for (const char* ext : {".fig", ".ui"}) {
        const std::string e = ext;
        if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) {
            name.resize(name.size() - e.size());
            break;
        }
    }
    const bool plain = !name.empty() && name.size() <= 128 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
    if (!plain) throw Error("'" + name + "' is not a layout name.");
    return name;
}

std::string joined(const std::vector<std::string>& parts, const std::string& sep) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? sep : "") + parts[i];
    return out;
}

}  // namespace

HeadlessPlatform::HeadlessPlatform(std::vector<std::string> layoutFolders) : folders_(std::move(layoutFolders)) {}

HeadlessPlatform::Window& HeadlessPlatform::window(WindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) throw Error("Invalid window handle " + std::to_string(id) + ".");
    return it->second;
}

const HeadlessPlatform::Window& HeadlessPlatform::window(WindowId id) const {
    auto it = windows_.find(id);
    if (it == windows_.end()) throw Error("Invalid window handle " + std::to_string(id) + ".");
    return it->second;
}

std::string HeadlessPlatform::title(const Window& w) const {
    auto it = w.props.find("Name");
    return it == w.props.end() ? std::string() : displayText(it->second);
}

WindowId HeadlessPlatform::openLayout(const std::string& layoutName) {
    const std::string name = plainLayoutName(layoutName);
    for (const auto& [id, w] : windows_)
        if (w.layout == name) return id;
    std::string path;
    for (const auto& folder : folders_) {
        const auto candidate = std::filesystem::path(folder) / (name + ".ui");
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            path = candidate.string();
            break;
        }
    }
    if (path.empty()) throw Error("The window layout " + name + " was not found.");
    const Layout layout = readLayoutFile(path);

    Window w;
    w.layout = name;
    w.tag = layout.windowTag;
    w.props["Name"] = Value::text(layout.title);
    w.props["Visible"] = Value::text("off");
    w.props["Enable"] = Value::text("on");
    w.props["Pointer"] = Value::text("arrow");
    w.props["Units"] = Value::text("pixels");
    w.props["Color"] = Value::row({0.94, 0.94, 0.94});
    w.props["Position"] = layout.position.isSet() ? layout.position : Value::row({0, 0, 400, 300});
    w.props["Tag"] = Value::text(layout.windowTag);
    for (const auto& lc : layout.controls) {
        Control c;
        c.widgetClass = lc.widgetClass;
        c.parentTag = lc.parentTag;
        c.isMenuItem = lc.isMenuItem;
        c.props["String"] = Value::text("");
        c.props["Value"] = Value::scalar(0);
        c.props["Enable"] = Value::text("on");
        c.props["Visible"] = Value::text("on");
        c.props["TooltipString"] = Value::text("");
        c.props["Checked"] = Value::text("off");
        c.props["Units"] = Value::text("pixels");
        c.props["Position"] = Value::row({0, 0, 0, 0});
        c.props["Color"] = Value::row({0.94, 0.94, 0.94});
        c.props["Max"] = Value::scalar(1);
        c.props["FontSize"] = Value::scalar(kScriptedFontSize);
        c.props["Tag"] = Value::text(lc.tag);
        const bool isList = lc.widgetClass == "QComboBox" || lc.widgetClass == "QListWidget";
        if (isList) c.props["Value"] = Value::scalar(1);
        for (const auto& [p, v] : lc.properties) c.props[p] = v;
        w.order.push_back(lc.tag);
        w.controls.emplace(lc.tag, std::move(c));
    }
    const WindowId id = next_++;
    windows_.emplace(id, std::move(w));
    return id;
}

bool HeadlessPlatform::isWindow(WindowId id) const { return windows_.count(id) != 0; }

void HeadlessPlatform::deleteWindow(WindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    if (isOnOff(it->second.props["Visible"]) && it->second.props["Visible"].str() == "on")
        note("window closed \"" + oneLine(title(it->second)) + "\"");
    // A deleted window cannot be waited on any more: its wait ends with Cancel.
    it->second.resumed = true;
    windows_.erase(it);
}

std::string HeadlessPlatform::windowTag(WindowId id) const { return window(id).tag; }

std::vector<std::string> HeadlessPlatform::controlTags(WindowId id) const { return window(id).order; }

bool HeadlessPlatform::hasControl(WindowId id, const std::string& tag) const {
    const Window& w = window(id);
    return w.controls.count(tag) != 0;
}

Value HeadlessPlatform::get(WindowId id, const std::string& tag, const std::string& property) const {
    if (!isKnownProperty(property)) throw Error("Unknown property " + property + ".");
    const Window& w = window(id);
    const std::map<std::string, Value>* props = nullptr;
    if (tag == w.tag)
        props = &w.props;
    else {
        auto it = w.controls.find(tag);
        if (it == w.controls.end()) throw Error("The window " + w.tag + " has no control " + tag + ".");
        props = &it->second.props;
    }
    auto p = props->find(property);
    return p == props->end() ? Value::empty() : p->second;
}

void HeadlessPlatform::set(WindowId id, const std::string& tag, const std::string& property, Value value) {
    if (!isKnownProperty(property)) throw Error("Unknown property " + property + ".");
    if (property == "Tag") throw Error("The property Tag cannot be set.");
    if ((property == "Enable" || property == "Visible" || property == "Checked") && !isOnOff(value))
        throw Error("The property " + property + " takes \"on\" or \"off\".");
    if ((property == "Name" || property == "Pointer" || property == "Units" || property == "TooltipString") &&
        !value.isText())
        throw Error("The property " + property + " takes a text.");
    Window& w = window(id);
    if (tag == w.tag) {
        const std::string before = displayText(w.props[property]);
        w.props[property] = std::move(value);
        if (property == "Visible" && before != w.props[property].str())
            note(std::string("window ") + (w.props[property].str() == "on" ? "opened" : "closed") + " \"" +
                 oneLine(title(w)) + "\"");
        return;
    }
    auto it = w.controls.find(tag);
    if (it == w.controls.end()) throw Error("The window " + w.tag + " has no control " + tag + ".");
    it->second.props[property] = std::move(value);
}

void HeadlessPlatform::setDispatcher(WindowId id, Dispatcher dispatcher) { window(id).dispatcher = std::move(dispatcher); }

void HeadlessPlatform::addMenuItem(WindowId id, const MenuItem& item) {
    Window& w = window(id);
    if (item.tag.empty()) throw Error("A menu item needs a tag.");
    if (w.controls.count(item.tag) || item.tag == w.tag) throw Error("The tag " + item.tag + " is used twice.");
    if (!item.parentTag.empty()) {
        auto parent = w.controls.find(item.parentTag);
        if (parent == w.controls.end() || !parent->second.isMenuItem)
            throw Error("There is no menu " + item.parentTag + ".");
    }
    Control c;
    c.widgetClass = "QAction";
    c.parentTag = item.parentTag;
    c.isMenuItem = true;
    c.separatorAbove = item.separatorAbove;
    c.props["String"] = Value::text(item.label);
    c.props["Enable"] = Value::text(item.enabled ? "on" : "off");
    c.props["Visible"] = Value::text(item.visible ? "on" : "off");
    c.props["Checked"] = Value::text("off");
    c.props["TooltipString"] = Value::text("");
    c.props["Tag"] = Value::text(item.tag);
    w.order.push_back(item.tag);
    w.controls.emplace(item.tag, std::move(c));
}

std::string HeadlessPlatform::waitModal(WindowId id) {
    Window& w = window(id);
    w.resumed = false;
    w.answer.clear();
    waits_.push_back(id);
    struct Pop {
        std::vector<WindowId>& waits;
        ~Pop() { waits.pop_back(); }
    } pop{waits_};
    bool first = true;
    for (;;) {
        auto it = windows_.find(id);
        if (it == windows_.end()) return "Cancel";  // deleted while waiting
        if (it->second.resumed) return it->second.answer;
        if (!pump_ || !pump_(id, first))
            throw ScriptFault("nothing resumed the window \"" + oneLine(title(it->second)) + "\"");
        first = false;
    }
}

void HeadlessPlatform::resumeModal(WindowId id, const std::string& answer) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    if (std::find(waits_.begin(), waits_.end(), id) == waits_.end()) return;  // nothing waits on it
    it->second.resumed = true;
    it->second.answer = answer;
}

void HeadlessPlatform::note(const std::string& line) {
    transcript_.push_back(line);
    if (sink_) sink_(line);
}

void HeadlessPlatform::dialogLine(const std::string& kind, const std::string& title, const std::string& text,
                                  const std::vector<std::string>& buttons) {
    note("dialog " + kind + " \"" + oneLine(title) + "\": " + oneLine(text) + " [" + joined(buttons, "|") + "]");
}

std::string HeadlessPlatform::nextAnswer(const std::string&) {
    if (answers_.empty()) return {};
    std::string a = std::move(answers_.front());
    answers_.pop_front();
    return a;
}

void HeadlessPlatform::messageBox(const std::string& title, const std::string& text) {
    dialogLine("message", title, text, {"OK"});
    const bool queued = !answers_.empty();
    const std::string a = nextAnswer("message");
    if (queued && a != "OK" && a != "close")
        throw ScriptFault("the message \"" + oneLine(title) + "\" has no button " + a);
}

void HeadlessPlatform::errorDialog(const std::string& title, const std::string& text) {
    dialogLine("error", title, text, {"OK"});
    const bool queued = !answers_.empty();
    const std::string a = nextAnswer("error");
    if (queued && a != "OK" && a != "close")
        throw ScriptFault("the error \"" + oneLine(title) + "\" has no button " + a);
}

std::string HeadlessPlatform::questionDialog(const std::string& title, const std::string& text,
                                             const std::vector<std::string>& buttons,
                                             const std::string& defaultButton) {
    if (buttons.size() < 2 || buttons.size() > 3) throw Error("A question has two or three buttons.");
    if (std::find(buttons.begin(), buttons.end(), defaultButton) == buttons.end())
        throw Error("The default button " + defaultButton + " is not one of the question's buttons.");
    dialogLine("question", title, text, buttons);
    if (answers_.empty()) return defaultButton;
    const std::string a = nextAnswer("question");
    if (a == "close") return "";
    if (std::find(buttons.begin(), buttons.end(), a) == buttons.end())
        throw ScriptFault("the question \"" + oneLine(title) + "\" has no button " + a);
    return a;
}

std::optional<std::vector<std::string>> HeadlessPlatform::inputDialog(const std::string& title,
                                                                      const std::vector<std::string>& prompts,
                                                                      const std::vector<std::string>& defaults) {
    if (defaults.size() != prompts.size()) throw Error("An input dialog needs one default text per prompt.");
    dialogLine("input", title, joined(prompts, "\n"), {"OK", "Cancel"});
    if (answers_.empty()) return defaults;
    const std::string a = nextAnswer("input");
    if (a == "Cancel" || a == "close") return std::nullopt;
    if (a == "OK") return defaults;
    std::vector<std::string> texts;
    std::size_t start = 0;
    for (;;) {
        const auto bar = a.find('|', start);
        texts.push_back(a.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    if (texts.size() != prompts.size())
        throw ScriptFault("the input \"" + oneLine(title) + "\" asks for " + std::to_string(prompts.size()) +
                          " texts, the answer gives " + std::to_string(texts.size()));
    return texts;
}

FileChoice HeadlessPlatform::openFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& startFolder) {
    lastDialogFolder_ = startFolder;
    dialogLine("file", title, filter, {"Open", "Cancel"});
    if (files_.empty()) return {};
    FileChoice c = std::move(files_.front());
    files_.pop_front();
    return c;
}

FileChoice HeadlessPlatform::saveFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& defaultName) {
    dialogLine("file", title, defaultName.empty() ? filter : defaultName, {"Save", "Cancel"});
    if (files_.empty()) return {};
    FileChoice c = std::move(files_.front());
    files_.pop_front();
    return c;
}

void HeadlessPlatform::console(const std::string& text) { note("console: " + oneLine(text)); }

std::array<double, 6> HeadlessPlatform::clock() const {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const double frac = duration<double>(now.time_since_epoch()).count() - static_cast<double>(t);
    return {static_cast<double>(tm.tm_year + 1900), static_cast<double>(tm.tm_mon + 1),
            static_cast<double>(tm.tm_mday),        static_cast<double>(tm.tm_hour),
            static_cast<double>(tm.tm_min),         tm.tm_sec + frac};
}

void HeadlessPlatform::startStopwatch() {
    stopwatch_ = std::chrono::steady_clock::now();
    paused_ = 0;
}

double HeadlessPlatform::elapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - stopwatch_).count() + paused_;
}

void HeadlessPlatform::pause(double seconds) {
    if (seconds > 0) paused_ += seconds;
}

bool HeadlessPlatform::openInBrowser(const std::string& path) {
    browser_.push_back(path);
    return true;
}

bool HeadlessPlatform::isMenuItem(WindowId id, const std::string& tag) const {
    const Window& w = window(id);
    auto it = w.controls.find(tag);
    return it != w.controls.end() && it->second.isMenuItem;
}

bool HeadlessPlatform::reachable(WindowId id, const std::string& tag) const {
    const Window& w = window(id);
    auto it = w.controls.find(tag);
    if (it == w.controls.end()) throw Error("The window " + w.tag + " has no control " + tag + ".");
    auto on = [](const std::map<std::string, Value>& props, const char* p) {
        auto f = props.find(p);
        return f == props.end() || !f->second.isText() || f->second.str() == "on";
    };
    if (!on(w.props, "Visible") || !on(it->second.props, "Enable") || !on(it->second.props, "Visible")) return false;
    // A menu item under a disabled or hidden menu cannot be reached either.
    for (std::string parent = it->second.parentTag; !parent.empty();) {
        auto p = w.controls.find(parent);
        if (p == w.controls.end()) break;
        if (!on(p->second.props, "Enable") || !on(p->second.props, "Visible")) return false;
        parent = p->second.parentTag;
    }
    return true;
}

bool HeadlessPlatform::activate(WindowId id, const std::string& tag) {
    if (!reachable(id, tag)) return false;
    Window& w = window(id);
    if (!w.dispatcher) return true;
    const Dispatcher dispatcher = w.dispatcher;  // the callback may replace it
    try {
        dispatcher(CallbackEvent{tag + "_Callback", id, tag});
    } catch (const Error& e) {
        console(e.what());
    }
    return true;
}

void HeadlessPlatform::requestClose(WindowId id) {
    Window& w = window(id);
    if (w.dispatcher) {
        const Dispatcher dispatcher = w.dispatcher;
        try {
            dispatcher(CallbackEvent{w.tag + "_CloseRequestFcn", id, w.tag});
        } catch (const Error& e) {
            console(e.what());
        }
        return;
    }
    set(id, w.tag, "Visible", Value::text("off"));
    resumeModal(id, "Cancel");
}

void HeadlessPlatform::showImage(WindowId id, const std::string& tag, const std::string& path) {
    if (!hasControl(id, tag)) throw Error("The window " + window(id).tag + " has no control " + tag + ".");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw Error("The image " + path + " cannot be read.");
}

WindowId HeadlessPlatform::showFigure(const display::Figure& figure) {
    figures_.push_back(figure);
    const WindowId id = next_++;
    Window w;
    w.tag = "figure" + std::to_string(id);
    w.props["Name"] = Value::text(figure.name);
    w.props["Visible"] = Value::text("off");
    w.props["Enable"] = Value::text("on");
    w.props["Pointer"] = Value::text("arrow");
    w.props["Units"] = Value::text(figure.units);
    w.props["Color"] = Value::row({0.94, 0.94, 0.94});
    w.props["Position"] =
        Value::row({figure.position[0], figure.position[1], figure.position[2], figure.position[3]});
    w.props["Tag"] = Value::text(w.tag);
    w.dispatcher = [this](const CallbackEvent& e) { deleteWindow(e.window); };
    windows_.emplace(id, std::move(w));
    set(id, "figure" + std::to_string(id), "Visible", Value::text("on"));
    return id;
}

WindowId HeadlessPlatform::findWindow(const std::string& tag) const {
    for (const auto& [id, w] : windows_)
        if (w.tag == tag) return id;
    return 0;
}

}  // namespace tolvane::app
