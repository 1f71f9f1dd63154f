#include "app/headless/headless_platform.hpp"

#include <algorithm>
#include <filesystem>

#include "app/platform/ui_layout.hpp"
#include "app/platform/value_text.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

bool isOnOff(const Value& v) { return v.isText() && (v.str() == "on" || v.str() == "off"); }

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
    const Layout layout = readLayoutFile(findLayoutFile(folders_, name));

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
        windowLine(false, title(it->second));
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
    checkPropertySet(property, value);
    Window& w = window(id);
    if (tag == w.tag) {
        const std::string before = displayText(w.props[property]);
        w.props[property] = std::move(value);
        if (property == "Visible" && before != w.props[property].str())
            windowLine(w.props[property].str() == "on", title(w));
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
    const ModalWait wait(*this, id);
    return runPump(
        id,
        [&]() -> std::optional<std::string> {
            auto it = windows_.find(id);
            if (it == windows_.end()) return "Cancel";  // deleted while waiting
            if (it->second.resumed) return it->second.answer;
            return std::nullopt;
        },
        [&] { return title(window(id)); });
}

void HeadlessPlatform::resumeModal(WindowId id, const std::string& answer) {
    auto it = windows_.find(id);
    if (it == windows_.end()) return;
    if (!waitsOn(id)) return;  // nothing waits on it
    it->second.resumed = true;
    it->second.answer = answer;
}

void HeadlessPlatform::messageBox(const std::string& title, const std::string& text) {
    dialogLine("message", title, text, {"OK"});
    (void)takeMessageAnswer("message", title);
}

void HeadlessPlatform::errorDialog(const std::string& title, const std::string& text) {
    dialogLine("error", title, text, {"OK"});
    (void)takeMessageAnswer("error", title);
}

std::string HeadlessPlatform::questionDialog(const std::string& title, const std::string& text,
                                             const std::vector<std::string>& buttons,
                                             const std::string& defaultButton) {
    if (buttons.size() < 2 || buttons.size() > 3) throw Error("A question has two or three buttons.");
    if (std::find(buttons.begin(), buttons.end(), defaultButton) == buttons.end())
        throw Error("The default button " + defaultButton + " is not one of the question's buttons.");
    dialogLine("question", title, text, buttons);
    const std::optional<int> chosen = takeQuestionAnswer(title, buttons);
    if (!chosen) return defaultButton;
    return *chosen < 0 ? std::string() : buttons[static_cast<std::size_t>(*chosen)];
}

std::optional<std::vector<std::string>> HeadlessPlatform::inputDialog(const std::string& title,
                                                                      const std::vector<std::string>& prompts,
                                                                      const std::vector<std::string>& defaults) {
    if (defaults.size() != prompts.size()) throw Error("An input dialog needs one default text per prompt.");
    inputDialogLine(title, prompts);
    const std::optional<ScriptedInput> in = takeInputAnswer(title, prompts.size());
    if (!in) return defaults;
    if (in->kind != ScriptedInput::Ok) return std::nullopt;
    return in->texts ? *in->texts : defaults;
}

FileChoice HeadlessPlatform::openFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& startFolder) {
    lastDialogFolder_ = startFolder;
    fileDialogLine(false, title, filter, {});
    return takeFileAnswer().value_or(FileChoice{});
}

FileChoice HeadlessPlatform::saveFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& defaultName) {
    fileDialogLine(true, title, filter, defaultName);
    return takeFileAnswer().value_or(FileChoice{});
}

void HeadlessPlatform::pause(double seconds) { skipTime(seconds); }

bool HeadlessPlatform::openInBrowser(const std::string& path) {
    browser_.push_back(path);
    return browserAvailable_;
}

bool HeadlessPlatform::showHelpPage(const std::string& path) {
    const std::string title = helpPageTitle(path);
    if (title.empty()) return false;
    helpPages_.push_back(path);
    windowLine(true, title);
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
            dispatcher(CallbackEvent{w.tag + "_CloseRequestFcn", id, w.tag, CallbackEvent::Kind::CloseRequest});
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
