// The exported SigMF recording: the metadata describes the exported
// samples, the two byte orders, and the file writers' refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "../support/temp_dir.hpp"
#include "base/diagnostics.hpp"
#include "onex/constants.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/parameter_file.hpp"
#include "runtime/parameters_value.hpp"
#include "runtime/sigmf_file.hpp"

namespace tolvane {
namespace {

using testing_support::TempDir;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A frame's worth of samples at `oversampling`, with the frame's records as
// the windows hold them after the oversampling entry changed from the
// default: the generator settings' SamplingRate follows, their OverSampling
// does not.
SigmfExport exportAt(double oversampling) {
    FrameConfig config = defaultFrameConfig();
    const Value staleSettings = defaultSigGenSettings(config);
    config.OverSampling = oversampling;
    config.ProjectedLength = kFrameChips * oversampling;
    SigmfExport e;
    e.waveform.resize(static_cast<std::size_t>(kFrameChips * oversampling));
    for (std::size_t i = 0; i < e.waveform.size(); ++i)
        e.waveform[i] = std::polar(1.0 + static_cast<double>(i % 7), 0.01 * static_cast<double>(i));
    e.parameters = parametersToValue(config);
    e.sigGenSettings = staleSettings;
    e.sigGenSettings.setField("SamplingRate", Value::scalar(kChipRate * oversampling));
    e.isoTime = "2026-12-10T16:38:10Z";
    return e;
}

TEST(Sigmf, EveryFieldDescribesTheExportedOversampling) {
    const double os = 30;
    const SigmfExport e = exportAt(os);
    ASSERT_EQ(e.sigGenSettings.field("OverSampling").realAt(0), 5);  // the stale field of the settings
    const auto meta = nlohmann::json::parse(sigmfMetadata(e));
    const auto& global = meta["global"];
    const double samples = kFrameChips * os;
    EXPECT_EQ(global["core:sample_rate"], kChipRate * os);
    EXPECT_NE(global["core:description"].get<std::string>().find(", 30 samples per chip"), std::string::npos)
        << global["core:description"];
    EXPECT_EQ(global["tolvane:generator"]["OverSampling"], os);
    EXPECT_EQ(global["tolvane:generator"]["SamplingRate"], kChipRate * os);
    const auto& frame = meta["annotations"][0];
    EXPECT_EQ(frame["core:sample_count"], samples);
    EXPECT_EQ(frame["tolvane:parameters"]["OverSampling"], os);
    EXPECT_EQ(frame["tolvane:parameters"]["ProjectedLength"], samples);
    ASSERT_EQ(meta["annotations"].size(), 17u);
    for (std::size_t slot = 1; slot <= 16; ++slot) {
        EXPECT_EQ(meta["annotations"][slot]["core:sample_start"], (slot - 1) * samples / 16) << slot;
        EXPECT_EQ(meta["annotations"][slot]["core:sample_count"], samples / 16) << slot;
    }
    // The generator's own settings stay as they are.
    EXPECT_EQ(global["tolvane:generator"]["Frequency"], e.sigGenSettings.field("Frequency").realAt(0));
    EXPECT_EQ(meta["captures"][0]["core:frequency"], e.sigGenSettings.field("Frequency").realAt(0));
    // Data size: four bytes per sample.
    EXPECT_EQ(sigmfData(e).size(), static_cast<std::size_t>(samples) * 4);
}

// A traffic-packet frame of 32 slots: one annotation per slot of the frame
// (slot k showing the settings of slot row ((k - 1) mod 16) + 1), and every
// slot that carries a packet names the packet's row, DRC and MAC index.
TEST(Sigmf, LongFramesAnnotateEverySlotAndItsPacket) {
    FrameConfig config = defaultFrameConfig();
    config.Mode = 3;
    config.FrameSlots = 32;
    config.OverSampling = 2;
    config.slot.RAslotGain[2] = -7;  // slot row 3: slots 3 and 19
    config.Packets = {{1, 12, 7}, {2, 4, 9}};  // DRC 4 is two slots: 2 and 6
    config.ProjectedLength = projectedLength(config);
    SigmfExport e;
    e.waveform.assign(static_cast<std::size_t>(config.ProjectedLength), {0.5, -0.5});
    e.parameters = parametersToValue(config);
    e.sigGenSettings = defaultSigGenSettings(config);
    const auto meta = nlohmann::json::parse(sigmfMetadata(e));
    EXPECT_NE(meta["global"]["core:description"].get<std::string>().find(": 32 slots of 2048 chips"),
              std::string::npos);
    const auto& a = meta["annotations"];
    ASSERT_EQ(a.size(), 33u);
    const std::size_t perSlot = 2048 * 2;
    for (std::size_t k = 1; k <= 32; ++k) {
        EXPECT_EQ(a[k]["core:sample_start"], (k - 1) * perSlot) << k;
        EXPECT_EQ(a[k]["tolvane:slot"]["RAslotGain"], config.slot.RAslotGain[(k - 1) % 16]) << k;
        EXPECT_EQ(a[k]["tolvane:slot"]["RAslotGain"] == -7, k == 3 || k == 19) << k;
        const bool carries = k == 1 || k == 2 || k == 6;
        EXPECT_EQ(a[k].contains("tolvane:packet"), carries) << k;
    }
    EXPECT_EQ(a[1]["core:label"], "slot 1: packet 1 (DRC 12, MAC 7)");
    EXPECT_EQ(a[6]["core:label"], "slot 6: packet 2 (DRC 4, MAC 9)");
    EXPECT_EQ(a[6]["tolvane:packet"]["row"], 2);
    EXPECT_EQ(a[6]["tolvane:packet"]["startSlot"], 2);
    EXPECT_EQ(a[6]["tolvane:packet"]["drc"], 4);
    EXPECT_EQ(a[6]["tolvane:packet"]["macIndex"], 9);
    EXPECT_EQ(a[5]["core:label"], "slot 5");
}

// Little-endian by default; big-endian words are the same words with their
// two bytes swapped; the largest component is full scale either way.
TEST(Sigmf, BothByteOrdersHoldTheSameWords) {
    TempDir dir;
    SigmfExport e = exportAt(2);
    writeSigmf(dir.file("le"), e);
    e.datatype = SigmfDatatype::Ci16Be;
    writeSigmf(dir.file("be"), e);
    const std::string le = readAll(dir.file("le.sigmf-data"));
    const std::string be = readAll(dir.file("be.sigmf-data"));
    EXPECT_EQ(nlohmann::json::parse(readAll(dir.file("le.sigmf-meta")))["global"]["core:datatype"], "ci16_le");
    EXPECT_EQ(nlohmann::json::parse(readAll(dir.file("be.sigmf-meta")))["global"]["core:datatype"], "ci16_be");
    ASSERT_EQ(le.size(), e.waveform.size() * 4);
    ASSERT_EQ(be.size(), le.size());
    auto word = [](const std::string& d, std::size_t i, bool big) {
        const auto hi = static_cast<unsigned char>(d[2 * i + (big ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(d[2 * i + (big ? 1 : 0)]);
        return static_cast<int>(static_cast<std::int16_t>((hi << 8) | lo));
    };
    int peak = 0;
    for (std::size_t i = 0; i < le.size() / 2; ++i) {
        ASSERT_EQ(word(le, i, false), word(be, i, true)) << i;
        peak = std::max(peak, std::abs(word(le, i, false)));
    }
    EXPECT_EQ(peak, 32767);
    // The first sample is (1, 0): its I word read in the stated byte order
    // is 32767 over the largest component.
    double largest = 0;
    for (const auto& z : e.waveform) largest = std::max({largest, std::abs(z.real()), std::abs(z.imag())});
    EXPECT_NEAR(word(le, 0, false), 32767 / largest, 1);
    EXPECT_EQ(word(le, 1, false), 0);

    EXPECT_EQ(sigmfDatatypeName(SigmfDatatype::Ci16Le), std::string("ci16_le"));
    EXPECT_EQ(sigmfDatatypeNamed("ci16_be"), SigmfDatatype::Ci16Be);
    EXPECT_EQ(sigmfDatatypeNamed("ci16"), std::nullopt);
}

// The runtime's file writers name the file asked for and the reason.
TEST(Sigmf, FileWritersNameTheFileAndWhyItCannotBeWritten) {
    TempDir dir;
    const std::string folder = dir.file("nope");
    const std::string why = ": the folder \"" + folder + "\" does not exist.";
    auto messageOf = [](const std::function<void()>& write) -> std::string {
        try {
            write();
        } catch (const Error& e) {
            return e.what();
        }
        return "(no error)";
    };
    Record vars;
    vars.set("x", Value::scalar(1));
    EXPECT_EQ(messageOf([&] { writeMatFile(folder + "/a.mat", vars); }),
              "Cannot write \"" + folder + "/a.mat\"" + why);
    EXPECT_EQ(messageOf([&] { writeSigmf(folder + "/rec", exportAt(2)); }),
              "Cannot write \"" + folder + "/rec.sigmf-meta\"" + why);
    const FrameConfig config = defaultFrameConfig();
    EXPECT_EQ(messageOf([&] { saveParameterFile(folder + "/p.mat", config, defaultSigGenSettings(config)); }),
              "Cannot write \"" + folder + "/p.mat\"" + why);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace tolvane
