#include "app/platform/ui_layout.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "base/diagnostics.hpp"

namespace tolvane::app {

namespace {

double number(const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || errno == ERANGE) throw Error("Layout: '" + text + "' is not a number.");
    return v;
}

// The value of a <property> element as the platform holds it, or unset for a
// kind this reader does not use.
Value propertyValue(const XmlElement& prop) {
    if (const XmlElement* s = prop.child("string")) return Value::text(s->text);
    if (const XmlElement* b = prop.child("bool")) return Value::scalar(b->text == "true" ? 1.0 : 0.0);
    if (const XmlElement* n = prop.child("number")) return Value::scalar(number(n->text));
    if (const XmlElement* d = prop.child("double")) return Value::scalar(number(d->text));
    if (const XmlElement* r = prop.child("rect")) {
        std::vector<double> v;
        for (const char* key : {"x", "y", "width", "height"}) {
            const XmlElement* c = r->child(key);
            v.push_back(c ? number(c->text) : 0.0);
        }
        return Value::row(std::move(v));
    }
    return {};
}

Value onOff(double flag) { return Value::text(flag != 0 ? "on" : "off"); }

class Reader {
public:
    Layout layout;

    void top(const XmlElement& widget) {
        const std::string* name = widget.attribute("name");
        if (!name || name->empty()) throw Error("Layout: the top widget has no name.");
        layout.windowTag = *name;
        layout.windowClass = widget.attribute("class") ? *widget.attribute("class") : "";
        seen_.insert(*name);
        for (const auto& c : widget.children) {
            if (c->name == "property") {
                const std::string* pname = c->attribute("name");
                if (!pname) continue;
                const Value v = propertyValue(*c);
                if (*pname == "windowTitle" && v.isText()) layout.title = v.str();
                if (*pname == "geometry" && v.isReal()) layout.position = v;
            }
        }
        children(widget, "");
        resolveParents();
    }

private:
    std::set<std::string> seen_;

    void children(const XmlElement& el, const std::string& menuParent) {
        for (const auto& c : el.children) {
            if (c->name == "widget" || c->name == "action")
                control(*c, menuParent);
            else if (c->name == "layout" || c->name == "item")
                children(*c, menuParent);
            else if (c->name == "addaction" && !menuParent.empty()) {
                const std::string* name = c->attribute("name");
                if (name) addActionParent_.emplace_back(*name, menuParent);
            }
        }
    }

    void control(const XmlElement& el, const std::string& menuParent) {
        const std::string* name = el.attribute("name");
        const std::string cls = el.name == "action" ? "QAction" : (el.attribute("class") ? *el.attribute("class") : "");
        const bool isMenu = cls == "QMenu";
        if (name && !name->empty() && cls != "QMenuBar" && cls != "QStatusBar") {
            if (!seen_.insert(*name).second) throw Error("Layout: the tag " + *name + " is used twice.");
            LayoutControl lc;
            lc.tag = *name;
            lc.widgetClass = cls;
            lc.isMenuItem = isMenu || cls == "QAction";
            lc.parentTag = isMenu ? menuParent : "";
            read(el, lc);
            layout.controls.push_back(std::move(lc));
        }
        // A menu's actions and sub-menus hang under it; other widgets' children
        // are plain controls.
        const std::string inner = isMenu && name ? *name : "";
        children(el, inner);
    }

    void read(const XmlElement& el, LayoutControl& lc) {
        const bool isList = lc.widgetClass == "QComboBox" || lc.widgetClass == "QListWidget";
        std::vector<Value> items;
        for (const auto& c : el.children) {
            if (c->name == "item" && isList) {
                for (const auto& p : c->children)
                    if (p->name == "property" && p->attribute("name") && *p->attribute("name") == "text") {
                        const Value v = propertyValue(*p);
                        items.push_back(v.isText() ? v : Value::text(""));
                    }
                continue;
            }
            if (c->name != "property" || !c->attribute("name")) continue;
            const std::string& pname = *c->attribute("name");
            const Value v = propertyValue(*c);
            if (!v.isSet()) continue;
            if ((pname == "text" || pname == "title") && v.isText())
                lc.properties.emplace_back("String", v);
            else if (pname == "toolTip" && v.isText())
                lc.properties.emplace_back("TooltipString", v);
            else if (pname == "enabled" && v.isReal())
                lc.properties.emplace_back("Enable", onOff(v.realAt(0)));
            else if (pname == "visible" && v.isReal())
                lc.properties.emplace_back("Visible", onOff(v.realAt(0)));
            else if (pname == "checked" && v.isReal()) {
                if (lc.widgetClass == "QAction")
                    lc.properties.emplace_back("Checked", onOff(v.realAt(0)));
                else
                    lc.properties.emplace_back("Value", Value::scalar(v.realAt(0) != 0 ? 1 : 0));
            } else if (pname == "geometry" && v.isReal())
                lc.properties.emplace_back("Position", v);
            else if (pname == "currentIndex" && v.isReal())
                lc.properties.emplace_back("Value", Value::scalar(v.realAt(0) + 1));
            else if (pname == "value" && v.isReal())
                lc.properties.emplace_back("Value", v);
            else if (pname == "maximum" && v.isReal())
                lc.properties.emplace_back("Max", v);
        }
        if (isList) lc.properties.emplace(lc.properties.begin(), "String", Value::cell(std::move(items)));
    }

    // Actions named in a menu's <addaction> are that menu's items.
    void resolveParents() {
        std::map<std::string, std::size_t> actions;
        for (std::size_t i = 0; i < layout.controls.size(); ++i)
            if (layout.controls[i].widgetClass == "QAction") actions.emplace(layout.controls[i].tag, i);
        for (const auto& [action, menu] : addActionParent_) {
            auto it = actions.find(action);
            if (it != actions.end()) layout.controls[it->second].parentTag = menu;
        }
    }

    std::vector<std::pair<std::string, std::string>> addActionParent_;
};

}  // namespace

Layout layoutFromXml(const XmlElement& root) {
    if (root.name != "ui") throw Error("Layout: the root element is not <ui>.");
    const XmlElement* top = root.child("widget");
    if (!top) throw Error("Layout: there is no top widget.");
    Reader reader;
    reader.top(*top);
    return std::move(reader.layout);
}

Layout readLayoutFile(const std::string& path) {
    const auto root = readXmlFile(path);
    try {
        return layoutFromXml(*root);
    } catch (const Error& e) {
        throw Error(path + ": " + e.what());
    }
}

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

std::string findLayoutFile(const std::vector<std::string>& folders, const std::string& plainName) {
    for (const auto& folder : folders) {
        const auto candidate = std::filesystem::path(folder) / (plainName + ".ui");
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate.string();
    }
    throw Error("The window layout " + plainName + " was not found.");
}

}  // namespace tolvane::app
