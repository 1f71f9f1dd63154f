// Compiled into the shared library itself: the session's functions and
// views join the library's extensions when the library is loaded, before a
// host can initialise it.
#include "session/by_name.hpp"

namespace {

[[maybe_unused]] const bool installed = [] {
    tolvane::installSession();
    return true;
}();

}  // namespace
