// The instrument's 16-bit interleaved I/Q waveform file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

#include "instrument/waveform_file.hpp"
#include "base/diagnostics.hpp"
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
        {{cplx(3, -3), cplx(-3, 3)}, 1, {32766, -32766, -32766, 32766}}, // constant envelope: scaled as well
        {{cplx(0, 0), cplx(0, 0)}, 1, {0, 0, 0, 0}},                     // no peak: zero words
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

// The word conversion rounds exactly as the scaled value through std::round
// would, including values that land on a half.
TEST(InstrumentWaveformWords, RoundingMatchesRoundHalfAwayFromZero) {
    std::mt19937_64 gen(11);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<cplx> wave(5000);
    for (auto& z : wave) z = cplx(u(gen), u(gen));
    wave[0] = cplx(1, 0);  // the peak
    wave[1] = cplx(0.5 / 32766.0, -0.5 / 32766.0);  // on a half after scaling (up to rounding of the scale)
    wave[2] = cplx(2.5 / 32766.0, -1.5 / 32766.0);
    for (double scale : {1.0, 0.95, 0.3}) {
        const auto words = instrumentWaveformWords(wave, scale);
        for (std::size_t k = 0; k < wave.size(); ++k) {
            EXPECT_EQ(words[2 * k], std::round(wave[k].real() / 1.0 * 32766.0 * scale)) << k;
            EXPECT_EQ(words[2 * k + 1], std::round(wave[k].imag() / 1.0 * 32766.0 * scale)) << k;
        }
    }
}

TEST(InstrumentWaveformWords, NonFiniteComponentsAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::vector<cplx> wave;
        const char* expect;
    } cases[] = {
        {{cplx(1, 0), cplx(nan, 0)}, "Sample 2 of the waveform is not a finite number (NaN)"},
        {{cplx(0, -inf)}, "Sample 1 of the waveform is not a finite number (-Inf)"},
    };
    for (const auto& c : cases) {
        try {
            instrumentWaveformWords(c.wave, 1.0);
            ADD_FAILURE() << c.expect;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.expect), std::string::npos) << e.what();
        }
    }
    // Large components are scaled down like any others.
    EXPECT_EQ(instrumentWaveformWords({cplx(-40000, 20000)}, 1.0), (std::vector<std::int16_t>{-32766, 16383}));
}

}  // namespace
}  // namespace tolvane
