// Fuzz target: text a person types into the windows. Number entries are read
// without evaluation; the clamps and the title filter must hold for any text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/number_entry.hpp"
#include "app/windows/sig_gen_panel.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    const std::string text(reinterpret_cast<const char*>(data), size);
    using namespace tolvane::app;
    const auto list = readNumberList(text);
    if (text.size() > kMaxNumberEntryBytes && !list.empty()) std::abort();
    const double offset = clampFromBelow(truncateEach(list), 0, 511);
    if (!(offset >= 0 && offset <= 511)) std::abort();
    const double level = clampFromAbove(roundEach(list), -136, 20);
    if (!(level >= -136 && level <= 20)) std::abort();
    const std::string title = instrumentTitle(text);
    if (title.empty() || title.size() > 20) std::abort();
    return 0;
}
