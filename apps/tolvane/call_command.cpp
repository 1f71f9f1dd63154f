// tolvane call: calls one library function by name with JSON arguments and
// prints its outputs as one line of JSON.
//
// The arguments are parsed by hand rather than with an option library so
// that negative numbers ("-10") stay arguments instead of being taken for
// options.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "commands.hpp"
#include "base/diagnostics.hpp"
#include <nlohmann/json.hpp>

#include "runtime/input_limits.hpp"
#include "runtime/json_value.hpp"
#include "runtime/library.hpp"

namespace tolvane::cli {

namespace {

constexpr const char* callSynopsis = "usage: tolvane call NAME [--nargout K] [ARG...]\n";

constexpr const char* callHelp =
    "\n"
    "Calls the library function NAME by name and prints its outputs on one line\n"
    "as a JSON array.\n"
    "\n"
    "Options (before or among the arguments):\n"
    "  --nargout K   number of outputs to ask for (default 1, or 0 for a function\n"
    "                that declares none); the first output\n"
    "                is always printed, so K = 0 still prints one value\n"
    "  --help        show this text\n"
    "  --            every later word is an argument\n"
    "\n"
    "Each ARG is one JSON value; @FILE reads the JSON from FILE (a file or a\n"
    "pipe of at most 256 MiB; values nest at most 64 arrays and objects deep).\n"
    "  5                          1 x 1 number\n"
    "  [1,2,3]                    row\n"
    "  [[1,2],[3,4]]              matrix, one array per row\n"
    "  []                         empty matrix\n"
    "  \"text\"                     character row\n"
    "  {\"re\":[1,2],\"im\":[0,1]}    complex\n"
    "  {\"a\":1,\"b\":{\"c\":2}}        record\n"
    "  [\"a\",{\"b\":1}]              cell list\n"
    "  null                       uninitialised\n"
    "  \"NaN\", \"Inf\", \"-Inf\"       non-finite numbers\n"
    "Negative numbers are arguments: tolvane call OneX_FwdIdleSlot 1 -10 4\n"
    "\n"
    "Outputs use the same forms; an output left unassigned prints as null.\n"
    "Exit status: 0 success; 1 run-time error (message on standard error);\n"
    "2 usage error or malformed argument.\n";

static_assert(limits::kMaxTextBytes == 256ull << 20 && limits::kMaxJsonDepth == 64,
              "the help text above quotes these ceilings");

int usageError(const std::string& message) {
    std::cerr << "tolvane call: " << message << '\n'
              << callSynopsis << "Run 'tolvane call --help' for more.\n";
    return 2;
}

// The argument text as quoted in messages, shortened when long.
std::string shown(const std::string& text) {
    constexpr std::size_t limit = 80;
    if (text.size() <= limit) return text;
    return text.substr(0, limit) + "...";
}

bool parseCount(const std::string& text, int& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long k = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || k < 0 || k > 1000000) return false;
    out = static_cast<int>(k);
    return true;
}

// Reads the JSON text of an @FILE argument: a file or a pipe, at most
// limits::kMaxTextBytes. Returns why it cannot be read, or nothing.
std::string readArgumentFile(const std::string& path, std::string& out) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder, not a file";
    if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) return "it is a device or other special file, not a file";
    const std::uint64_t limit = limits::kMaxTextBytes;
    const std::string tooLong = "it holds more than " + std::to_string(limit) + " bytes, the most an argument may";
    if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > limit) return tooLong;

    std::ifstream in(path, std::ios::binary);
    if (!in) return std::strerror(errno);
    // A pipe has no size to check first: read at most one byte more than
    // the limit to tell whether it holds more.
    std::string text;
    constexpr std::size_t chunk = 1 << 16;
    while (text.size() <= limit) {
        const std::size_t have = text.size();
        const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, limit + 1 - have));
        text.resize(have + step);
        in.read(text.data() + have, static_cast<std::streamsize>(step));
        text.resize(have + static_cast<std::size_t>(in.gcount()));
        if (in.bad()) return "reading it failed";
        if (!in) break;  // end of the file
    }
    if (text.size() > limit) return tooLong;
    out = std::move(text);
    return {};
}

}  // namespace

int runCall(int argc, char** argv) {
    std::string name;
    int nargout = 1;
    bool nargoutGiven = false;
    std::vector<std::string> args;
    bool optionsEnded = false;

    for (int i = 1; i < argc; ++i) {
        const std::string token = argv[i];
        if (!optionsEnded) {
            if (token == "--help" || token == "-h") {
                std::cout << callSynopsis << callHelp;
                return 0;
            }
            if (token == "--") {
                optionsEnded = true;
                continue;
            }
            if (token == "--nargout" || token.rfind("--nargout=", 0) == 0) {
                std::string count;
                if (token == "--nargout") {
                    if (i + 1 >= argc) return usageError("--nargout needs a count.");
                    count = argv[++i];
                } else {
                    count = token.substr(std::string_view("--nargout=").size());
                }
                if (!parseCount(count, nargout))
                    return usageError("--nargout needs a whole number of 0 or more, not '" + count + "'.");
                nargoutGiven = true;
                continue;
            }
            // A word starting with "--" is never valid JSON, so it can only
            // be a mistaken option.
            if (token.rfind("--", 0) == 0) return usageError("unknown option '" + token + "'.");
        }
        if (name.empty()) name = token;
        else args.push_back(token);
    }
    if (name.empty()) return usageError("the name of the function to call is missing.");

    std::vector<Value> inputs;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        const std::string place = "argument " + std::to_string(k + 1) + " (" + shown(arg) + ")";
        try {
            std::string text;
            if (!arg.empty() && arg[0] == '@') {
                if (const std::string why = readArgumentFile(arg.substr(1), text); !why.empty()) {
                    std::cerr << "tolvane call: " << place << ": cannot read the file '" << arg.substr(1)
                              << "': " << why << ".\n";
                    return 2;
                }
            } else {
                text = arg;
            }
            inputs.push_back(parseJsonValue(text));
        } catch (const std::bad_alloc&) {
            std::cerr << "tolvane call: " << place << " is too large: there is not enough memory to read it.\n";
            return 2;
        } catch (const std::exception& e) {
            std::cerr << "tolvane call: " << place << " is not a valid value: " << e.what() << '\n';
            return 2;
        }
    }

    std::string printed;
    try {
        // Without --nargout a function that declares no outputs is asked
        // for none, as a plain call statement would.
        if (!nargoutGiven) {
            Library& lib = library();
            if (!lib.initialised()) lib.initialize();
            const FunctionSpec* def = lib.registry().find(name);
            if (def && def->outputs == 0) nargout = 0;
        }
        const std::vector<Value> outputs = callByName(name, nargout, std::move(inputs));
        Json results = Json::array();
        for (const auto& v : outputs) results.push_back(valueToJson(v));
        printed = jsonText(results);
    } catch (const std::bad_alloc&) {
        std::cerr << "tolvane call: there is not enough memory to call \"" << name
                  << "\" and write its results as JSON.\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }

    std::cout << printed << '\n';
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace tolvane::cli
