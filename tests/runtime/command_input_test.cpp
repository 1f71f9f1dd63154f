// Command-line inputs: matrix literals and user data files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/diagnostics.hpp"
#include "runtime/matrix_literal.hpp"
#include "runtime/user_data_file.hpp"
#include "../support/temp_dir.hpp"

namespace tolvane {
namespace {

TEST(MatrixLiteral, ParsesScalarsRowsAndMatrices) {
    EXPECT_EQ(parseMatrixLiteral("-10"), Value::scalar(-10));
    EXPECT_EQ(parseMatrixLiteral(" 1e-3 "), Value::scalar(1e-3));
    EXPECT_EQ(parseMatrixLiteral("[1 2 3]"), Value::row({1, 2, 3}));
    EXPECT_EQ(parseMatrixLiteral("[1, 2,3]"), Value::row({1, 2, 3}));
    // Column-major storage: [1 0; 2 3] is 1 2 0 3.
    EXPECT_EQ(parseMatrixLiteral("[1 0; 2 3]"), Value::matrix(2, 2, {1, 2, 0, 3}));
    EXPECT_EQ(parseMatrixLiteral("[1;2;3;]"), Value::column({1, 2, 3}));
    EXPECT_EQ(parseMatrixLiteral("[]"), Value::empty());
}

TEST(MatrixLiteral, RejectsWhatIsNotANumberList) {
    for (const char* text : {"", "abc", "[1 2", "1 2", "[1 2; 3]", "[1 x]", "3;4", "[1,,2a]"}) {
        try {
            parseMatrixLiteral(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("\"") + text + "\""), std::string::npos) << e.what();
        }
    }
}

TEST(UserDataBits, BitOrdersAndLimits) {
    const std::string bytes("\x01\x80", 2);
    const std::vector<double> lsbFirst = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const std::vector<double> msbFirst = {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(bytesToBits(bytes, 102400, "right-msb"), lsbFirst);
    EXPECT_EQ(bytesToBits(bytes, 102400, "left-msb"), msbFirst);
    EXPECT_EQ(bytesToBits(bytes, 3, "right-msb"), (std::vector<double>{1, 0, 0}));
    EXPECT_TRUE(bytesToBits(bytes, 0, "right-msb").empty());
}

TEST(UserDataBits, ReadsOnlyWhatTheLimitNeedsAndNamesUnreadableFiles) {
    const testing_support::TempDir dir;
    const std::filesystem::path path = dir.file("user_bits.bin");
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 20000; ++i) out.put(static_cast<char>(0xFF));
    }
    EXPECT_EQ(readUserDataBits(path.string(), 102400).size(), 102400u);
    EXPECT_EQ(readUserDataBits(path.string(), 20).size(), 20u);
    std::filesystem::remove(path);
    try {
        readUserDataBits(path.string(), 8);
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos);
    }
}

}  // namespace
}  // namespace tolvane
