#include "runtime/registry.hpp"

#include <algorithm>
#include <utility>

namespace tolvane {

namespace {

std::string countMessage(const std::string& name, int line, const char* what, int declared) {
    return "Run-time Error: File: " + name + " Line: " + std::to_string(line) +
           " Column: 1 The function \"" + name + "\" was called with more than the declared number of " +
           what + " (" + std::to_string(declared) + ").";
}

std::string placeName(const std::vector<std::string>& names, std::size_t i, const char* fallback) {
    if (i < names.size()) return names[i];
    return std::string(fallback) + std::to_string(i + 1);
}

}  // namespace

std::string tooManyOutputsMessage(const std::string& name, int line, int declared) {
    return countMessage(name, line, "outputs", declared);
}

std::string tooManyInputsMessage(const std::string& name, int line, int declared) {
    return countMessage(name, line, "inputs", declared);
}

std::string uninitialisedMessage(const std::string& variable, const std::string& function) {
    return "Run-time Error: File: " + function + " Line: 1 Column: 1 The variable \"" + variable +
           "\" is used before it is assigned (uninitialised) in \"" + function + "\".";
}

// ---- Call ------------------------------------------------------------------

Call::Call(const FunctionSpec& def, std::vector<Value> inputs, int nargin, int nargout)
    : def_(def), in_(std::move(inputs)), nargin_(nargin), nargout_(nargout) {
    std::size_t places = def.outputs >= 0 ? static_cast<std::size_t>(def.outputs)
                                           : static_cast<std::size_t>(-def.outputs);
    out_.resize(std::max<std::size_t>(places, 1));
}

bool Call::has(std::size_t i) const { return i < in_.size() && in_[i].isSet(); }

const Value& Call::in(std::size_t i) const {
    if (!has(i)) throw RuntimeError(uninitialisedMessage(placeName(def_.inputNames, i, "input"), def_.name));
    return in_[i];
}

const std::vector<Value>& Call::varargin() const {
    static const std::vector<Value> none;
    if (def_.inputs >= 0) return none;
    const std::size_t place = static_cast<std::size_t>(-def_.inputs) - 1;
    if (place >= in_.size() || !in_[place].isCell()) return none;
    return in_[place].cells();
}

void Call::setOut(std::size_t i, Value v) {
    if (i >= out_.size()) out_.resize(i + 1);
    out_[i] = std::move(v);
}

// ---- Registry ----------------------------------------------------------------

void Registry::add(FunctionSpec def) {
    auto name = def.name;
    functions_[name] = std::make_shared<FunctionSpec>(std::move(def));
}

void Registry::addLocal(const std::string& module, FunctionSpec def) {
    def.name = module + "/" + def.name;
    add(std::move(def));
}

bool Registry::contains(const std::string& name) const { return functions_.count(name) != 0; }

const FunctionSpec* Registry::find(const std::string& name) const {
    auto it = functions_.find(name);
    return it == functions_.end() ? nullptr : it->second.get();
}

std::vector<std::string> Registry::names() const {
    std::vector<std::string> out;
    for (const auto& [name, def] : functions_) out.push_back(name);
    return out;
}

void Registry::clear() {
    functions_.clear();
}

std::vector<Value> Registry::call(const std::string& name, int nargout, std::vector<Value> inputs) const {
    auto it = functions_.find(name);
    if (it == functions_.end())
        throw RuntimeError("Run-time Error: Undefined function \"" + name + "\".");
    // Keep the def alive for the whole call even if the body re-registers.
    std::shared_ptr<FunctionSpec> keep = it->second;
    const FunctionSpec& def = *keep;
    if (nargout < 0) nargout = 0;
    const int nargin = static_cast<int>(inputs.size());

    // Steps 1 and 2: the count checks, outputs first.
    if (def.outputs >= 0 && nargout > def.outputs)
        throw RuntimeError(tooManyOutputsMessage(def.name, def.line, def.outputs));
    if (def.inputs >= 0 && nargin > def.inputs)
        throw RuntimeError(tooManyInputsMessage(def.name, def.line, def.inputs));

    // Step 3: input places; surplus inputs of a variable list become one cell.
    std::vector<Value> places;
    if (def.inputs >= 0) {
        places = std::move(inputs);
        places.resize(static_cast<std::size_t>(def.inputs));
    } else {
        const std::size_t fixed = static_cast<std::size_t>(-def.inputs) - 1;
        places.resize(fixed + 1);
        std::vector<Value> rest;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            if (i < fixed) places[i] = std::move(inputs[i]);
            else rest.push_back(std::move(inputs[i]));
        }
        places[fixed] = Value::cell(std::move(rest));
    }

    // Step 4: the body. Plain errors from the signal core gain the location.
    Call call(def, std::move(places), nargin, nargout);
    try {
        def.body(call);
    } catch (const RuntimeError&) {
        throw;
    } catch (const std::exception& e) {
        throw RuntimeError("Run-time Error: File: " + def.name + " Line: " + std::to_string(def.line) +
                           " Column: 1 " + e.what());
    }

    // Step 5: hand over outputs; a variable output list expands its cell.
    std::vector<Value> produced = std::move(call.outputs());
    if (def.outputs < 0) {
        const std::size_t fixed = static_cast<std::size_t>(-def.outputs) - 1;
        std::vector<Value> flat(produced.begin(), produced.begin() + std::min(fixed, produced.size()));
        flat.resize(fixed);
        if (produced.size() > fixed && produced[fixed].isCell())
            for (const auto& v : produced[fixed].cells()) flat.push_back(v);
        produced = std::move(flat);
    }
    const std::size_t wanted = static_cast<std::size_t>(std::max(nargout, 1));
    produced.resize(std::max(produced.size(), wanted));
    for (std::size_t i = 0; i < static_cast<std::size_t>(nargout); ++i) {
        if (!produced[i].isSet())
            warn("Output \"" + placeName(def.outputNames, i, "output") + "\" of \"" + def.name +
                 "\" was not assigned during the call.");
    }
    produced.resize(wanted);
    return produced;
}

}  // namespace tolvane
