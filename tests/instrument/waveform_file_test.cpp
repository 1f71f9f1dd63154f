// The instrument's 16-bit interleaved I/Q waveform file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "instrument/waveform_file.hpp"
#include "numerics/diagnostics.hpp"
#include "../support/temp_dir.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

TEST(InstrumentWaveformWords, LargestComponentScalesTo32766) {
    struct Case {
        std::vector<cplx> wave;
        double scale;
        std::vector<std::int16_t> words;
    } cases[] = {
        {{cplx(1, -0.5), cplx(0.25, 0)}, 1, {32766, -16383, 8192, 0}},
        {{cplx(-2, 1)}, 1, {-32766, 16383}},
        {{cplx(1, -0.5), cplx(0.25, 0)}, 2, {32766, -16383, 8192, 0}},  // scale clamped to 1
        {{cplx(1, -0.5)}, 0.5, {16383, -8192}},                          // 8191.5 rounds away from zero
        {{cplx(1, -0.5)}, 0, {0, 0}},                                    // 0.00001: 0.33 and -0.16 round to 0
        {{cplx(3, -3), cplx(-3, 3)}, 1, {3, -3, -3, 3}},                 // all one magnitude: not scaled
        {{}, 1, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(instrumentWaveformWords(c.wave, c.scale), c.words);
}

TEST(InstrumentWaveformFile, BigEndianWordsWrittenWhole) {
    const testing_support::TempDir dir;
    const auto path = dir.file("wave.bin");
    writeInstrumentWaveformFile(path, {cplx(1, -0.5), cplx(0.25, 0)});
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, std::string("\x7F\xFE\xC0\x01\x20\x00\x00\x00", 8));
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

    try {
        writeInstrumentWaveformFile(dir.file("missing/wave.bin"), {cplx(1, 0)});
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("wave.bin"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace tolvane
