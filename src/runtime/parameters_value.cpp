#include "runtime/parameters_value.hpp"

#include <cmath>

#include "base/diagnostics.hpp"
#include "runtime/config_fields.hpp"
#include "runtime/instrument_values.hpp"

namespace tolvane {

namespace {

const Value& requireField(const Value& record, const std::string& prefix, const std::string& name) {
    if (!record.isRecord()) throw Error(prefix + " must be a record.");
    if (!record.rec().has(name)) throw Error(prefix + "." + name + " is missing.");
    return record.rec().at(name);
}

// Numbers of a stored field; complex numbers with a non-zero imaginary part
// are refused, since every setting is real.
const Value& requireReal(const Value& v, const std::string& label, const char* what) {
    if (v.isComplex())
        for (const cplx& z : v.complexData())
            if (z.imag() != 0) throw Error(label + " must be real " + what + ", not complex.");
    if (!v.isNumeric()) throw Error(label + " must be " + what + ", not " + kindName(v.kind()) + ".");
    return v;
}

std::string shapeText(const Value& v) { return numberText(double(v.rows())) + " x " + numberText(double(v.cols())); }

// Reads one field of the record into the configuration; raises Error naming
// the field when it is missing or has the wrong kind or shape.
void readField(FrameConfig& c, const ConfigField& f, const Value& parent, const std::string& prefix) {
    if (f.optional && parent.isRecord() && !parent.rec().has(f.leaf())) return;  // keeps the default
    const Value& v = requireField(parent, prefix, f.leaf());
    const std::string label = "parameters." + std::string(f.name);
    switch (f.shape) {
        case FieldShape::Text: {
            std::string& out = c.*std::get<std::string FrameConfig::*>(f.target);
            if (v.isNumeric() && v.numel() == 0) out.clear();
            else if (!v.isText()) throw Error(label + " must be text.");
            else if (v.str().size() > kMaxFieldText)
                throw Error(label + " is longer than " + numberText(double(kMaxFieldText)) + " characters.");
            else out = v.str();
            return;
        }
        case FieldShape::Scalar:
            requireReal(v, label, "a numeric scalar");
            if (v.numel() != 1) throw Error(label + " must be a numeric scalar, not " + shapeText(v) + ".");
            c.*std::get<double FrameConfig::*>(f.target) = v.realAt(0);
            return;
        case FieldShape::Bits: {
            requireReal(v, label, "a row of 0/1 values");
            if (v.numel() > kMaxStoredBits)
                throw Error(label + " holds " + numberText(double(v.numel())) + " bits; at most " +
                            numberText(double(kMaxStoredBits)) + " are kept.");
            std::vector<double>& out = c.*std::get<std::vector<double> FrameConfig::*>(f.target);
            out.resize(v.numel());
            for (std::size_t i = 0; i < v.numel(); ++i) out[i] = v.realAt(i);
            return;
        }
        case FieldShape::Column:
            requireReal(v, label, "numeric");
            c.slot.*std::get<SlotColumn SlotConfig::*>(f.target) = slotColumnFromValue(v, label);
            return;
        case FieldShape::Rpc:
            requireReal(v, label, "numeric");
            c.slot.*std::get<RpcMatrix SlotConfig::*>(f.target) = rpcMatrixFromValue(v, label);
            return;
        case FieldShape::Packets:
            requireReal(v, label, "an N x 3 matrix of packets");
            c.*std::get<std::vector<PacketRow> FrameConfig::*>(f.target) = packetsFromValue(v, label);
            return;
        case FieldShape::Carriers:
            requireReal(v, label, "an M x 4 matrix of carriers");
            c.*std::get<std::vector<CarrierRow> FrameConfig::*>(f.target) = carriersFromValue(v, label);
            return;
    }
}

// The numbers of a numeric field, flattened slot-major for the RPC matrices.
std::vector<double> fieldNumbers(const FrameConfig& c, const ConfigField& f) {
    switch (f.shape) {
        case FieldShape::Scalar: return {c.*std::get<double FrameConfig::*>(f.target)};
        case FieldShape::Bits: return c.*std::get<std::vector<double> FrameConfig::*>(f.target);
        case FieldShape::Column: {
            const SlotColumn& col = c.slot.*std::get<SlotColumn SlotConfig::*>(f.target);
            return {col.begin(), col.end()};
        }
        case FieldShape::Rpc: {
            std::vector<double> out;
            for (const auto& row : c.slot.*std::get<RpcMatrix SlotConfig::*>(f.target))
                out.insert(out.end(), row.begin(), row.end());
            return out;
        }
        case FieldShape::Packets:  // checked as a table (validatePackets)
        case FieldShape::Carriers:  // checked row by row (checkCarrierRow)
        case FieldShape::Text: break;
    }
    return {};
}

Value fieldValue(const FrameConfig& c, const ConfigField& f) {
    switch (f.shape) {
        case FieldShape::Text: return Value::text(c.*std::get<std::string FrameConfig::*>(f.target));
        case FieldShape::Scalar: return Value::scalar(c.*std::get<double FrameConfig::*>(f.target));
        case FieldShape::Bits: {
            const auto& bits = c.*std::get<std::vector<double> FrameConfig::*>(f.target);
            return bits.empty() ? Value::empty() : Value::row(bits);
        }
        case FieldShape::Column: return slotColumnToValue(c.slot.*std::get<SlotColumn SlotConfig::*>(f.target));
        case FieldShape::Rpc: return rpcMatrixToValue(c.slot.*std::get<RpcMatrix SlotConfig::*>(f.target));
        case FieldShape::Packets: return packetsToValue(c.*std::get<std::vector<PacketRow> FrameConfig::*>(f.target));
        case FieldShape::Carriers:
            return carriersToValue(c.*std::get<std::vector<CarrierRow> FrameConfig::*>(f.target));
    }
    return {};
}

bool inRange(const FieldRange& r, double x) {
    return std::isfinite(x) && x >= r.lo && x <= r.hi && (!r.whole || std::floor(x) == x) &&
           (r.step <= 0 || std::fmod(x, r.step) == 0);
}

std::string rangeText(const FieldRange& r) {
    if (r.step > 0)
        return "whole multiples of " + numberText(r.step) + " from " + numberText(r.lo) + " to " + numberText(r.hi);
    return (r.whole ? "whole numbers " : "numbers ") + numberText(r.lo) + " to " + numberText(r.hi);
}

}  // namespace

Value slotColumnToValue(const SlotColumn& column) {
    return Value::column(std::vector<double>(column.begin(), column.end()));
}

SlotColumn slotColumnFromValue(const Value& v, const std::string& label) {
    if (!v.isNumeric() || v.numel() != kSlots || !v.isVector())
        throw Error(label + " must hold one value per slot (16 x 1 numbers), not " + std::to_string(v.rows()) +
                    " x " + std::to_string(v.cols()) + ".");
    SlotColumn c{};
    for (int i = 0; i < kSlots; ++i) c[i] = v.realAt(i);
    return c;
}

Value rpcMatrixToValue(const RpcMatrix& m) {
    std::vector<double> data(kSlots * kRpcChannels);
    for (int ch = 0; ch < kRpcChannels; ++ch)
        for (int slot = 0; slot < kSlots; ++slot) data[ch * kSlots + slot] = m[slot][ch];
    return Value::matrix(kSlots, kRpcChannels, std::move(data));
}

RpcMatrix rpcMatrixFromValue(const Value& v, const std::string& label) {
    if (!v.isNumeric() || v.rows() != kSlots || v.cols() != kRpcChannels)
        throw Error(label + " must be a 16 x 59 matrix, not " + std::to_string(v.rows()) + " x " +
                    std::to_string(v.cols()) + ".");
    RpcMatrix m{};
    for (int ch = 0; ch < kRpcChannels; ++ch)
        for (int slot = 0; slot < kSlots; ++slot) m[slot][ch] = v.realAt(ch * kSlots + slot);
    return m;
}

Value packetsToValue(const std::vector<PacketRow>& packets) {
    if (packets.empty()) return Value::empty();
    const std::size_t n = packets.size();
    std::vector<double> data(3 * n);
    for (std::size_t r = 0; r < n; ++r) {
        data[r] = packets[r].startSlot;
        data[n + r] = packets[r].drc;
        data[2 * n + r] = packets[r].macIndex;
    }
    return Value::matrix(n, 3, std::move(data));
}

std::vector<PacketRow> packetsFromValue(const Value& v, const std::string& label) {
    if (!v.isNumeric()) throw Error(label + " must be an N x 3 matrix of packets, not " + kindName(v.kind()) + ".");
    if (v.numel() == 0) return {};
    if (v.cols() != 3)
        throw Error(label + " must be an N x 3 matrix (first slot, DRC, MAC index per row), not " + shapeText(v) + ".");
    if (v.rows() > static_cast<std::size_t>(kMaxPackets))
        throw Error(label + " holds " + numberText(double(v.rows())) + " rows; at most " + numberText(kMaxPackets) +
                    " packets fit in a frame.");
    const std::size_t n = v.rows();
    std::vector<PacketRow> packets(n);
    for (std::size_t r = 0; r < n; ++r)
        packets[r] = PacketRow{v.realAt(r), v.realAt(n + r), v.realAt(2 * n + r)};
    return packets;
}

Value carriersToValue(const std::vector<CarrierRow>& carriers) {
    if (carriers.empty()) return Value::empty();
    const std::size_t n = carriers.size();
    std::vector<double> data(4 * n);
    for (std::size_t r = 0; r < n; ++r) {
        data[r] = carriers[r].offsetHz;
        data[n + r] = carriers[r].powerDb;
        data[2 * n + r] = carriers[r].pnOffset;
        data[3 * n + r] = carriers[r].delayChips;
    }
    return Value::matrix(n, 4, std::move(data));
}

std::vector<CarrierRow> carriersFromValue(const Value& v, const std::string& label) {
    if (!v.isNumeric()) throw Error(label + " must be an M x 4 matrix of carriers, not " + kindName(v.kind()) + ".");
    if (v.numel() == 0) return {};
    if (v.cols() != 4)
        throw Error(label + " must be an M x 4 matrix (frequency offset, power, PN offset, delay per row), not " +
                    shapeText(v) + ".");
    if (v.rows() > static_cast<std::size_t>(kMaxCarriers))
        throw Error(label + " holds " + numberText(double(v.rows())) + " rows; at most " + numberText(kMaxCarriers) +
                    " carriers are combined.");
    const std::size_t n = v.rows();
    std::vector<CarrierRow> carriers(n);
    for (std::size_t r = 0; r < n; ++r)
        carriers[r] = CarrierRow{v.realAt(r), v.realAt(n + r), v.realAt(2 * n + r), v.realAt(3 * n + r)};
    return carriers;
}

Value parametersToValue(const FrameConfig& c) {
    Record slot;
    Record r;
    for (const ConfigField& f : configFields()) {
        if (!f.inSlot()) {
            r.set(f.name, fieldValue(c, f));
            continue;
        }
        if (slot.size() == 0) r.set("slot", Value());  // keeps the nested record's place
        slot.set(f.leaf(), fieldValue(c, f));
    }
    r.at("slot") = Value::record(std::move(slot));
    return Value::record(std::move(r));
}

FrameConfig parametersFromValue(const Value& record) {
    FrameConfig c;
    const Value* slot = nullptr;
    for (const ConfigField& f : configFields()) {
        if (!f.inSlot()) {
            readField(c, f, record, "parameters");
            continue;
        }
        if (!slot) {
            slot = &requireField(record, "parameters", "slot");
            if (!slot->isRecord()) throw Error("parameters.slot must be a record.");
        }
        readField(c, f, *slot, "parameters.slot");
    }
    return c;
}

SigGenSettings sigGenSettingsFor(const FrameConfig& config) {
    SigGenSettings s;
    s.OverSampling = config.OverSampling;
    s.SamplingRate = kChipRate * config.OverSampling;
    s.RFblanking = 1 - config.IdleSlotGainActive;
    return s;
}

Value defaultSigGenSettings(const FrameConfig& config) { return sigGenSettingsToValue(sigGenSettingsFor(config), false); }

void syncSigGenSettings(Value& settings, const FrameConfig& config) {
    if (!settings.isRecord()) throw Error("sigGenParameters must be a record.");
    settings.setField("OverSampling", Value::scalar(config.OverSampling));
    settings.setField("SamplingRate", Value::scalar(kChipRate * config.OverSampling));
    settings.setField("RFblanking", Value::scalar(1 - config.IdleSlotGainActive));
}

void setParameterField(FrameConfig& config, const std::string& name, const Value& value) {
    const ConfigField* field = findConfigField(name);
    if (!field || !field->settable || field->shape == FieldShape::Text || field->shape == FieldShape::Bits) {
        std::string known;
        for (const std::string& n : settableParameterFields()) known += (known.empty() ? "" : ", ") + n;
        throw Error("\"" + name + "\" is not a field that can be set; settable fields: " + known + ".");
    }
    if (field->shape == FieldShape::Packets) {
        if (!value.isReal() || (value.numel() != 0 && value.cols() != 3))
            throw Error("\"" + name + "\" must be " + entryRangeText(*field) + ", got " + shapeText(value) + ".");
        std::vector<PacketRow> packets = packetsFromValue(value, "\"" + name + "\"");
        // Each row on its own here; the table against the frame length when
        // the configuration is used, so the fields may be set in any order.
        for (std::size_t r = 0; r < packets.size(); ++r) checkPacketRow(packets[r], r + 1);
        config.*std::get<std::vector<PacketRow> FrameConfig::*>(field->target) = std::move(packets);
        return;
    }
    if (field->shape == FieldShape::Carriers) {
        if (!value.isReal() || (value.numel() != 0 && value.cols() != 4))
            throw Error("\"" + name + "\" must be " + entryRangeText(*field) + ", got " + shapeText(value) + ".");
        std::vector<CarrierRow> carriers = carriersFromValue(value, "\"" + name + "\"");
        for (std::size_t r = 0; r < carriers.size(); ++r) checkCarrierRow(carriers[r], r + 1);
        config.*std::get<std::vector<CarrierRow> FrameConfig::*>(field->target) = std::move(carriers);
        return;
    }
    if (!value.isReal() || value.numel() == 0)
        throw Error("\"" + name + "\" needs real numbers (" + entryRangeText(*field) + ").");

    const bool scalar = value.numel() == 1;
    bool shapeOk = scalar;
    if (field->shape == FieldShape::Column) shapeOk = shapeOk || (value.numel() == kSlots && value.isVector());
    if (field->shape == FieldShape::Rpc) shapeOk = shapeOk || (value.rows() == kSlots && value.cols() == kRpcChannels);
    if (!shapeOk) {
        const char* wanted = field->shape == FieldShape::Scalar   ? "a scalar"
                             : field->shape == FieldShape::Column ? "a scalar or 16 x 1 values"
                                                                  : "a scalar or 16 x 59 values";
        throw Error("\"" + name + "\" must be " + wanted + ", got " + shapeText(value) + ".");
    }
    for (double x : value.realData())
        if (!inRange(field->entry, x))
            throw Error("\"" + name + "\" value " + numberText(x) + " is outside the allowed range (" +
                        entryRangeText(*field) + ").");

    switch (field->shape) {
        case FieldShape::Scalar: config.*std::get<double FrameConfig::*>(field->target) = value.realAt(0); break;
        case FieldShape::Column: {
            SlotColumn& col = config.slot.*std::get<SlotColumn SlotConfig::*>(field->target);
            for (int s = 0; s < kSlots; ++s) col[s] = value.realAt(scalar ? 0 : s);
            break;
        }
        case FieldShape::Rpc: {
            RpcMatrix& m = config.slot.*std::get<RpcMatrix SlotConfig::*>(field->target);
            if (scalar) {
                for (auto& row : m) row.fill(value.realAt(0));
            } else {
                m = rpcMatrixFromValue(value, "\"" + name + "\"");
            }
            break;
        }
        default: break;
    }
    if (name == "OverSampling" || name == "FrameSlots") config.ProjectedLength = projectedLength(config);
}

const std::vector<std::string> kFramePacketFields = {"startSlot", "slots", "drc", "macIndex", "payload", "fcs"};

std::vector<Record> framePacketRecords(const std::vector<FramePacket>& packets) {
    std::vector<Record> records;
    records.reserve(packets.size());
    for (const FramePacket& p : packets) {
        Record r;
        r.set("startSlot", Value::scalar(p.startSlot));
        r.set("slots", Value::row(std::vector<double>(p.occupiedSlots.begin(), p.occupiedSlots.end())));
        r.set("drc", Value::scalar(p.drc));
        r.set("macIndex", Value::scalar(p.macIndex));
        r.set("payload", Value::row(p.payload));
        r.set("fcs", Value::row(std::vector<double>(p.fcs.begin(), p.fcs.end())));
        records.push_back(std::move(r));
    }
    return records;
}

Value framePacketsToValue(const std::vector<FramePacket>& packets) {
    std::vector<Value> items;
    for (Record& r : framePacketRecords(packets)) items.push_back(Value::record(std::move(r)));
    const std::size_t n = items.size();
    return Value::cellMatrix(1, n, std::move(items));
}

Value markersToValue(const FrameResult& result) {
    const std::size_t n = result.marker1.size();
    std::vector<double> data(2 * n);
    for (std::size_t k = 0; k < n; ++k) {
        data[2 * k] = result.marker1[k];
        data[2 * k + 1] = result.marker2[k];
    }
    return Value::matrix(2, n, std::move(data));
}

void checkParameterRanges(const FrameConfig& config) {
    for (const ConfigField& f : configFields()) {
        if (f.shape == FieldShape::Text) continue;
        if (f.shape == FieldShape::Packets) {
            const auto& packets = config.*std::get<std::vector<PacketRow> FrameConfig::*>(f.target);
            // Every row is a packet in any mode; the table must fit the
            // frame (FrameSlots, earlier in the table, is checked by now)
            // only where it is sent, so a Mode 1 frame may be shortened
            // without clearing the table.
            if (config.Mode == 3) {
                validatePackets(packets, config.FrameSlots);
            } else {
                for (std::size_t r = 0; r < packets.size(); ++r) checkPacketRow(packets[r], r + 1);
            }
            continue;
        }
        if (f.shape == FieldShape::Carriers) {
            const auto& carriers = config.*std::get<std::vector<CarrierRow> FrameConfig::*>(f.target);
            try {
                for (std::size_t r = 0; r < carriers.size(); ++r) checkCarrierRow(carriers[r], r + 1);
            } catch (const Error& e) {
                throw Error("parameters." + std::string(e.what()));
            }
            continue;
        }
        const FieldRange& r = f.stored;
        for (double x : fieldNumbers(config, f)) {
            if (inRange(r, x)) continue;
            const std::string label = "parameters." + std::string(f.name);
            if (f.shape == FieldShape::Bits) throw Error(label + " must hold only the bits 0 and 1, not " + numberText(x) + ".");
            throw Error(label + " value " + numberText(x) + " is outside the allowed range (" + rangeText(r) + ").");
        }
    }
}

std::vector<std::string> settableParameterFields() {
    std::vector<std::string> names;
    for (const ConfigField& f : configFields())
        if (f.settable && f.shape != FieldShape::Text && f.shape != FieldShape::Bits) names.emplace_back(f.name);
    return names;
}

}  // namespace tolvane
