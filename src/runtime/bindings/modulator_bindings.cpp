// Adapters registering this family's functions by name.
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

void registerModulator(Registry& reg) {
    (void)reg;
}

}  // namespace tolvane
