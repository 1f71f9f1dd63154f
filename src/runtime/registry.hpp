// The function registry: every library function by name, with its declared
// input and output counts, and calls by name with the library's checks.
//
// Declared counts: k >= 0 is an upper bound; -k (k >= 1) is a variable list
// whose first k - 1 places are fixed (the rest arrive as one cell list for
// inputs, or are taken from one cell list for outputs).
//
// A call by name runs, in this order:
//   1. nargout above a non-negative output count -> the outputs message;
//   2. nargin above a non-negative input count   -> the inputs message;
//   3. outputs uninitialised, absent inputs uninitialised, surplus inputs of
//      a variable list gathered into one cell list;
//   4. the body runs with nargout and nargin;
//   5. output 1 is always returned (possibly uninitialised), outputs
//      2..nargout follow; an asked-for output left unassigned gives a
//      warning naming the output and the function.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "runtime/value.hpp"

namespace tolvane {

// A run-time error whose text is final (it already carries the "Run-time
// Error:" framing); it passes through nested calls by name unchanged.
class RuntimeError : public Error {
public:
    using Error::Error;
};

struct FunctionSpec;

// What a body sees: its inputs, its outputs, nargin and nargout.
class Call {
public:
    Call(const FunctionSpec& def, std::vector<Value> inputs, int nargin, int nargout);

    int nargin() const { return nargin_; }
    int nargout() const { return nargout_; }
    const FunctionSpec* definition() const { return &def_; }

    // True when input i (0-based) was given.
    bool has(std::size_t i) const;
    // Input i; reading an absent input is a run-time error naming it.
    const Value& in(std::size_t i) const;
    // The surplus inputs of a variable input list (empty when none).
    const std::vector<Value>& varargin() const;

    void setOut(std::size_t i, Value v);
    std::vector<Value>& outputs() { return out_; }

private:
    const FunctionSpec& def_;
    std::vector<Value> in_;
    std::vector<Value> out_;
    int nargin_;
    int nargout_;
};

using Body = std::function<void(Call&)>;

struct FunctionSpec {
    std::string name;                      // "GenerateBitStream", "Module/local"
    int inputs = 0;                        // declared input count
    int outputs = 0;                       // declared output count
    std::vector<std::string> inputNames;   // for messages naming an input
    std::vector<std::string> outputNames;  // for the unassigned-output warning
    int line = 1;                          // line of the function in its module
    Body body;
};

// Texts of the two count messages for a function named `name` at `line`.
std::string tooManyOutputsMessage(const std::string& name, int line, int declared);
std::string tooManyInputsMessage(const std::string& name, int line, int declared);
// Text of the error for reading an uninitialised variable.
std::string uninitialisedMessage(const std::string& variable, const std::string& function);

class Registry {
public:
    // Registers a main function; a second registration of the same name
    // replaces the first.
    void add(FunctionSpec def);
    // Registers a local function of `module`; it is reached by the name
    // "module/local" and its messages carry that name and its own line.
    void addLocal(const std::string& module, FunctionSpec def);

    bool contains(const std::string& name) const;
    const FunctionSpec* find(const std::string& name) const;
    std::vector<std::string> names() const;

    // Calls a function by name as the by-name entry does: returns max(nargout, 1)
    // values (the first may be uninitialised). Unknown names raise an Error
    // naming the function.
    std::vector<Value> call(const std::string& name, int nargout, std::vector<Value> inputs) const;

    void clear();

private:
    std::map<std::string, std::shared_ptr<FunctionSpec>> functions_;
};

}  // namespace tolvane
