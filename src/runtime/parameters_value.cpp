#include "runtime/parameters_value.hpp"

#include <cmath>
#include <functional>

#include "numerics/diagnostics.hpp"

namespace tolvane {

namespace {

const Value& requireField(const Value& record, const std::string& prefix, const std::string& name) {
    if (!record.isRecord()) throw Error(prefix + " must be a record.");
    if (!record.rec().has(name)) throw Error(prefix + "." + name + " is missing.");
    return record.rec().at(name);
}

double readScalar(const Value& record, const std::string& prefix, const std::string& name) {
    const Value& v = requireField(record, prefix, name);
    if (!v.isNumeric() || v.numel() != 1) throw Error(prefix + "." + name + " must be a numeric scalar.");
    return v.realAt(0);
}

std::string readText(const Value& record, const std::string& prefix, const std::string& name) {
    const Value& v = requireField(record, prefix, name);
    if (v.isText()) return v.str();
    if (v.isNumeric() && v.numel() == 0) return "";
    throw Error(prefix + "." + name + " must be text.");
}

SlotColumn readColumn(const Value& record, const std::string& name) {
    return slotColumnFromValue(requireField(record, "parameters.slot", name), "parameters.slot." + name);
}

RpcMatrix readRpc(const Value& record, const std::string& name) {
    return rpcMatrixFromValue(requireField(record, "parameters.slot", name), "parameters.slot." + name);
}

// ---- Settable fields -------------------------------------------------------

enum class Shape { Scalar, Column, Rpc };

struct FieldRule {
    const char* name;
    Shape shape;
    double lo, hi;
    bool whole;  // whole numbers only
    // Where the numbers go: for a scalar one pointer, for a column 16, for
    // the RPC matrices 16 x 59 (slot-major).
    std::function<double*(FrameConfig&)> target;
};

const std::vector<FieldRule>& rules() {
    static const std::vector<FieldRule> table = {
        {"Mode", Shape::Scalar, 1, 2, true, [](FrameConfig& c) { return &c.Mode; }},
        {"PilotOffsetIndex", Shape::Scalar, 0, 511, true, [](FrameConfig& c) { return &c.PilotOffsetIndex; }},
        {"MACchnActive", Shape::Scalar, 0, 1, true, [](FrameConfig& c) { return &c.MACchnActive; }},
        {"DATAchnActive", Shape::Scalar, 0, 1, true, [](FrameConfig& c) { return &c.DATAchnActive; }},
        {"DATAsourceType", Shape::Scalar, 1, 7, true, [](FrameConfig& c) { return &c.DATAsourceType; }},
        {"IdleSlotGainActive", Shape::Scalar, 0, 1, true, [](FrameConfig& c) { return &c.IdleSlotGainActive; }},
        {"IdleSlotGain", Shape::Scalar, -80, 0, false, [](FrameConfig& c) { return &c.IdleSlotGain; }},
        {"OverSampling", Shape::Scalar, 2, 30, true, [](FrameConfig& c) { return &c.OverSampling; }},
        {"FilterType", Shape::Scalar, 1, 4, true, [](FrameConfig& c) { return &c.FilterType; }},
        {"PhaseEq", Shape::Scalar, 0, 1, true, [](FrameConfig& c) { return &c.PhaseEq; }},
        {"MirrorSpectrum", Shape::Scalar, 0, 1, true, [](FrameConfig& c) { return &c.MirrorSpectrum; }},
        {"slot.DATAslotActive", Shape::Column, 0, 1, true,
         [](FrameConfig& c) { return c.slot.DATAslotActive.data(); }},
        {"slot.DATAslotMod", Shape::Column, 1, 3, true, [](FrameConfig& c) { return c.slot.DATAslotMod.data(); }},
        {"slot.RAslotActive", Shape::Column, 0, 1, true, [](FrameConfig& c) { return c.slot.RAslotActive.data(); }},
        {"slot.RAslotValue", Shape::Column, 0, 1, true, [](FrameConfig& c) { return c.slot.RAslotValue.data(); }},
        {"slot.RAslotGain", Shape::Column, -30, 30, false, [](FrameConfig& c) { return c.slot.RAslotGain.data(); }},
        {"slot.RPCslotActiveChn", Shape::Column, 0, 1, true,
         [](FrameConfig& c) { return c.slot.RPCslotActiveChn.data(); }},
        {"slot.RPCslotActive", Shape::Rpc, 0, 1, true, [](FrameConfig& c) { return c.slot.RPCslotActive[0].data(); }},
        {"slot.RPCslotValue", Shape::Rpc, 0, 1, true, [](FrameConfig& c) { return c.slot.RPCslotValue[0].data(); }},
        {"slot.RPCslotGain", Shape::Rpc, -30, 30, false, [](FrameConfig& c) { return c.slot.RPCslotGain[0].data(); }},
    };
    return table;
}

std::string rangeText(const FieldRule& r) {
    std::string text = (r.whole ? "whole numbers " : "numbers ") + numberText(r.lo) + " to " + numberText(r.hi);
    if (r.shape == Shape::Column) text += ", a scalar or 16 x 1 values";
    if (r.shape == Shape::Rpc) text += ", a scalar or 16 x 59 values";
    return text;
}

// Raises Error naming the field when x is outside the rule's range.
void checkValue(const FieldRule& rule, double x, const std::string& label) {
    const bool whole = std::floor(x) == x;
    if (!std::isfinite(x) || x < rule.lo || x > rule.hi || (rule.whole && !whole))
        throw Error(label + " value " + numberText(x) + " is outside the allowed range (" + rangeText(rule) + ").");
}

std::size_t elementCount(Shape shape) {
    switch (shape) {
        case Shape::Scalar: return 1;
        case Shape::Column: return kSlots;
        case Shape::Rpc: return kSlots * kRpcChannels;
    }
    return 1;
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

Value parametersToValue(const FrameConfig& c) {
    Record slot;
    slot.set("DATAslotActive", slotColumnToValue(c.slot.DATAslotActive));
    slot.set("DATAslotMod", slotColumnToValue(c.slot.DATAslotMod));
    slot.set("RAslotActive", slotColumnToValue(c.slot.RAslotActive));
    slot.set("RAslotValue", slotColumnToValue(c.slot.RAslotValue));
    slot.set("RAslotGain", slotColumnToValue(c.slot.RAslotGain));
    slot.set("RPCslotActiveChn", slotColumnToValue(c.slot.RPCslotActiveChn));
    slot.set("RPCslotActive", rpcMatrixToValue(c.slot.RPCslotActive));
    slot.set("RPCslotValue", rpcMatrixToValue(c.slot.RPCslotValue));
    slot.set("RPCslotGain", rpcMatrixToValue(c.slot.RPCslotGain));

    Record r;
    r.set("ParameterFileFormat_ID", Value::text(c.ParameterFileFormat_ID));
    r.set("Mode", Value::scalar(c.Mode));
    r.set("PilotOffsetIndex", Value::scalar(c.PilotOffsetIndex));
    r.set("MACchnActive", Value::scalar(c.MACchnActive));
    r.set("DATAchnActive", Value::scalar(c.DATAchnActive));
    r.set("DATAsourceType", Value::scalar(c.DATAsourceType));
    r.set("DATAsourceName", Value::text(c.DATAsourceName));
    r.set("dataSourceBitstream",
          c.dataSourceBitstream.empty() ? Value::empty() : Value::row(c.dataSourceBitstream));
    r.set("IdleSlotGainActive", Value::scalar(c.IdleSlotGainActive));
    r.set("IdleSlotGain", Value::scalar(c.IdleSlotGain));
    r.set("slot", Value::record(std::move(slot)));
    r.set("OverSampling", Value::scalar(c.OverSampling));
    r.set("FilterType", Value::scalar(c.FilterType));
    r.set("PhaseEq", Value::scalar(c.PhaseEq));
    r.set("MirrorSpectrum", Value::scalar(c.MirrorSpectrum));
    r.set("ProjectedLength", Value::scalar(c.ProjectedLength));
    r.set("LastPath", Value::text(c.LastPath));
    return Value::record(std::move(r));
}

FrameConfig parametersFromValue(const Value& record) {
    const std::string p = "parameters";
    FrameConfig c;
    c.ParameterFileFormat_ID = readText(record, p, "ParameterFileFormat_ID");
    c.Mode = readScalar(record, p, "Mode");
    c.PilotOffsetIndex = readScalar(record, p, "PilotOffsetIndex");
    c.MACchnActive = readScalar(record, p, "MACchnActive");
    c.DATAchnActive = readScalar(record, p, "DATAchnActive");
    c.DATAsourceType = readScalar(record, p, "DATAsourceType");
    c.DATAsourceName = readText(record, p, "DATAsourceName");
    {
        const Value& bits = requireField(record, p, "dataSourceBitstream");
        if (!bits.isNumeric()) throw Error("parameters.dataSourceBitstream must be a row of 0/1 values.");
        c.dataSourceBitstream.clear();
        for (std::size_t i = 0; i < bits.numel(); ++i) c.dataSourceBitstream.push_back(bits.realAt(i));
    }
    c.IdleSlotGainActive = readScalar(record, p, "IdleSlotGainActive");
    c.IdleSlotGain = readScalar(record, p, "IdleSlotGain");
    const Value& slot = requireField(record, p, "slot");
    if (!slot.isRecord()) throw Error("parameters.slot must be a record.");
    c.slot.DATAslotActive = readColumn(slot, "DATAslotActive");
    c.slot.DATAslotMod = readColumn(slot, "DATAslotMod");
    c.slot.RAslotActive = readColumn(slot, "RAslotActive");
    c.slot.RAslotValue = readColumn(slot, "RAslotValue");
    c.slot.RAslotGain = readColumn(slot, "RAslotGain");
    c.slot.RPCslotActiveChn = readColumn(slot, "RPCslotActiveChn");
    c.slot.RPCslotActive = readRpc(slot, "RPCslotActive");
    c.slot.RPCslotValue = readRpc(slot, "RPCslotValue");
    c.slot.RPCslotGain = readRpc(slot, "RPCslotGain");
    c.OverSampling = readScalar(record, p, "OverSampling");
    c.FilterType = readScalar(record, p, "FilterType");
    c.PhaseEq = readScalar(record, p, "PhaseEq");
    c.MirrorSpectrum = readScalar(record, p, "MirrorSpectrum");
    c.ProjectedLength = readScalar(record, p, "ProjectedLength");
    c.LastPath = readText(record, p, "LastPath");
    return c;
}

Value defaultSigGenSettings(const FrameConfig& config) {
    Record r;
    r.set("Title", Value::text("OneX-Fwd"));
    r.set("Frequency", Value::scalar(2200000000.0));
    r.set("Amplitude", Value::scalar(-30));
    r.set("OverSampling", Value::scalar(config.OverSampling));
    r.set("SamplingRate", Value::scalar(kChipRate * config.OverSampling));
    r.set("BBfilter", Value::scalar(1));
    r.set("Scaling", Value::scalar(95));
    r.set("ModAtten", Value::scalar(0));
    r.set("RFblanking", Value::scalar(1 - config.IdleSlotGainActive));
    r.set("ALC", Value::scalar(0));
    r.set("ArbRefSource", Value::scalar(0));
    r.set("MarkerPolarity", Value::scalar(0));
    return Value::record(std::move(r));
}

void syncSigGenSettings(Value& settings, const FrameConfig& config) {
    if (!settings.isRecord()) throw Error("sigGenParameters must be a record.");
    settings.setField("OverSampling", Value::scalar(config.OverSampling));
    settings.setField("SamplingRate", Value::scalar(kChipRate * config.OverSampling));
    settings.setField("RFblanking", Value::scalar(1 - config.IdleSlotGainActive));
}

void setParameterField(FrameConfig& config, const std::string& name, const Value& value) {
    const FieldRule* rule = nullptr;
    for (const auto& r : rules())
        if (name == r.name) rule = &r;
    if (!rule) {
        std::string known;
        for (const auto& r : rules()) known += (known.empty() ? "" : ", ") + std::string(r.name);
        throw Error("\"" + name + "\" is not a field that can be set; settable fields: " + known + ".");
    }
    if (!value.isReal() || value.numel() == 0)
        throw Error("\"" + name + "\" needs real numbers (" + rangeText(*rule) + ").");

    std::size_t rows = 1, cols = 1;
    if (rule->shape == Shape::Column) rows = kSlots;
    if (rule->shape == Shape::Rpc) {
        rows = kSlots;
        cols = kRpcChannels;
    }
    const bool scalar = value.numel() == 1;
    const bool shapeOk = scalar || (rule->shape == Shape::Column && value.numel() == kSlots && value.isVector()) ||
                         (value.rows() == rows && value.cols() == cols);
    if (!shapeOk)
        throw Error("\"" + name + "\" must be " + (rows * cols == 1 ? std::string("a scalar") : "a scalar or " +
                    std::to_string(rows) + " x " + std::to_string(cols) + " values") + ", got " +
                    std::to_string(value.rows()) + " x " + std::to_string(value.cols()) + ".");
    for (double x : value.realData()) checkValue(*rule, x, "\"" + name + "\"");

    double* dest = rule->target(config);
    const std::size_t count = rows * cols;
    for (std::size_t i = 0; i < count; ++i) {
        double x;
        if (scalar) {
            x = value.realAt(0);
        } else if (rule->shape == Shape::Rpc) {
            // dest is slot-major (row-major); the value is column-major.
            const std::size_t slot = i / cols, ch = i % cols;
            x = value.realAt(ch * rows + slot);
        } else {
            x = value.realAt(i);
        }
        dest[i] = x;
    }
    if (name == "OverSampling") config.ProjectedLength = kFrameChips * config.OverSampling;
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
    FrameConfig copy = config;  // the rule table addresses fields of a mutable record
    for (const auto& rule : rules()) {
        const std::string name = rule.name;
        // The RPC level normalisation of the setup windows may leave gains
        // beyond +-30 dB; any finite gain is a valid stored value.
        const bool slotGain = name == "slot.RAslotGain" || name == "slot.RPCslotGain";
        const double* values = rule.target(copy);
        for (std::size_t i = 0; i < elementCount(rule.shape); ++i) {
            if (slotGain) {
                if (!std::isfinite(values[i])) throw Error("parameters." + name + " holds a value that is not finite.");
                continue;
            }
            checkValue(rule, values[i], "parameters." + name);
        }
    }
}

std::vector<std::string> settableParameterFields() {
    std::vector<std::string> names;
    for (const auto& r : rules()) names.emplace_back(r.name);
    return names;
}

}  // namespace tolvane
