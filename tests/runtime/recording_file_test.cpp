// Reading recordings for analysis: what our own writers wrote comes back as
// the samples, the rate and the frame's settings; every SigMF datatype
// decodes to the right numbers; damaged and hostile files are refused with a
// message naming the file and the reason.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "../support/temp_dir.hpp"
#include "base/diagnostics.hpp"
#include "instrument/waveform_file.hpp"
#include "onex/constants.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/parameters_value.hpp"
#include "runtime/recording_file.hpp"
#include "runtime/sigmf_file.hpp"

namespace tolvane {
namespace {

using testing_support::TempDir;
using cd = std::complex<double>;

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A waveform whose components reach full scale, with no two samples alike.
std::vector<cd> someWaveform(std::size_t n) {
    std::vector<cd> w(n);
    for (std::size_t i = 0; i < n; ++i)
        w[i] = std::polar(1.0 - 0.4 * static_cast<double>(i % 5) / 5.0, 0.37 * static_cast<double>(i));
    return w;
}

// The same samples up to a common real scale (the writers scale to full
// range): the largest deviation after the best scale.
double scaledMismatch(const std::vector<cd>& got, const std::vector<cd>& want) {
    double num = 0, den = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        num += std::real(got[i] * std::conj(want[i]));
        den += std::norm(want[i]);
    }
    const double g = num / den;
    double worst = 0;
    for (std::size_t i = 0; i < want.size(); ++i) worst = std::max(worst, std::abs(got[i] - g * want[i]));
    return worst;
}

FrameConfig configWith(double filter, double phaseEq, double frameSlots, double pn, double os) {
    FrameConfig c = defaultFrameConfig();
    c.FilterType = filter;
    c.PhaseEq = phaseEq;
    c.FrameSlots = frameSlots;
    c.PilotOffsetIndex = pn;
    c.OverSampling = os;
    c.ProjectedLength = projectedLength(c);
    return c;
}

// Our three writers, read back: samples (to the 16-bit words' precision),
// rate and the frame's settings.
TEST(RecordingFile, ReadsWhatOurWritersWrite) {
    TempDir dir;
    const std::vector<cd> w = someWaveform(4096);
    const FrameConfig config = configWith(2, 0, 32, 137, 4);

    Record vars;
    vars.set("waveform", Value::complexRow(w));
    vars.set("sampleRate", Value::scalar(kChipRate * 4));
    vars.set("parameters", parametersToValue(config));
    writeMatFile(dir.file("x.mat"), vars);
    const Recording mat = readRecording(dir.file("x.mat"));
    EXPECT_EQ(mat.format, "MAT-file");
    EXPECT_EQ(mat.samples, w);  // doubles, exactly
    EXPECT_EQ(mat.sampleRate, kChipRate * 4);
    EXPECT_EQ(mat.filter, FilterShape::Std);
    EXPECT_EQ(mat.phaseEq, false);
    EXPECT_EQ(mat.frameSlots, 32);
    EXPECT_EQ(mat.pnOffset, 137);
    EXPECT_EQ(mat.oversampling, 4);

    writeInstrumentWaveformFile(dir.file("x.bin"), w, 1.0);
    const Recording bin = readRecording(dir.file("x.bin"), {std::nullopt, 4});
    EXPECT_EQ(bin.format, "instrument file");
    ASSERT_EQ(bin.samples.size(), w.size());
    EXPECT_LT(scaledMismatch(bin.samples, w), 2.0 / 32768);
    EXPECT_EQ(bin.sampleRate, kChipRate * 4);
    EXPECT_EQ(bin.oversampling, 4);  // the caller's
    EXPECT_FALSE(bin.filter || bin.phaseEq || bin.frameSlots || bin.pnOffset);

    for (const SigmfDatatype type : {SigmfDatatype::Ci16Le, SigmfDatatype::Ci16Be}) {
        SigmfExport e;
        e.waveform = w;
        e.parameters = parametersToValue(config);
        e.sigGenSettings = defaultSigGenSettings(config);
        e.datatype = type;
        writeSigmf(dir.file("x"), e);
        // Any of the names the user may give.
        for (const char* name : {"x.sigmf-meta", "x.sigmf-data", "x.sigmf"}) {
            const Recording s = readRecording(dir.file(name));
            EXPECT_EQ(s.format, std::string("SigMF ") + sigmfDatatypeName(type)) << name;
            ASSERT_EQ(s.samples.size(), w.size()) << name;
            EXPECT_LT(scaledMismatch(s.samples, w), 2.0 / 32768) << name;
            EXPECT_EQ(s.sampleRate, kChipRate * 4) << name;
            EXPECT_EQ(s.filter, FilterShape::Std) << name;
            EXPECT_EQ(s.phaseEq, false) << name;
            EXPECT_EQ(s.frameSlots, 32) << name;
            EXPECT_EQ(s.pnOffset, 137) << name;
            EXPECT_EQ(s.oversampling, 4) << name;
        }
    }
}

std::string metaWith(const std::string& datatype, const std::string& extraGlobal = "") {
    return R"({"global": {"core:datatype": ")" + datatype + R"(", "core:sample_rate": 2457600)" + extraGlobal +
           "}}";
}

std::string floatBytes(std::initializer_list<float> xs) {
    std::string out;
    for (float f : xs) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>((bits >> (8 * k)) & 0xff));
    }
    return out;
}

// Each datatype's bytes decode to the components they stand for (scaled to
// about unit full scale: 16-bit words by 2^15, 8-bit by 2^7, cu8 around
// its midpoint 127.5); a file that names no rate takes the caller's.
TEST(RecordingFile, SigmfDatatypesDecode) {
    struct Case {
        const char* type;
        std::string bytes;
        std::vector<cd> want;
    };
    const Case cases[] = {
        {"ci16_le", std::string("\x00\x40\x00\xc0\xff\x7f\x00\x80", 8), {{0.5, -0.5}, {32767.0 / 32768, -1}}},
        {"ci16_be", std::string("\x40\x00\xc0\x00\x7f\xff\x80\x00", 8), {{0.5, -0.5}, {32767.0 / 32768, -1}}},
        {"cf32_le", floatBytes({0.25f, -1.5f, 3.0f, 0.0f}), {{0.25, -1.5}, {3, 0}}},
        {"ci8", std::string("\x40\xc0\x7f\x80", 4), {{0.5, -0.5}, {127.0 / 128, -1}}},
        {"cu8", std::string("\xff\x00\x80\x7f", 4), {{127.5 / 128, -127.5 / 128}, {0.5 / 128, -0.5 / 128}}},
    };
    for (const Case& c : cases) {
        const Recording r = parseSigmfRecording(metaWith(c.type), c.bytes, "m", "d");
        EXPECT_EQ(r.samples, c.want) << c.type;
        EXPECT_EQ(r.sampleRate, 2457600) << c.type;
    }
    const Recording noRate = parseSigmfRecording(R"({"global": {"core:datatype": "ci8"}})", std::string(4, '\0'),
                                                 "m", "d", {1e6, std::nullopt});
    EXPECT_EQ(noRate.sampleRate, 1e6);
}

// Refusals of the SigMF reader on its two files' contents: each names the
// file at fault (m for the metadata, d for the data) and the reason.
TEST(RecordingFile, SigmfRefusals) {
    struct Case {
        const char* what;
        std::string meta;
        std::string data;
        RecordingReadOptions options;
        std::string message;
    };
    const std::string nanSample = floatBytes({std::numeric_limits<float>::quiet_NaN(), 0});
    std::string deep;
    for (int i = 0; i < 40; ++i) deep += "[";
    for (int i = 0; i < 40; ++i) deep += "]";
    const Case cases[] = {
        {"odd size", metaWith("ci16_le"), std::string(6, '\0'), {}, "\"d\": its size (6 bytes) is not a whole number of 4-byte ci16_le samples."},
        {"truncated float", metaWith("cf32_le"), std::string(12, '\0'), {}, "\"d\": its size (12 bytes)"},
        {"empty data", metaWith("ci8"), "", {}, "\"d\": it holds no samples."},
        {"NaN", metaWith("cf32_le"), nanSample, {}, "\"d\": sample 1 is not a finite number."},
        {"infinity", metaWith("cf32_le"), floatBytes({1, std::numeric_limits<float>::infinity()}), {}, "\"d\": sample 1 is not a finite number."},
        {"unknown datatype", metaWith("cf64_le"), std::string(16, '\0'), {}, "\"m\": its datatype \"cf64_le\" is not one read here"},
        {"real datatype", metaWith("ri16_le"), std::string(4, '\0'), {}, "is not one read here"},
        {"datatype a number", R"({"global": {"core:datatype": 3}})", "", {}, "\"m\": it names no core:datatype."},
        {"no global", R"({"captures": []})", "", {}, "\"m\": its metadata has no \"global\" object."},
        {"not an object", "[1, 2]", "", {}, "\"m\": its metadata is not a JSON object."},
        {"not JSON", "{\"global\": ", "", {}, "\"m\": its metadata is not JSON"},
        {"too deep", deep, "", {}, "\"m\": its metadata nests arrays and objects more than 32 levels deep."},
        {"two channels", metaWith("ci8", R"(, "core:num_channels": 2)"), std::string(4, '\0'), {}, "\"m\": it holds 2 channels; only one is read."},
        {"rate a text", R"({"global": {"core:datatype": "ci8", "core:sample_rate": "fast"}})", std::string(2, '\0'), {}, "\"m\": its core:sample_rate is not a number."},
        {"rate negative", R"({"global": {"core:datatype": "ci8", "core:sample_rate": -5}})", std::string(2, '\0'), {}, "\"m\": its core:sample_rate -5 Hz is not a sample rate"},
        {"rate huge", R"({"global": {"core:datatype": "ci8", "core:sample_rate": 1e300}})", std::string(2, '\0'), {}, "is not a sample rate"},
        {"no rate at all", R"({"global": {"core:datatype": "ci8"}})", std::string(2, '\0'), {}, "\"m\": the file does not state its sample rate: give the sample rate or the oversampling."},
        {"rate disagrees", metaWith("ci8"), std::string(2, '\0'), {1e6, std::nullopt}, "\"m\": the file states a sample rate of 2457600 Hz, not the 1000000 Hz given."},
        {"both given", R"({"global": {"core:datatype": "ci8"}})", std::string(2, '\0'), {1e6, 2}, "give either a sample rate or an oversampling, not both."},
        {"filter out of range", R"({"global": {"core:datatype": "ci8", "core:sample_rate": 2457600}, "annotations": [{"tolvane:parameters": {"FilterType": 7}}]})", std::string(2, '\0'), {}, "\"m\": tolvane:parameters.FilterType is 7, not a filter type (1 to 4)."},
        {"filter a text", R"({"global": {"core:datatype": "ci8", "core:sample_rate": 2457600}, "annotations": [{"tolvane:parameters": {"FilterType": "3"}}]})", std::string(2, '\0'), {}, "tolvane:parameters.FilterType is not a number."},
        {"frame slots", R"({"global": {"core:datatype": "ci8", "core:sample_rate": 2457600}, "annotations": [{"tolvane:parameters": {"FrameSlots": 20}}]})", std::string(2, '\0'), {}, "tolvane:parameters.FrameSlots is 20, not a frame length"},
        {"PN offset", R"({"global": {"core:datatype": "ci8", "core:sample_rate": 2457600}, "annotations": [{"tolvane:parameters": {"PilotOffsetIndex": 512}}]})", std::string(2, '\0'), {}, "tolvane:parameters.PilotOffsetIndex is 512, not a PN offset index (0 to 511)."},
        {"oversampling", R"({"global": {"core:datatype": "ci8"}, "annotations": [{"tolvane:parameters": {"OverSampling": 2.5}}]})", std::string(2, '\0'), {}, "tolvane:parameters.OverSampling is 2.5, not a whole number from 1 to 64."},
        {"annotations an object", R"({"global": {"core:datatype": "ci8", "core:sample_rate": 1e6}, "annotations": {}})", std::string(2, '\0'), {}, "its annotations are not an array."},
    };
    for (const Case& c : cases) {
        try {
            (void)parseSigmfRecording(c.meta, c.data, "m", "d", c.options);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const Error& e) {
            const std::string msg = e.what();
            EXPECT_EQ(msg.rfind("Cannot read the recording ", 0), 0u) << c.what << ": " << msg;
            EXPECT_NE(msg.find(c.message), std::string::npos) << c.what << ": " << msg;
        }
    }
}

// The rate from the settings when the file names none; the caller's
// oversampling; the settings of a file we did not write stay unknown.
TEST(RecordingFile, RateFromTheFrameSettingsOrTheCaller) {
    const Recording fromOs = parseSigmfRecording(
        R"({"global": {"core:datatype": "ci8"}, "annotations": [{"core:sample_start": 0}, {"tolvane:parameters": {"OverSampling": 8, "PhaseEq": 1}}]})",
        std::string(2, '\0'), "m", "d");
    EXPECT_EQ(fromOs.sampleRate, kChipRate * 8);
    EXPECT_EQ(fromOs.phaseEq, true);
    EXPECT_EQ(fromOs.oversampling, 8);
    EXPECT_FALSE(fromOs.filter || fromOs.frameSlots || fromOs.pnOffset);
    const Recording bin = parseInstrumentRecording(std::string(8, '\0'), "b", {std::nullopt, 3});
    EXPECT_EQ(bin.sampleRate, kChipRate * 3);
    EXPECT_EQ(bin.samples.size(), 2u);
    for (const RecordingReadOptions& o : std::vector<RecordingReadOptions>{
             {}, {std::nullopt, 0}, {std::nullopt, 65}, {0.0, std::nullopt},
             {std::numeric_limits<double>::quiet_NaN(), std::nullopt}}) {
        EXPECT_THROW((void)parseInstrumentRecording(std::string(8, '\0'), "b", o), Error);
    }
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

// Files on disk: missing, folders, the wrong extension, a SigMF recording
// with one of its two files missing, odd and oversized instrument files, and
// MAT-files whose variables are of the wrong kind.
TEST(RecordingFile, FileRefusals) {
    TempDir dir;
    const std::string odd = dir.file("odd.bin");
    writeBytes(odd, std::string(7, '\0'));
    writeBytes(dir.file("lonely.sigmf-meta"), metaWith("ci8"));
    writeBytes(dir.file("nometa.sigmf-data"), std::string(4, '\0'));
    writeBytes(dir.file("x.wav"), "RIFF");
    // A data file just past the ceiling: sparse, so it costs no disk.
    const std::string big = dir.file("big.bin");
    std::filesystem::resize_file((writeBytes(big, ""), big), 4 * kMaxRecordingSamples + 4);
    const std::string bigMeta = dir.file("huge.sigmf-meta");
    std::filesystem::resize_file((writeBytes(bigMeta, ""), bigMeta), kMaxSigmfMetaBytes + 1);

    auto mat = [&](const std::string& name, Record vars) {
        writeMatFile(dir.file(name), vars);
        return dir.file(name);
    };
    Record textWave;
    textWave.set("waveform", Value::text("abc"));
    textWave.set("sampleRate", Value::scalar(1e6));
    Record matrixWave;
    matrixWave.set("waveform", Value::matrix(2, 2, {1, 2, 3, 4}));
    matrixWave.set("sampleRate", Value::scalar(1e6));
    Record nanWave;
    nanWave.set("waveform", Value::row({1, std::nan(""), 3}));
    nanWave.set("sampleRate", Value::scalar(1e6));
    Record nanRate;
    nanRate.set("waveform", Value::row({1, 2}));
    nanRate.set("sampleRate", Value::scalar(std::nan("")));
    Record noWave;
    noWave.set("sampleRate", Value::scalar(1e6));
    Record badParams;
    badParams.set("waveform", Value::row({1, 2}));
    badParams.set("sampleRate", Value::scalar(1e6));
    Record p;
    p.set("PhaseEq", Value::scalar(0.5));
    badParams.set("parameters", Value::record(p));
    Record paramsText;
    paramsText.set("waveform", Value::row({1, 2}));
    paramsText.set("sampleRate", Value::scalar(1e6));
    paramsText.set("parameters", Value::text("x"));

    struct Case {
        std::string path;
        RecordingReadOptions options;
        std::string message;
    };
    const Case cases[] = {
        {dir.file("missing.bin"), {1e6, std::nullopt}, "missing.bin\": no such file."},
        {odd, {1e6, std::nullopt}, "odd.bin\": its size (7 bytes) is not a whole number of 4-byte ci16_be samples."},
        {odd, {}, "odd.bin\": the file does not state its sample rate"},
        {big, {1e6, std::nullopt}, "big.bin\": it holds 67108868 bytes, more than the 67108864 bytes allowed"},
        {bigMeta, {}, "huge.sigmf-meta\": it holds 16777217 bytes, more than the 16777216 bytes allowed for SigMF metadata."},
        {dir.file("lonely.sigmf-meta"), {}, "lonely.sigmf-data\": no such file."},
        {dir.file("nometa.sigmf-data"), {}, "nometa.sigmf-meta\": no such file."},
        {dir.file("x.wav"), {}, "x.wav\": its extension is not one of a recording"},
        {mat("text.mat", textWave), {}, "text.mat\": \"waveform\" is not a row or column of numbers."},
        {mat("matrix.mat", matrixWave), {}, "matrix.mat\": \"waveform\" is not a row or column of numbers."},
        {mat("nan.mat", nanWave), {}, "nan.mat\": sample 2 is not a finite number."},
        {mat("nanrate.mat", nanRate), {}, "nanrate.mat\": its sampleRate NaN Hz is not a sample rate"},
        {mat("nowave.mat", noWave), {}, "nowave.mat\": it holds no variable \"waveform\"."},
        {mat("params.mat", badParams), {}, "params.mat\": parameters.PhaseEq is 0.5, not 0 or 1."},
        {mat("paramstext.mat", paramsText), {}, "paramstext.mat\": \"parameters\" is not a record."},
    };
    for (const Case& c : cases) {
        const std::string msg = errorOf([&] { (void)readRecording(c.path, c.options); });
        EXPECT_NE(msg.find(c.message), std::string::npos) << c.path << ": " << msg;
    }
    // A folder named like a recording.
    std::filesystem::create_directory(dir.file("folder.bin"));
    EXPECT_NE(errorOf([&] { (void)readRecording(dir.file("folder.bin"), {1e6, std::nullopt}); }).find("it is a folder"),
              std::string::npos);
    // A damaged MAT-file is refused by the MAT reader, naming the file.
    writeBytes(dir.file("junk.mat"), std::string(200, 'x'));
    EXPECT_NE(errorOf([&] { (void)readRecording(dir.file("junk.mat")); }).find("junk.mat"), std::string::npos);
}

}  // namespace
}  // namespace tolvane
