// Fuzz target: window layout files as the headless platform reads them (the
// bounded XML reader, then the layout). Any refusal must be a tolvane::Error.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/platform/ui_layout.hpp"
#include "app/platform/xml_reader.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    try {
        const auto root = tolvane::app::parseXml(std::string_view(reinterpret_cast<const char*>(data), size));
        (void)tolvane::app::layoutFromXml(*root);
    } catch (const tolvane::Error&) {
    }
    return 0;
}
