// Fuzz target: JSON text as `tolvane call` reads its arguments. Any
// refusal must be a tolvane::Error; what is accepted must write back out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "runtime/json_value.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    try {
        const tolvane::Value v = tolvane::parseJsonValue(std::string(reinterpret_cast<const char*>(data), size));
        (void)tolvane::valueToJsonText(v);
    } catch (const tolvane::Error&) {
    }
    return 0;
}
