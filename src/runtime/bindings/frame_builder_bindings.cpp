// Adapters registering this family's functions by name.
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

void registerFrameBuilder(Registry& reg) {
    (void)reg;
}

}  // namespace tolvane
