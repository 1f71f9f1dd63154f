#include "runtime/sigmf_file.hpp"

#include <ctime>
#include <utility>
#include <nlohmann/json.hpp>

#include "base/atomic_file.hpp"
#include "instrument/scpi_block.hpp"
#include "base/diagnostics.hpp"
#include "onex/constants.hpp"
#include "onex/packets.hpp"
#include "runtime/json_value.hpp"

namespace tolvane {

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

double numberOr(const Value& record, const char* field, double fallback) {
    if (!record.hasField(field)) return fallback;
    const Value& v = record.field(field);
    return v.isReal() && v.numel() > 0 ? v.realAt(0) : fallback;
}

// The record as JSON without the user bit pattern (up to 102 400 bits that
// say nothing a reader of the recording needs; its length is kept).
Json settingsJson(const Value& parameters) {
    Value copy = parameters;
    if (copy.hasField("dataSourceBitstream")) {
        const double bits = static_cast<double>(copy.field("dataSourceBitstream").numel());
        copy.rec().remove("dataSourceBitstream");
        copy.setField("dataSourceBitstreamLength", Value::scalar(bits));
    }
    return valueToJson(copy);
}

// The impairments and carriers of the frame, each with its unit; a record
// written before they existed has none (an empty object).
Json impairmentsJson(const Value& p) {
    Json out = Json::object();
    if (!p.isRecord()) return out;
    const auto on = [&](const char* name) { return numberOr(p, name, 0) != 0; };
    if (p.hasField("AWGNActive")) {
        out["awgn"] = on("AWGNActive");
        out["carrierToNoiseDb"] = numberOr(p, "CarrierToNoise", 0);
    }
    if (p.hasField("FrequencyOffset")) out["frequencyOffsetHz"] = numberOr(p, "FrequencyOffset", 0);
    if (p.hasField("IQGainImbalance")) out["iqGainImbalanceDb"] = numberOr(p, "IQGainImbalance", 0);
    if (p.hasField("IQQuadratureError")) out["iqQuadratureErrorDeg"] = numberOr(p, "IQQuadratureError", 0);
    if (p.hasField("OriginOffsetActive"))
        out["originOffsetDbc"] = on("OriginOffsetActive") ? Json(numberOr(p, "OriginOffset", 0)) : Json(nullptr);
    if (p.hasField("ClipPAPRActive"))
        out["clipPaprDb"] = on("ClipPAPRActive") ? Json(numberOr(p, "ClipPAPR", 0)) : Json(nullptr);
    if (p.hasField("Carriers") && p.field("Carriers").isReal() && p.field("Carriers").cols() == 4) {
        const Value& m = p.field("Carriers");
        const std::size_t n = m.rows();
        Json rows = Json::array();
        for (std::size_t r = 0; r < n; ++r) {
            Json c = Json::object();
            c["frequencyOffsetHz"] = m.realAt(r);
            c["powerDb"] = m.realAt(n + r);
            c["pnOffset"] = m.realAt(2 * n + r);
            c["delayChips"] = m.realAt(3 * n + r);
            rows.push_back(c);
        }
        out["carriers"] = rows;
    }
    return out;
}

// The settings of one slot: every slot field holds one entry per slot (a
// row of 16) or one row per slot (16 x 59 for the RPC channels).
Json slotJson(const Value& slot, std::size_t index) {
    Json out = Json::object();
    if (!slot.isRecord()) return out;
    const auto slots = static_cast<std::size_t>(kSlots);
    for (const auto& [name, v] : slot.rec().fields()) {
        if (!v.isReal()) continue;
        if (v.numel() == slots && v.isVector()) {
            out[name] = v.realAt(index);
        } else if (v.rows() == slots) {
            Json row = Json::array();
            for (std::size_t c = 0; c < v.cols(); ++c) row.push_back(v.realAt(c * slots + index));
            out[name] = row;
        }
    }
    return out;
}

// The packet table of a traffic-packet frame, as its record holds it (an
// N x 3 matrix of first slot, DRC, MAC index); empty for any other mode or
// a table that does not read as rows.
std::vector<PacketRow> recordPackets(const Value& parameters) {
    if (numberOr(parameters, "Mode", 1) != 3 || !parameters.hasField("Packets")) return {};
    const Value& m = parameters.field("Packets");
    if (!m.isReal() || m.cols() != 3) return {};
    std::vector<PacketRow> rows;
    const std::size_t n = m.rows();
    for (std::size_t i = 0; i < n; ++i) rows.push_back({m.realAt(i), m.realAt(n + i), m.realAt(2 * n + i)});
    return rows;
}

}  // namespace

const char* sigmfDatatypeName(SigmfDatatype t) { return t == SigmfDatatype::Ci16Be ? "ci16_be" : "ci16_le"; }

std::optional<SigmfDatatype> sigmfDatatypeNamed(const std::string& name) {
    if (name == "ci16_le") return SigmfDatatype::Ci16Le;
    if (name == "ci16_be") return SigmfDatatype::Ci16Be;
    return std::nullopt;
}

std::string sigmfTimeNow() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

std::string sigmfBase(const std::string& chosen) {
    for (const char* ext : {".sigmf-meta", ".sigmf-data", ".sigmf"})
        if (endsWith(chosen, ext) && chosen.size() > std::string(ext).size())
            return chosen.substr(0, chosen.size() - std::string(ext).size());
    return chosen;
}

std::string sigmfMetadata(const SigmfExport& e) {
    // The samples are the frame's chips at its oversampling: the rate, the
    // description and the generator record follow the frame, not the
    // generator settings, which the windows change apart from it (the
    // oversampling entry sets the settings' SamplingRate but not their
    // OverSampling, and a later entry changes them before a calculation).
    const double oversampling = numberOr(e.parameters, "OverSampling", numberOr(e.sigGenSettings, "OverSampling", 0));
    const double rate = oversampling > 0 ? kChipRate * oversampling : numberOr(e.sigGenSettings, "SamplingRate", 0);
    const double frequency = numberOr(e.sigGenSettings, "Frequency", 0);
    std::string title;
    if (e.sigGenSettings.hasField("Title") && e.sigGenSettings.field("Title").isText())
        title = e.sigGenSettings.field("Title").str();
    Value generator = e.sigGenSettings;
    if (generator.isRecord() && oversampling > 0) {
        if (generator.hasField("OverSampling")) generator.setField("OverSampling", Value::scalar(oversampling));
        if (generator.hasField("SamplingRate")) generator.setField("SamplingRate", Value::scalar(rate));
    }

    Json meta = Json::object();
    Json global = Json::object();
    global["core:datatype"] = sigmfDatatypeName(e.datatype);
    global["core:sample_rate"] = rate;
    global["core:version"] = "1.0.0";
    global["core:num_channels"] = 1;
    global["core:recorder"] = "Tolvane";
    const double frameSlotsField = numberOr(e.parameters, "FrameSlots", kSlots);
    const std::size_t frameSlots =
        isFrameSlots(frameSlotsField) ? static_cast<std::size_t>(frameSlotsField) : static_cast<std::size_t>(kSlots);
    global["core:description"] = "1xEV forward link frame \"" + title + "\": " + std::to_string(frameSlots) +
                                 " slots of 2048 chips at 1.2288 Mcps, " + numberText(oversampling) +
                                 " samples per chip";
    global["tolvane:generator"] = valueToJson(generator);
    if (Json impairments = impairmentsJson(e.parameters); !impairments.empty())
        global["tolvane:impairments"] = impairments;
    meta["global"] = global;

    Json capture = Json::object();
    capture["core:sample_start"] = 0;
    capture["core:frequency"] = frequency;
    if (!e.isoTime.empty()) capture["core:datetime"] = e.isoTime;
    meta["captures"] = Json::array({capture});

    Json annotations = Json::array();
    Json frame = Json::object();
    frame["core:sample_start"] = 0;
    frame["core:sample_count"] = e.waveform.size();
    frame["core:label"] = "frame";
    frame["core:comment"] = "The frame's settings";
    frame["tolvane:parameters"] = settingsJson(e.parameters);
    annotations.push_back(frame);
    const std::size_t perSlot = e.waveform.size() / frameSlots;
    const Value slot = e.parameters.hasField("slot") ? e.parameters.field("slot") : Value();
    // A slot that carries a packet names it: its row of the table (from 1),
    // DRC and MAC index. A table the frame cannot carry annotates none.
    const std::vector<PacketRow> packets = recordPackets(e.parameters);
    std::vector<int> occupancy;
    try {
        if (!packets.empty()) occupancy = slotOccupancy(packets, static_cast<double>(frameSlots));
    } catch (const Error&) {
        occupancy.clear();
    }
    if (perSlot > 0 && perSlot * frameSlots == e.waveform.size()) {
        for (std::size_t i = 0; i < frameSlots; ++i) {
            Json a = Json::object();
            a["core:sample_start"] = i * perSlot;
            a["core:sample_count"] = perSlot;
            a["core:label"] = "slot " + std::to_string(i + 1);
            // Slot k takes its settings from row ((k - 1) mod 16) + 1.
            a["tolvane:slot"] = slotJson(slot, i % static_cast<std::size_t>(kSlots));
            if (i < occupancy.size() && occupancy[i] >= 0) {
                const PacketRow& p = packets[static_cast<std::size_t>(occupancy[i])];
                Json packet = Json::object();
                packet["row"] = occupancy[i] + 1;
                packet["startSlot"] = p.startSlot;
                packet["drc"] = p.drc;
                packet["macIndex"] = p.macIndex;
                a["tolvane:packet"] = packet;
                a["core:label"] = "slot " + std::to_string(i + 1) + ": packet " + std::to_string(occupancy[i] + 1) +
                                  " (DRC " + numberText(p.drc) + ", MAC " + numberText(p.macIndex) + ")";
            }
            annotations.push_back(a);
        }
    }
    meta["annotations"] = annotations;
    return meta.dump(2) + "\n";
}

std::string sigmfData(const SigmfExport& e) {
    std::string data;
    std::string why;
    if (!appendWaveformWords(e.waveform, data, why)) throw Error("The waveform cannot be exported: " + why);
    // The words come in the instrument's byte order, big-endian.
    if (e.datatype == SigmfDatatype::Ci16Le)
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) std::swap(data[i], data[i + 1]);
    return data;
}

void stageSigmf(FileGroup& group, const std::string& base, const SigmfExport& e) {
    // The metadata first: it is the file the user names, so a target that
    // cannot be written is reported under that name.
    const std::string data = sigmfData(e);
    group.stageBytes(base + ".sigmf-meta", sigmfMetadata(e));
    group.stageBytes(base + ".sigmf-data", data);
}

void writeSigmf(const std::string& base, const SigmfExport& e) {
    FileGroup group;
    stageSigmf(group, base, e);
    group.commit();
}

}  // namespace tolvane
