// Adapters registering the scrambler by name.
#include "base/diagnostics.hpp"
#include "onex/scrambler.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"
#include "runtime/mod_params_value.hpp"

namespace tolvane {

void registerScrambler(Registry& reg) {
    define(reg, "OneX_FwdScrambler", 3, 1, {"input", "modParams", "macIndex"}, {"output"}, [](Call& c) {
        const std::vector<double> input = argReal(c, 0);
        // Only the DRC value of the record is used; a record without it is
        // the missing-field error.
        const std::string params = inputName(c, 1);
        const long long drc = wholeNumber(modParamsNumber(c.in(1), "drcValue", params), params + ".drcValue", 0,
                                          kWholeMax);
        const long long mac = argWhole(c, 2, 0, kWholeMax);
        // An empty packet leaves the output unassigned.
        if (input.empty()) return;
        // Only the low 4 and 6 bits reach the register.
        c.setOut(0, realRow(fwdScrambler(input, static_cast<int>(drc % 16), static_cast<int>(mac % 64))));
    });
}

}  // namespace tolvane
