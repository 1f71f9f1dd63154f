// The one table of the `parameters` record's fields: each field's name, its
// shape, where it lives in FrameConfig, the range a user may enter, and the
// range a stored record may hold. The record conversion in both directions,
// the range checks of files and of the calculate step, `--set` and the
// windows' entry limits all read this table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "onex/frame_config.hpp"

namespace tolvane {

enum class FieldShape {
    Text,    // character row
    Scalar,  // 1 x 1
    Column,  // 16 x 1, one value per slot
    Rpc,     // 16 x 59, one row per slot
    Bits,    // a row of 0/1 values of any length up to kMaxStoredBits
    Packets, // N x 3, one packet per row (first slot, DRC, MAC index); N 0 .. kMaxPackets
    Carriers, // M x 4, one carrier per row (offset Hz, power dB, PN offset, delay chips); M 0 .. kMaxCarriers
};

struct FieldRange {
    double lo = 0;
    double hi = 0;
    bool whole = false;  // whole numbers only
    double step = 0;     // when positive, whole multiples of it only
};

// The longest user bit pattern a record holds: the bits 16 slots of 16QAM
// take, which is all a user data file is ever read for.
inline constexpr std::size_t kMaxStoredBits = 102400;
// The longest text a record field holds (paths and names).
inline constexpr std::size_t kMaxFieldText = 4096;

struct ConfigField {
    using Target = std::variant<std::string FrameConfig::*, double FrameConfig::*, std::vector<double> FrameConfig::*,
                                SlotColumn SlotConfig::*, RpcMatrix SlotConfig::*,
                                std::vector<PacketRow> FrameConfig::*, std::vector<CarrierRow> FrameConfig::*>;

    const char* name;   // as in the record; per-slot fields as "slot.NAME"
    FieldShape shape;
    Target target;
    bool settable;      // a user may set it (windows, --set)
    FieldRange entry;   // what a user may enter
    FieldRange stored;  // what a stored record may hold (wider for slot gains)
    // A record without the field (one written before the field existed)
    // reads as the field's default.
    bool optional = false;

    bool inSlot() const;          // one of the "slot." fields
    const char* leaf() const;     // the name inside its record
};

// Every field, in the record's order (the slot fields form the nested
// record `slot`, which stands where its first field stands).
const std::vector<ConfigField>& configFields();
// The field of that name, or nullptr.
const ConfigField* findConfigField(std::string_view name);

// "whole numbers 2 to 30", with ", a scalar or 16 x 1 values" for the
// per-slot fields ("whole multiples of 16 from 16 to 128" for a stepped
// range; the packet table's row text for Packets); for messages and
// tooltips.
std::string entryRangeText(const ConfigField& field);

}  // namespace tolvane
