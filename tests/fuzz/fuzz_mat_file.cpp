// Fuzz target: MAT-file bytes, read through a scratch file. Any refusal must
// be a tolvane::Error.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "runtime/mat_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    const std::string& path = tolvane::fuzz::scratchFile(data, size, ".mat");
    try {
        (void)tolvane::readMatFile(path);
    } catch (const tolvane::Error&) {
    }
    return 0;
}
