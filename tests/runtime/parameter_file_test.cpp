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
