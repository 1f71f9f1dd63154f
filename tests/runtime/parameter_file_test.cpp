// Parameter files: written and read back, and the checks made on opening.
#include <gtest/gtest.h>


#include "base/diagnostics.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/parameter_file.hpp"
#include "runtime/parameters_value.hpp"
#include "../support/temp_dir.hpp"

namespace tolvane {
namespace {

class ParameterFileTest : public ::testing::Test {
protected:
    std::string file(const char* name) const { return dir.file(name); }

    std::string openError(const std::string& path) {
        try {
            loadParameterFile(path);
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }

    testing_support::TempDir dir;
};

TEST_F(ParameterFileTest, SavedFileOpensWithTheSameRecords) {
    FrameConfig config = defaultFrameConfig();
    config.OverSampling = 8;
    config.slot.RPCslotGain[3][10] = 41.5;  // normalised RPC levels may pass +-30 dB
    const Value settings = defaultSigGenSettings(config);
    saveParameterFile(file("a.mat"), config, settings);

    const ParameterFile back = loadParameterFile(file("a.mat"));
    EXPECT_EQ(parametersToValue(back.parameters), parametersToValue(config));
    EXPECT_EQ(back.sigGenParameters, settings);
    EXPECT_EQ(readMatFile(file("a.mat")).at("filename"), Value::text(file("a.mat")));
}

TEST_F(ParameterFileTest, FrameLengthAndPacketsAreStoredAndOlderFilesLoadWithout) {
    FrameConfig config = defaultFrameConfig();
    config.Mode = 3;
    config.FrameSlots = 64;
    config.Packets = {{1, 7, 17}, {2, 12, 9}, {3, 1, 3}};
    config.ProjectedLength = projectedLength(config);
    saveParameterFile(file("packets.mat"), config, defaultSigGenSettings(config));
    const ParameterFile back = loadParameterFile(file("packets.mat"));
    EXPECT_EQ(parametersToValue(back.parameters), parametersToValue(config));
    const Value stored = readMatFile(file("packets.mat")).at("fileParameters");
    EXPECT_EQ(stored.field("FrameSlots"), Value::scalar(64));
    EXPECT_EQ(stored.field("Packets"), Value::matrix(3, 3, {1, 2, 3, 7, 12, 1, 17, 9, 3}));

    // A file written before the two fields existed (the fuzz corpus keeps
    // one) opens with 16 slots and no packets.
    const ParameterFile older = loadParameterFile(TOLVANE_TEST_DATA_DIR "/../fuzz/corpus/parameter_file/default.mat");
    EXPECT_FALSE(readMatFile(TOLVANE_TEST_DATA_DIR "/../fuzz/corpus/parameter_file/default.mat")
                     .at("fileParameters")
                     .hasField("FrameSlots"));
    EXPECT_EQ(older.parameters.FrameSlots, 16);
    EXPECT_TRUE(older.parameters.Packets.empty());

    // Packets that do not fit the stored frame length are refused on opening.
    config.FrameSlots = 16;
    saveParameterFile(file("long.mat"), config, defaultSigGenSettings(config));
    EXPECT_EQ(openError(file("long.mat")),
              file("long.mat") + "\nholds a setting the application cannot use: Packets row 3 (DRC 1 from slot 3) "
                                 "needs slots up to 63; the frame has 16.");
}

TEST_F(ParameterFileTest, OpeningChecksKindStructureIdAndRanges) {
    Record other;
    other.set("samples", Value::row({1, 2}));
    writeMatFile(file("other.mat"), other);
    EXPECT_EQ(openError(file("other.mat")), file("other.mat") + "\nhas an Invalid File Format.");

    Record noId;
    noId.set("fileParameters", Value::record());
    writeMatFile(file("noid.mat"), noId);
    EXPECT_EQ(openError(file("noid.mat")),
              file("noid.mat") + "\nhas an Invalid File Structure: parameters.ParameterFileFormat_ID is missing.");

    FrameConfig config = defaultFrameConfig();
    config.ParameterFileFormat_ID = "OneX-Fwd - Format 1.1";
    saveParameterFile(file("old.mat"), config, defaultSigGenSettings(config));
    EXPECT_EQ(openError(file("old.mat")), file("old.mat") + "\nhas an Invalid File Parameter ID.");

    config = defaultFrameConfig();
    config.OverSampling = 1000;
    saveParameterFile(file("huge.mat"), config, defaultSigGenSettings(config));
    const std::string huge = openError(file("huge.mat"));
    EXPECT_NE(huge.find("parameters.OverSampling value 1000"), std::string::npos) << huge;
    EXPECT_NE(huge.find("whole numbers 2 to 30"), std::string::npos) << huge;

    EXPECT_NE(openError(file("missing.mat")).find(file("missing.mat")), std::string::npos);
}

}  // namespace
}  // namespace tolvane
