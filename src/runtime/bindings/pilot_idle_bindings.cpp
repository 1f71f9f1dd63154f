// Adapters registering the pilot burst and the idle-slot filler by name.
#include "base/diagnostics.hpp"
#include "base/limits.hpp"
#include "numerics/noise.hpp"
#include "onex/pilot_idle.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/convert.hpp"

namespace tolvane {

void registerPilotIdle(Registry& reg) {
    define(reg, "OneX_FwdPilot", 0, 1, {}, {"output"}, [](Call& c) { c.setOut(0, Value::row(fwdPilot())); });

    define(reg, "OneX_FwdIdleSlot", 3, 1, {"IdleSlotGainActive", "IdleSlotGain", "NumberOfChips"}, {"output"},
           [](Call& c) {
               const Value& chips = c.in(2);
               if (argTruth(c, 0)) {
                   // The noise generator's own checks: dimensions first, then power.
                   if (!chips.isNumeric() || chips.numel() != 1)
                       throw Error("The required dimensions must be real, integer scalars > 1.");
                   checkNoiseDimensions({1.0, chips.realAt(0)}, chips.isReal());
                   const std::size_t n = argCount(c, 2, kMaxSamples);
                   const Value& gain = c.in(1);
                   checkNoisePower(gain.isNumeric() ? gain.numel() : 0, gain.isReal());
                   c.setOut(0, Value::complexRow(fwdIdleSlot(true, gain.realAt(0), static_cast<long long>(n))));
                   return;
               }
               c.setOut(0, Value::zeros(1, argCount(c, 2, kMaxSamples)));
           });
}

}  // namespace tolvane
