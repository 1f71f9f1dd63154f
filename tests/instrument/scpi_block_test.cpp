// The byte forms of a download and the reader of instrument replies,
// including a bounded mutation run over the reply reader and the
// simulator's command parser.
#include <gtest/gtest.h>

#include <random>

#include "instrument/scpi_block.hpp"
#include "instrument/simulator.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int x : b) s.push_back(static_cast<char>(x));
    return s;
}

TEST(DownloadBytes, BlockHeaderCarriesTheDigitCount) {
    EXPECT_EQ(blockHeader(0), "#10");
    EXPECT_EQ(blockHeader(8), "#18");
    EXPECT_EQ(blockHeader(655360), "#6655360");
    EXPECT_EQ(blockHeader(999999999), "#9999999999");
}

TEST(DownloadBytes, SamplesNormalisedTo32767BigEndianIThenQ) {
    struct Case {
        std::vector<cplx> iq;
        std::string words;
    } cases[] = {
        // Peak 1 -> 32767 (7F FF); -0.5 -> -16383.5 -> -16384 (C0 00): halves away from zero.
        {{cplx(1, -0.5), cplx(0.25, 0)}, bytes({0x7F, 0xFF, 0xC0, 0x00, 0x20, 0x00, 0x00, 0x00})},
        // Constant envelope is scaled too.
        {{cplx(3, -3), cplx(-3, 3)}, bytes({0x7F, 0xFF, 0x80, 0x01, 0x80, 0x01, 0x7F, 0xFF})},
        // All zero stays zero.
        {{cplx(0, 0)}, bytes({0, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        std::string out, why;
        ASSERT_TRUE(appendWaveformWords(c.iq, out, why)) << why;
        EXPECT_EQ(out, c.words);
    }
    std::string out, why;
    EXPECT_FALSE(appendWaveformWords({cplx(1, 0), cplx(0, std::nan(""))}, out, why));
    EXPECT_EQ(why, "sample 2 of the waveform is not a finite number (NaN)");
}

TEST(DownloadBytes, MarkerBitsPerSample) {
    // Column-major 2 x 4: marker 1 in row 1 (bit 0), marker 2 in row 2 (bit 1).
    const MarkerMatrix m{2, 4, {1, 0, 0, 1, 1, 1, 0, 0}};
    std::string out, why;
    ASSERT_TRUE(appendMarkerBytes(m, 4, out, why)) << why;
    EXPECT_EQ(out, bytes({1, 2, 3, 0}));
    out.clear();
    EXPECT_FALSE(appendMarkerBytes(m, 5, out, why));
    EXPECT_NE(why.find("2 rows of 5 values"), std::string::npos) << why;
    EXPECT_FALSE(appendMarkerBytes(MarkerMatrix{3, 4, std::vector<double>(12)}, 4, out, why));
}

TEST(ReplyReader, LinesAndBlocks) {
    struct Case {
        std::string input;
        ReplyReader::State state;
        std::string reply;
        std::size_t used;
    } cases[] = {
        {"1\n", ReplyReader::State::Done, "1", 2},
        {"+0,\"No error\"\r\nrest", ReplyReader::State::Done, "+0,\"No error\"", 15},
        {"partial", ReplyReader::State::NeedMore, "partial", 7},
        {std::string("#14a\nb\x00\n", 8), ReplyReader::State::Done, std::string("#14a\nb\x00", 7), 8},
        {"#10\n", ReplyReader::State::Done, "#10", 4},
        {"#0abc\n", ReplyReader::State::Failed, "#", 1},
        {"#2x", ReplyReader::State::Failed, "#2", 2},
        {"#14abcdX", ReplyReader::State::Failed, "#14abcd", 8},
    };
    for (const Case& c : cases) {
        ReplyReader r;
        EXPECT_EQ(r.feed(c.input.data(), c.input.size()), c.used) << shownText(c.input);
        EXPECT_EQ(r.state(), c.state) << shownText(c.input);
        EXPECT_EQ(r.reply(), c.reply) << shownText(c.input);
    }
}

TEST(ReplyReader, SizesCheckedBeforeStoring) {
    ReplyReader small(8, 100);
    const std::string longLine(20, 'x');
    small.feed(longLine.data(), longLine.size());
    EXPECT_EQ(small.state(), ReplyReader::State::Failed);
    EXPECT_LE(small.reply().size(), 8u);

    ReplyReader r(8, 100);
    const std::string huge = "#9999999999";
    r.feed(huge.data(), huge.size());
    EXPECT_EQ(r.state(), ReplyReader::State::Failed);
    EXPECT_NE(r.error().find("999999999 bytes"), std::string::npos) << r.error();
    EXPECT_LT(r.reply().capacity(), 1000u);
}

TEST(ReplyReader, ByteByByteEqualsAllAtOnce) {
    const std::string input = "#212hello\nworld!\n";
    ReplyReader whole, split;
    whole.feed(input.data(), input.size());
    for (char ch : input) split.feed(&ch, 1);
    EXPECT_EQ(whole.state(), ReplyReader::State::Done);
    EXPECT_EQ(split.reply(), whole.reply());
}

// Seeded mutations of valid replies and downloads: the readers never crash,
// never store more than their limits, and always end in a defined state.
TEST(ParserMutation, ReadersStayWithinTheirLimits) {
    const std::vector<std::string> seeds = {
        "1\n", "+0,\"No error\"\n", "#15abcde\n", "#3000\n",
        ":MMEM:DATA \"WFM1:a\",#18\x7F\xFF\x00\x00\x00\x01\x80\x01\n:MMEM:DATA \"MKR1:a\",#12\x01\x02\n*OPC?\n",
        " :source:rad:arb:wav \"arbi:a\" \n:SYST:ERR?\n*IDN?\n"};
    std::mt19937 gen(20240501);
    for (int iter = 0; iter < 3000; ++iter) {
        std::string s = seeds[gen() % seeds.size()];
        const int edits = 1 + static_cast<int>(gen() % 6);
        for (int e = 0; e < edits && !s.empty(); ++e) {
            const std::size_t at = gen() % s.size();
            switch (gen() % 4) {
            case 0: s[at] = static_cast<char>(gen()); break;
            case 1: s.insert(at, 1, "#0123456789\n\""[gen() % 13]); break;
            case 2: s.erase(at, 1); break;
            default: s.insert(at, std::string(gen() % 12, '9')); break;
            }
        }
        ReplyReader r(64, 1000);
        std::size_t at = 0;
        while (at < s.size() && r.state() == ReplyReader::State::NeedMore) {
            const std::size_t piece = std::min<std::size_t>(1 + gen() % 7, s.size() - at);
            at += r.feed(s.data() + at, piece);
        }
        EXPECT_LE(r.reply().size(), 1000u + 12u);

        SimulatorOptions options;
        options.maxBlockBytes = 1000;
        SimulatedInstrument instrument(options);
        CommandStream stream(instrument);
        std::string replies;
        for (std::size_t k = 0; k < s.size(); k += 5) stream.feed(s.data() + k, std::min<std::size_t>(5, s.size() - k), replies);
        EXPECT_LE(instrument.errors().size(), 32u);
        for (const auto& [name, w] : instrument.waveforms()) {
            EXPECT_LE(w.samples.size(), 1000u);
            EXPECT_EQ(w.markers.size() * 4, w.samples.size());
        }
    }
}

}  // namespace
}  // namespace tolvane
