#include "runtime/config_fields.hpp"

#include <cstring>

#include "base/diagnostics.hpp"

namespace tolvane {

namespace {

constexpr FieldRange kFlag{0, 1, true};
constexpr FieldRange kNone{0, 0, false};
// Slot gains: users enter -30..30 dB; the RPC level normalisation of the
// setup windows may move stored gains past that, but never near 100 dB, and
// a gain far beyond it would overflow the amplitude 10^(dB/20).
constexpr FieldRange kGainEntry{-30, 30, false};
constexpr FieldRange kGainStored{-100, 100, false};

ConfigField text(const char* name, std::string FrameConfig::*member) {
    return {name, FieldShape::Text, member, false, kNone, kNone};
}
ConfigField scalar(const char* name, double FrameConfig::*member, FieldRange range) {
    return {name, FieldShape::Scalar, member, true, range, range};
}
ConfigField optionalScalar(const char* name, double FrameConfig::*member, FieldRange range) {
    return {name, FieldShape::Scalar, member, true, range, range, true};
}
ConfigField column(const char* name, SlotColumn SlotConfig::*member, FieldRange entry, FieldRange stored) {
    return {name, FieldShape::Column, member, true, entry, stored};
}
ConfigField rpc(const char* name, RpcMatrix SlotConfig::*member, FieldRange entry, FieldRange stored) {
    return {name, FieldShape::Rpc, member, true, entry, stored};
}

}  // namespace

bool ConfigField::inSlot() const { return std::strncmp(name, "slot.", 5) == 0; }

const char* ConfigField::leaf() const { return inSlot() ? name + 5 : name; }

const std::vector<ConfigField>& configFields() {
    static const std::vector<ConfigField> table = [] {
        std::vector<ConfigField> t = {
            text("ParameterFileFormat_ID", &FrameConfig::ParameterFileFormat_ID),
            scalar("Mode", &FrameConfig::Mode, {1, 3, true}),
            scalar("PilotOffsetIndex", &FrameConfig::PilotOffsetIndex, {0, 511, true}),
            scalar("MACchnActive", &FrameConfig::MACchnActive, kFlag),
            scalar("DATAchnActive", &FrameConfig::DATAchnActive, kFlag),
            scalar("DATAsourceType", &FrameConfig::DATAsourceType, {1, 7, true}),
            text("DATAsourceName", &FrameConfig::DATAsourceName),
            {"dataSourceBitstream", FieldShape::Bits, &FrameConfig::dataSourceBitstream, false, kFlag, kFlag},
            scalar("IdleSlotGainActive", &FrameConfig::IdleSlotGainActive, kFlag),
            scalar("IdleSlotGain", &FrameConfig::IdleSlotGain, {-80, 0, false}),
            column("slot.DATAslotActive", &SlotConfig::DATAslotActive, kFlag, kFlag),
            column("slot.DATAslotMod", &SlotConfig::DATAslotMod, {1, 3, true}, {1, 3, true}),
            column("slot.RAslotActive", &SlotConfig::RAslotActive, kFlag, kFlag),
            column("slot.RAslotValue", &SlotConfig::RAslotValue, kFlag, kFlag),
            column("slot.RAslotGain", &SlotConfig::RAslotGain, kGainEntry, kGainStored),
            column("slot.RPCslotActiveChn", &SlotConfig::RPCslotActiveChn, kFlag, kFlag),
            rpc("slot.RPCslotActive", &SlotConfig::RPCslotActive, kFlag, kFlag),
            rpc("slot.RPCslotValue", &SlotConfig::RPCslotValue, kFlag, kFlag),
            rpc("slot.RPCslotGain", &SlotConfig::RPCslotGain, kGainEntry, kGainStored),
            scalar("OverSampling", &FrameConfig::OverSampling, {2, 30, true}),
            scalar("FilterType", &FrameConfig::FilterType, {1, 4, true}),
            scalar("PhaseEq", &FrameConfig::PhaseEq, kFlag),
            scalar("MirrorSpectrum", &FrameConfig::MirrorSpectrum, kFlag),
            {"FrameSlots", FieldShape::Scalar, &FrameConfig::FrameSlots, true,
             {kMinFrameSlots, kMaxFrameSlots, true, kMinFrameSlots}, {kMinFrameSlots, kMaxFrameSlots, true, kMinFrameSlots},
             true},
            // Each row is checked as a whole (onex/packets.hpp), the table
            // against FrameSlots; the range is that of the first slot.
            {"Packets", FieldShape::Packets, &FrameConfig::Packets, true, {1, kMaxFrameSlots, true},
             {1, kMaxFrameSlots, true}, true},
            // Derived from FrameSlots and OverSampling; never entered.
            {"ProjectedLength", FieldShape::Scalar, &FrameConfig::ProjectedLength, false, kNone,
             {0, double(kSlotChips) * kMaxFrameSlots * 30, true}},
            text("LastPath", &FrameConfig::LastPath),
            // The impairments (impair/impairments.hpp): optional, so a record
            // written before them reads as a clean single carrier. The
            // frequency offset's range here is the widest sample rate's;
            // the calculate step narrows it to the frame's.
            optionalScalar("AWGNActive", &FrameConfig::AWGNActive, kFlag),
            optionalScalar("CarrierToNoise", &FrameConfig::CarrierToNoise, {-20, 60, false}),
            optionalScalar("FrequencyOffset", &FrameConfig::FrequencyOffset, {-kMaxCarrierOffsetHz, kMaxCarrierOffsetHz, false}),
            optionalScalar("IQGainImbalance", &FrameConfig::IQGainImbalance, {-3, 3, false}),
            optionalScalar("IQQuadratureError", &FrameConfig::IQQuadratureError, {-10, 10, false}),
            optionalScalar("OriginOffsetActive", &FrameConfig::OriginOffsetActive, kFlag),
            optionalScalar("OriginOffset", &FrameConfig::OriginOffset, {-80, -10, false}),
            optionalScalar("ClipPAPRActive", &FrameConfig::ClipPAPRActive, kFlag),
            optionalScalar("ClipPAPR", &FrameConfig::ClipPAPR, {3, 20, false}),
            // Each row is checked as a whole (checkCarrierRow); the range is
            // the number of rows.
            {"Carriers", FieldShape::Carriers, &FrameConfig::Carriers, true, {0, kMaxCarriers, true},
             {0, kMaxCarriers, true}, true},
        };
        return t;
    }();
    return table;
}

const ConfigField* findConfigField(std::string_view name) {
    for (const ConfigField& f : configFields())
        if (name == f.name) return &f;
    return nullptr;
}

std::string entryRangeText(const ConfigField& f) {
    if (f.shape == FieldShape::Packets)
        return "N x 3 rows of first slot (1 to FrameSlots), DRC (1 to 12) and MAC index (5 to 63; 3 with DRC 1, "
               "2 with DRC 2), at most " + numberText(kMaxPackets) + " rows";
    if (f.shape == FieldShape::Carriers)
        return "M x 4 rows of frequency offset (Hz), power (dB, -60 to 20), PN offset (0 to 511) and delay (chips, "
               "0 to 2047), at most " + numberText(kMaxCarriers) + " rows";
    if (f.entry.step > 0)
        return "whole multiples of " + numberText(f.entry.step) + " from " + numberText(f.entry.lo) + " to " +
               numberText(f.entry.hi);
    std::string text = (f.entry.whole ? "whole numbers " : "numbers ") + numberText(f.entry.lo) + " to " +
                       numberText(f.entry.hi);
    if (f.shape == FieldShape::Column) text += ", a scalar or 16 x 1 values";
    if (f.shape == FieldShape::Rpc) text += ", a scalar or 16 x 59 values";
    return text;
}

}  // namespace tolvane
