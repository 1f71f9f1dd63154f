// The library as a whole: its function registry and the thirteen globals,
// from initialisation to termination.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime/registry.hpp"
#include "runtime/value.hpp"

namespace tolvane {

// The thirteen process-wide globals, by name.
const std::vector<std::string>& globalNames();

// A global whose value lives in typed state elsewhere (the session): a read
// converts that state to a value, a write converts the value back.
struct GlobalView {
    std::function<Value()> get;
    std::function<void(Value)> set;
};

class Globals {
public:
    void declare();  // every global declared and uninitialised
    void clear();
    bool declared(const std::string& name) const;
    // The value of a global; throws Error for a name that is not one of the
    // declared globals.
    Value get(const std::string& name) const;
    void set(const std::string& name, Value value);
    // The stored value of a global that is not a view, for changing it in
    // place. Throws Error for a view or an undeclared name.
    Value& stored(const std::string& name);
    // From now on the global reads and writes through `view`; declaring the
    // globals writes an uninitialised value through it.
    void bindView(const std::string& name, GlobalView view);

private:
    const GlobalView* viewOf(const std::string& name) const;
    std::vector<std::pair<std::string, Value>> values_;
    std::vector<std::pair<std::string, GlobalView>> views_;
};

class Library {
public:
    Registry& registry() { return registry_; }
    Globals& globals() { return globals_; }
    bool initialised() const { return initialised_; }

    // Registers every function and declares the globals. Calling it again
    // while initialised does nothing.
    void initialize();
    // Releases the registrations and the globals.
    void terminate();

    // Functions a front end built into the same binary adds (the desktop's
    // application entry). Each registrar runs at every initialisation, after
    // the library's own functions, and at once when the library is already
    // initialised; it is kept across termination.
    void addExtension(std::function<void(Library&)> registrar);

private:
    Registry registry_;
    Globals globals_;
    std::vector<std::function<void(Library&)>> extensions_;
    bool initialised_ = false;
};

// The one library instance of the process.
Library& library();

// Shortcut: calls a registered function by name on the process library.
std::vector<Value> callByName(const std::string& name, int nargout, std::vector<Value> inputs);

}  // namespace tolvane
