// Fuzz target: matrix literals as typed after --set NAME=. Any refusal must
// be a tolvane::Error.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "runtime/matrix_literal.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolvane::fuzz::quiet();
    try {
        (void)tolvane::parseMatrixLiteral(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const tolvane::Error&) {
    }
    return 0;
}
