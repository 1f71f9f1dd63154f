// Adapters registering the frame builder by name.
#include "onex/frame_builder.hpp"
#include "onex/frame_config.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/bindings/choice_values.hpp"
#include "runtime/convert.hpp"
#include "runtime/parameters_value.hpp"

namespace tolvane {

namespace {

const std::vector<std::string> kFrameInputNames = {
    "Mode",      "PilotOffsetIndex", "DATAactive", "DATAformat",         "DATAbits",     "RAactive",
    "RAbit",     "RAgain",           "RPCchnActive", "RPCactive",        "RPCbits",      "RPCgains",
    "IdleSlotGainActive", "IdleSlotGain", "oversamplingRate", "filterType", "phaseEqActive", "mirrorSpectrum"};

// The input's name in double quotes, as errors quote it.
std::string quotedName(const Call& c, std::size_t i) {
    std::string label(1, '"');
    label.append(inputName(c, i)).push_back('"');
    return label;
}

SlotColumn slotColumn(const Call& c, std::size_t i) { return slotColumnFromValue(c.in(i), quotedName(c, i)); }

RpcMatrix rpcMatrix(const Call& c, std::size_t i) { return rpcMatrixFromValue(c.in(i), quotedName(c, i)); }

void frameBody(Call& c) {
    FrameInputs in;
    in.mode = argScalar(c, 0);
    // The call by name has no packet table: every mode but 1 stays the
    // unmodulated frame it has always been.
    if (in.mode != 1) in.mode = 2;
    in.pilotOffsetIndex = argScalar(c, 1);
    if (in.mode == 1) {
        in.dataActive = slotColumn(c, 2);
        in.dataFormat = slotColumn(c, 3);
        in.raActive = slotColumn(c, 5);
        in.raBit = slotColumn(c, 6);
        in.raGainDb = slotColumn(c, 7);
        in.rpcChnActive = slotColumn(c, 8);
        in.rpcActive = rpcMatrix(c, 9);
        in.rpcBits = rpcMatrix(c, 10);
        in.rpcGainsDb = rpcMatrix(c, 11);
        in.idleSlotGainActive = argTruth(c, 12) ? 1 : 0;
        in.idleSlotGainDb = argScalar(c, 13);
        // The bits are read only by slots whose data is on.
        bool anyData = false;
        for (double a : in.dataActive) anyData = anyData || a == 1;
        if (anyData) in.dataBits = argReal(c, 4);
    }
    in.filterType = filterShapeOf(c.in(15), inputName(c, 15));
    in.oversampling = static_cast<int>(argWhole(c, 14, lowestOversampling(in.filterType), kMaxOversampling));
    in.phaseEqActive = argScalar(c, 16);
    in.mirrorSpectrum = argScalar(c, 17);

    FrameResult r = fwdChnFrame(in);
    c.setOut(1, markersToValue(r));
    c.setOut(0, Value::complexRow(std::move(r.waveform)));
}

}  // namespace

void registerFrameBuilder(Registry& reg) {
    define(reg, "OneX_FwdChnFrame", 18, 2, kFrameInputNames, {"waveform", "events"}, frameBody);
}

}  // namespace tolvane
