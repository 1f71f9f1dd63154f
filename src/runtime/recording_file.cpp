#include "runtime/recording_file.hpp"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <utility>

#include "base/diagnostics.hpp"
#include "base/text.hpp"
#include "onex/constants.hpp"
#include "onex/packets.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/value.hpp"

namespace tolvane {

namespace {

using Json = nlohmann::json;

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// The message prefix every refusal of a file starts with.
std::string cannotRead(const std::string& name) { return "Cannot read the recording " + quoted(name) + ": "; }

[[noreturn]] void refuse(const std::string& name, const std::string& why) { throw Error(cannotRead(name) + why + "."); }

// The whole file, refused before reading when it is not a regular file or is
// larger than `maxBytes` (what `what` is).
std::string readBounded(const std::string& path, std::uint64_t maxBytes, const std::string& what) {
    std::error_code ec;
    const std::filesystem::path p(path);
    if (!std::filesystem::exists(p, ec)) refuse(path, "no such file");
    if (std::filesystem::is_directory(p, ec)) refuse(path, "it is a folder");
    if (!std::filesystem::is_regular_file(p, ec)) refuse(path, "it is not a regular file");
    const std::uintmax_t size = std::filesystem::file_size(p, ec);
    if (ec) refuse(path, "its size cannot be read (" + ec.message() + ")");
    if (size > maxBytes)
        refuse(path, "it holds " + std::to_string(size) + " bytes, more than the " + std::to_string(maxBytes) +
                         " bytes allowed for " + what);
    std::ifstream in(path, std::ios::binary);
    if (!in) refuse(path, "it cannot be opened");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(bytes.data(), static_cast<std::streamsize>(size)))
        refuse(path, "reading it failed after " + std::to_string(in.gcount()) + " bytes");
    return bytes;
}

void checkSampleCount(std::uint64_t count, const std::string& name) {
    if (count == 0) refuse(name, "it holds no samples");
    if (count > kMaxRecordingSamples)
        refuse(name, "it holds " + std::to_string(count) + " samples, more than the " +
                         std::to_string(kMaxRecordingSamples) + " allowed");
}

void checkSample(std::complex<double> s, std::size_t index, const std::string& name) {
    if (!std::isfinite(s.real()) || !std::isfinite(s.imag()))
        refuse(name, "sample " + std::to_string(index + 1) + " is not a finite number");
}

bool isWhole(double x) { return std::isfinite(x) && x == std::floor(x); }

// ---- the frame's settings, from a record of either kind

// One setting as the file holds it: nothing when absent; throws Error
// (naming the field) when it is there but not a single number.
using SettingLookup = std::function<std::optional<double>(const std::string& field)>;

// Takes the settings the analysis needs from the frame's record; each that
// is present must be in the range a frame can be made with.
void takeSettings(Recording& r, const SettingLookup& lookup, const std::string& name, const std::string& record) {
    auto bad = [&](const std::string& field, double v, const std::string& range) {
        refuse(name, record + "." + field + " is " + numberText(v) + ", not " + range);
    };
    if (const auto v = lookup("FilterType")) {
        if (!isWhole(*v) || *v < 1 || *v > 4) bad("FilterType", *v, "a filter type (1 to 4)");
        r.filter = static_cast<FilterShape>(static_cast<int>(*v));
    }
    if (const auto v = lookup("PhaseEq")) {
        if (*v != 0 && *v != 1) bad("PhaseEq", *v, "0 or 1");
        r.phaseEq = *v == 1;
    }
    if (const auto v = lookup("FrameSlots")) {
        if (!isFrameSlots(*v)) bad("FrameSlots", *v, "a frame length (a whole multiple of 16 from 16 to 128)");
        r.frameSlots = static_cast<int>(*v);
    }
    if (const auto v = lookup("PilotOffsetIndex")) {
        if (!isWhole(*v) || *v < 0 || *v > 511) bad("PilotOffsetIndex", *v, "a PN offset index (0 to 511)");
        r.pnOffset = static_cast<int>(*v);
    }
}

// The oversampling a record states (nothing when absent), checked.
std::optional<int> statedOversampling(const SettingLookup& lookup, const std::string& name, const std::string& record) {
    const auto v = lookup("OverSampling");
    if (!v) return std::nullopt;
    if (!isWhole(*v) || *v < 1 || *v > kMaxOversampling)
        refuse(name, record + ".OverSampling is " + numberText(*v) + ", not a whole number from 1 to " +
                         std::to_string(kMaxOversampling));
    return static_cast<int>(*v);
}

SettingLookup valueLookup(const Value& record, const std::string& name, const std::string& recordName) {
    return [&record, name, recordName](const std::string& field) -> std::optional<double> {
        if (!record.hasField(field)) return std::nullopt;
        const Value& v = record.field(field);
        if (!v.isReal() || v.numel() != 1) refuse(name, recordName + "." + field + " is not a single real number");
        return v.realAt(0);
    };
}

SettingLookup jsonLookup(const Json& record, const std::string& name, const std::string& recordName) {
    return [&record, name, recordName](const std::string& field) -> std::optional<double> {
        const auto it = record.find(field);
        if (it == record.end()) return std::nullopt;
        if (!it->is_number()) refuse(name, recordName + "." + field + " is not a number");
        return it->get<double>();
    };
}

// ---- the sample rate

void checkRate(double rate, const std::string& name, const std::string& what) {
    if (!std::isfinite(rate) || rate <= 0 || rate > kMaxRecordingSampleRate)
        refuse(name, what + " " + numberText(rate) + " Hz is not a sample rate (a number above 0 up to " +
                         numberText(kMaxRecordingSampleRate) + " Hz)");
}

// The caller's rate, when given.
std::optional<double> givenRate(const RecordingReadOptions& o, const std::string& name) {
    if (o.sampleRate && o.oversampling)
        refuse(name, "give either a sample rate or an oversampling, not both");
    if (o.oversampling) {
        if (*o.oversampling < 1 || *o.oversampling > kMaxOversampling)
            refuse(name, "the oversampling " + std::to_string(*o.oversampling) + " given is not from 1 to " +
                             std::to_string(kMaxOversampling));
        return kChipRate * *o.oversampling;
    }
    if (o.sampleRate) {
        checkRate(*o.sampleRate, name, "the sample rate given,");
        return *o.sampleRate;
    }
    return std::nullopt;
}

// The recording's rate: the file's when it states one (a given rate must
// then agree), else the caller's.
double resolveRate(std::optional<double> fileRate, const RecordingReadOptions& o, const std::string& name) {
    const std::optional<double> given = givenRate(o, name);
    if (fileRate) {
        if (given && std::abs(*given - *fileRate) > 1e-9 * *fileRate)
            refuse(name, "the file states a sample rate of " + numberText(*fileRate) + " Hz, not the " +
                             numberText(*given) + " Hz given");
        return *fileRate;
    }
    if (!given) refuse(name, "the file does not state its sample rate: give the sample rate or the oversampling");
    return *given;
}

// ---- the formats

Recording readMatRecording(const std::string& path, const RecordingReadOptions& options) {
    const Record vars = readMatFile(path);
    Recording r;
    r.format = "MAT-file";
    if (!vars.has("waveform")) refuse(path, "it holds no variable \"waveform\"");
    const Value& w = vars.at("waveform");
    if (!w.isNumeric() || !w.isVector()) refuse(path, "\"waveform\" is not a row or column of numbers");
    checkSampleCount(w.numel(), path);
    r.samples = w.toComplex();
    for (std::size_t i = 0; i < r.samples.size(); ++i) checkSample(r.samples[i], i, path);

    std::optional<double> fileRate;
    if (vars.has("sampleRate")) {
        const Value& s = vars.at("sampleRate");
        if (!s.isReal() || s.numel() != 1) refuse(path, "\"sampleRate\" is not a single real number");
        checkRate(s.realAt(0), path, "its sampleRate");
        fileRate = s.realAt(0);
    }
    if (vars.has("parameters")) {
        const Value& p = vars.at("parameters");
        if (!p.isRecord()) refuse(path, "\"parameters\" is not a record");
        const SettingLookup lookup = valueLookup(p, path, "parameters");
        takeSettings(r, lookup, path, "parameters");
        r.oversampling = statedOversampling(lookup, path, "parameters");
        if (r.oversampling && !fileRate) fileRate = kChipRate * *r.oversampling;
    }
    r.sampleRate = resolveRate(fileRate, options, path);
    return r;
}

// The component decoders of the SigMF datatypes, each to about unit full
// scale (the analysis measures relative to the recording's own power).
struct SigmfType {
    const char* name;
    std::size_t bytes;  // per component
    double (*decode)(const unsigned char*);
};

double ci16le(const unsigned char* b) { return static_cast<std::int16_t>(b[0] | (b[1] << 8)) / 32768.0; }
double ci16be(const unsigned char* b) { return static_cast<std::int16_t>((b[0] << 8) | b[1]) / 32768.0; }
double ci8(const unsigned char* b) { return static_cast<std::int8_t>(b[0]) / 128.0; }
double cu8(const unsigned char* b) { return (b[0] - 127.5) / 128.0; }
double cf32le(const unsigned char* b) {
    const std::uint32_t bits = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                               static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

constexpr SigmfType kSigmfTypes[] = {
    {"ci16_le", 2, ci16le}, {"ci16_be", 2, ci16be}, {"cf32_le", 4, cf32le}, {"ci8", 1, ci8}, {"cu8", 1, cu8},
};

std::vector<std::complex<double>> decodeComponents(const std::string& data, const SigmfType& type,
                                                   const std::string& name) {
    const std::size_t sampleBytes = 2 * type.bytes;
    if (data.size() % sampleBytes != 0)
        refuse(name, "its size (" + std::to_string(data.size()) + " bytes) is not a whole number of " +
                         std::to_string(sampleBytes) + "-byte " + type.name + " samples");
    checkSampleCount(data.size() / sampleBytes, name);
    std::vector<std::complex<double>> samples(data.size() / sampleBytes);
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    for (std::size_t i = 0; i < samples.size(); ++i, p += sampleBytes) {
        samples[i] = {type.decode(p), type.decode(p + type.bytes)};
        checkSample(samples[i], i, name);
    }
    return samples;
}

Json parseMeta(const std::string& text, const std::string& name) {
    if (text.size() > kMaxSigmfMetaBytes)
        refuse(name, "its metadata holds " + std::to_string(text.size()) + " bytes, more than the " +
                         std::to_string(kMaxSigmfMetaBytes) + " allowed");
    try {
        // The callback sees every element with its depth before the parser
        // goes deeper, so a document nested past the ceiling stops there.
        return Json::parse(text, [&](int depth, Json::parse_event_t, Json&) {
            if (depth > static_cast<int>(kMaxSigmfMetaDepth))
                refuse(name, "its metadata nests arrays and objects more than " +
                                 std::to_string(kMaxSigmfMetaDepth) + " levels deep");
            return true;
        });
    } catch (const Json::exception& e) {
        refuse(name, std::string("its metadata is not JSON (") + e.what() + ")");
    }
}

}  // namespace

Recording parseInstrumentRecording(const std::string& data, const std::string& name,
                                   const RecordingReadOptions& options) {
    Recording r;
    r.format = "instrument file";
    r.sampleRate = resolveRate(std::nullopt, options, name);
    r.oversampling = options.oversampling;
    r.samples = decodeComponents(data, kSigmfTypes[1], name);
    return r;
}

namespace {

// What the metadata says: everything but the samples, and their datatype.
struct SigmfHeader {
    Recording recording;
    const SigmfType* type = nullptr;
};

SigmfHeader readSigmfMeta(const std::string& metaText, const std::string& metaName,
                          const RecordingReadOptions& options) {
    const Json meta = parseMeta(metaText, metaName);
    if (!meta.is_object()) refuse(metaName, "its metadata is not a JSON object");
    const auto global = meta.find("global");
    if (global == meta.end() || !global->is_object()) refuse(metaName, "its metadata has no \"global\" object");

    SigmfHeader h;
    const auto datatype = global->find("core:datatype");
    if (datatype == global->end() || !datatype->is_string()) refuse(metaName, "it names no core:datatype");
    for (const SigmfType& t : kSigmfTypes)
        if (datatype->get<std::string>() == t.name) h.type = &t;
    if (!h.type)
        refuse(metaName, "its datatype " + quoted(datatype->get<std::string>()) +
                             " is not one read here (ci16_le, ci16_be, cf32_le, ci8, cu8)");
    if (const auto channels = global->find("core:num_channels"); channels != global->end()) {
        if (!channels->is_number() || channels->get<double>() != 1)
            refuse(metaName, "it holds " + channels->dump() + " channels; only one is read");
    }

    Recording& r = h.recording;
    r.format = std::string("SigMF ") + h.type->name;
    std::optional<double> fileRate;
    if (const auto rate = global->find("core:sample_rate"); rate != global->end()) {
        if (!rate->is_number()) refuse(metaName, "its core:sample_rate is not a number");
        checkRate(rate->get<double>(), metaName, "its core:sample_rate");
        fileRate = rate->get<double>();
    }
    // The frame's settings: the first annotation that carries them.
    if (const auto annotations = meta.find("annotations"); annotations != meta.end()) {
        if (!annotations->is_array()) refuse(metaName, "its annotations are not an array");
        for (const Json& a : *annotations) {
            if (!a.is_object()) continue;
            const auto p = a.find("tolvane:parameters");
            if (p == a.end()) continue;
            if (!p->is_object()) refuse(metaName, "its tolvane:parameters is not an object");
            const SettingLookup lookup = jsonLookup(*p, metaName, "tolvane:parameters");
            takeSettings(r, lookup, metaName, "tolvane:parameters");
            r.oversampling = statedOversampling(lookup, metaName, "tolvane:parameters");
            if (r.oversampling && !fileRate) fileRate = kChipRate * *r.oversampling;
            break;
        }
    }
    r.sampleRate = resolveRate(fileRate, options, metaName);
    return h;
}

}  // namespace

Recording parseSigmfRecording(const std::string& metaText, const std::string& data, const std::string& metaName,
                              const std::string& dataName, const RecordingReadOptions& options) {
    SigmfHeader h = readSigmfMeta(metaText, metaName, options);
    h.recording.samples = decodeComponents(data, *h.type, dataName);
    return std::move(h.recording);
}

Recording readRecording(const std::string& path, const RecordingReadOptions& options) {
    const std::string ext = lowerExtension(path);
    if (ext == ".mat") return readMatRecording(path, options);
    if (ext == ".bin") {
        const std::string data = readBounded(path, 4 * kMaxRecordingSamples, "an instrument file");
        return parseInstrumentRecording(data, path, options);
    }
    if (ext == ".sigmf-meta" || ext == ".sigmf-data" || ext == ".sigmf") {
        const std::string base = path.substr(0, path.size() - ext.size());
        if (base.empty() || base.back() == '/') refuse(path, "a SigMF recording needs a name before its extension");
        const std::string metaName = base + ".sigmf-meta";
        const std::string dataName = base + ".sigmf-data";
        SigmfHeader h = readSigmfMeta(readBounded(metaName, kMaxSigmfMetaBytes, "SigMF metadata"), metaName, options);
        const std::string data =
            readBounded(dataName, 2 * h.type->bytes * kMaxRecordingSamples, std::string(h.type->name) + " samples");
        h.recording.samples = decodeComponents(data, *h.type, dataName);
        return std::move(h.recording);
    }
    refuse(path, "its extension is not one of a recording (.mat, .bin, .sigmf-meta, .sigmf-data)");
}

}  // namespace tolvane
