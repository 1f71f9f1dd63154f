#include "runtime/bindings/bindings.hpp"

#include "runtime/library.hpp"

namespace tolvane {

void registerAllFunctions(Library& lib) {
    Registry& reg = lib.registry();
    registerBitSource(reg);
    registerPilotIdle(reg);
    registerModulator(reg);
    registerWalsh(reg);
    registerMacChannel(reg);
    registerSpreading(reg);
    registerTrafficChannel(reg);
    registerTurbo(reg);
    registerScrambler(reg);
    registerChannelInterleaver(reg);
    registerBasebandFilter(reg);
    registerPhaseEqualiser(reg);
    registerFrameBuilder(reg);
    registerNumerics(reg);
    registerInstrument(reg);
}

}  // namespace tolvane
