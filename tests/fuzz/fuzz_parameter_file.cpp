// Fuzz target: parameter file bytes, opened as File > Open does through a
// scratch file. Any refusal must be a tolvane::Error.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "runtime/parameter_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    const std::string& path = tolvane::fuzz::scratchFile(data, size, ".mat");
    try {
        (void)tolvane::loadParameterFile(path);
    } catch (const tolvane::Error&) {
    }
    return 0;
}
