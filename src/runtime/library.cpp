#include "runtime/library.hpp"

#include "base/diagnostics.hpp"
#include "runtime/bindings/bindings.hpp"

namespace tolvane {

const std::vector<std::string>& globalNames() {
    // All thirteen are declared here when the library starts. Their meaning
    // belongs to their owners: `parameters`, `waveform` and `markers` to the
    // frame, `SigGenSettings`, `configuration` and `configurationSA` to the
    // instrument, and the window state (`appInfo`, `figureList`, `slot`,
    // `slotStruct`, `chn`, `scrollIndex`, `newSettings`) to the windows.
    static const std::vector<std::string> names = {
        "SigGenSettings", "appInfo", "chn", "configuration", "configurationSA", "figureList", "markers",
        "newSettings", "parameters", "scrollIndex", "slot", "slotStruct", "waveform"};
    return names;
}

void Globals::declare() {
    values_.clear();
    for (const auto& name : globalNames()) values_.emplace_back(name, Value{});
    for (const auto& [name, view] : views_) view.set(Value{});
}

void Globals::clear() {
    values_.clear();
    for (const auto& [name, view] : views_) view.set(Value{});
}

bool Globals::declared(const std::string& name) const {
    for (const auto& [n, v] : values_)
        if (n == name) return true;
    return false;
}

const GlobalView* Globals::viewOf(const std::string& name) const {
    for (const auto& [n, view] : views_)
        if (n == name) return &view;
    return nullptr;
}

Value Globals::get(const std::string& name) const {
    if (!declared(name)) throw Error("\"" + name + "\" is not a declared global.");
    if (const GlobalView* view = viewOf(name)) return view->get();
    for (const auto& [n, v] : values_)
        if (n == name) return v;
    return Value{};
}

void Globals::set(const std::string& name, Value value) {
    if (const GlobalView* view = viewOf(name); view && declared(name)) return view->set(std::move(value));
    stored(name) = std::move(value);
}

Value& Globals::stored(const std::string& name) {
    if (viewOf(name)) throw Error("\"" + name + "\" is a view of the session's state: read and write it whole.");
    for (auto& [n, v] : values_)
        if (n == name) return v;
    throw Error("\"" + name + "\" is not a declared global.");
}

void Globals::bindView(const std::string& name, GlobalView view) {
    for (auto& [n, v] : views_)
        if (n == name) {
            v = std::move(view);
            return;
        }
    views_.emplace_back(name, std::move(view));
}

void Library::addExtension(std::function<void(Library&)> registrar) {
    if (initialised_) registrar(*this);
    extensions_.push_back(std::move(registrar));
}

void Library::initialize() {
    if (initialised_) return;
    registerAllFunctions(*this);
    for (const auto& registrar : extensions_) registrar(*this);
    globals_.declare();
    initialised_ = true;
}

void Library::terminate() {
    if (!initialised_) return;
    registry_.clear();
    globals_.clear();
    initialised_ = false;
}

Library& library() {
    static Library instance;
    return instance;
}

std::vector<Value> callByName(const std::string& name, int nargout, std::vector<Value> inputs) {
    Library& lib = library();
    if (!lib.initialised()) lib.initialize();
    return lib.registry().call(name, nargout, std::move(inputs));
}

}  // namespace tolvane
