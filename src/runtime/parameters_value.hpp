// The `parameters` and `SigGenSettings` records as values, and the fields a
// user may set from the command line with the ranges the windows keep. The
// fields, their shapes and ranges come from the table in config_fields.hpp.
#pragma once

#include <string>
#include <vector>

#include "instrument/jobs.hpp"
#include "onex/frame_config.hpp"
#include "runtime/value.hpp"

namespace tolvane {

// Per-slot columns (16 x 1) and the RPC matrices (16 x 59, one row per slot)
// as values. `label` names the value in the errors for a wrong shape.
Value slotColumnToValue(const SlotColumn& column);
SlotColumn slotColumnFromValue(const Value& v, const std::string& label);
Value rpcMatrixToValue(const RpcMatrix& m);
RpcMatrix rpcMatrixFromValue(const Value& v, const std::string& label);

// The packet table as an N x 3 matrix (first slot, DRC, MAC index per row;
// no packets: the empty matrix), and back: any empty numeric value is no
// packets; otherwise the value must have 3 columns and at most kMaxPackets
// rows (Error naming `label`). The rows' numbers are not checked here.
Value packetsToValue(const std::vector<PacketRow>& packets);
std::vector<PacketRow> packetsFromValue(const Value& v, const std::string& label);

// The carriers as an M x 4 matrix (offset Hz, power dB, PN offset, delay
// chips per row; none: the empty matrix), and back with the same rules as
// the packet table (4 columns, at most kMaxCarriers rows; Error naming
// `label`). The rows' numbers are checked by checkCarrierRow.
Value carriersToValue(const std::vector<CarrierRow>& carriers);
std::vector<CarrierRow> carriersFromValue(const Value& v, const std::string& label);

// The record in the field order users see in parameter files.
Value parametersToValue(const FrameConfig& config);
// Reads every field; a missing field or a wrong shape raises Error naming
// it (for example "parameters.slot.RAslotGain must be 16 x 1"). FrameSlots
// and Packets may be missing (records written before they existed): they
// read as 16 and no packets.
FrameConfig parametersFromValue(const Value& record);

// The signal generator settings record with its defaults; its sample rate,
// oversampling and RF blanking follow the frame configuration.
Value defaultSigGenSettings(const FrameConfig& config);
// The same defaults, typed.
SigGenSettings sigGenSettingsFor(const FrameConfig& config);
// Keeps the derived fields of an existing settings record in step with the
// configuration (SamplingRate, OverSampling, RFblanking).
void syncSigGenSettings(Value& settings, const FrameConfig& config);

// Sets one field by its name ("OverSampling", "slot.DATAslotMod") from a
// value: a scalar fills a whole matrix field, otherwise the shape must
// match. Raises Error naming the field and its allowed range when the field
// is unknown or read-only, the shape is wrong, or a value is out of range.
// Setting OverSampling or FrameSlots also updates ProjectedLength. Packets
// takes an N x 3 matrix (or [] for none) whose rows each pass
// checkPacketRow; the table is checked against FrameSlots by
// checkParameterRanges, so the two may be set in either order.
void setParameterField(FrameConfig& config, const std::string& name, const Value& value);

// The packets of a calculated frame (Mode 3), one record each with the
// fields kFramePacketFields: startSlot, slots (1 x N, the occupied slots
// numbered from 1), drc, macIndex, payload (1 x L bits), fcs (1 x 16 bits).
extern const std::vector<std::string> kFramePacketFields;
std::vector<Record> framePacketRecords(const std::vector<FramePacket>& packets);
// The same as a 1 x N cell of those records, the way a struct array reads
// by name.
Value framePacketsToValue(const std::vector<FramePacket>& packets);

// The two marker rows of a calculated frame as one 2 x N matrix.
Value markersToValue(const FrameResult& result);

// Checks every numeric field of a configuration read from a file or a
// record against the range a stored record may hold (config_fields.hpp:
// the ranges the windows keep, slot gains within +-100 dB since the RPC
// level normalisation may move them past +-30 dB, user bits 0 or 1, a
// ProjectedLength a frame can have, packet rows that pass checkPacketRow
// and, in Mode 3, a packet table that fits the frame: validatePackets).
// Raises Error naming the field and its allowed range.
void checkParameterRanges(const FrameConfig& config);

// Names of the fields setParameterField accepts.
std::vector<std::string> settableParameterFields();

}  // namespace tolvane
