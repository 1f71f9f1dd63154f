// The simulated instrument: header matching, strict download parsing, the
// play commands, the error queue.
#include <gtest/gtest.h>

#include "instrument/jobs.hpp"
#include "instrument/scpi_block.hpp"
#include "instrument/simulator.hpp"

namespace tolvane {
namespace {

TEST(ScpiHeader, LongShortAndOptionalNodes) {
    struct Case {
        const char* pattern;
        const char* header;
        bool match;
    } cases[] = {
        {"[:SOURce]:RADio:ARB[:STATe]", ":SOUR:RAD:ARB:STATe?", true},
        {"[:SOURce]:RADio:ARB[:STATe]", ":source:rad:arb:state", true},
        {"[:SOURce]:RADio:ARB[:STATe]", ":RADIO:ARB", true},
        {"[:SOURce]:RADio:ARB[:STATe]", ":SOURC:RAD:ARB", false},  // neither form
        {"[:SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]", ":source:power:level:immediate:amplitude", true},
        {"[:SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]", ":POW:AMPL", true},
        {"[:SOURce]:DM:IQATtenuation:AUTO", ":source:DM:IQAT:AUTO", true},
        {":OUTPut:MODulation[:STATe]", ":OUTPUT:MOD", true},
        {":OUTPut[:STATe]", ":OUTPUT:MOD", false},
        {":SYSTem:ERRor[:NEXT]", ":SYST:ERR?", true},
    };
    for (const Case& c : cases) EXPECT_EQ(scpiHeaderMatches(c.pattern, c.header), c.match) << c.pattern << " " << c.header;
}

struct Fixture {
    SimulatedInstrument instrument;
    CommandStream stream{instrument};
    std::string replies;
    void feed(const std::string& bytes) { stream.feed(bytes.data(), bytes.size(), replies); }
    std::string nextError() {
        std::string r;
        instrument.execute(":SYST:ERR?", r);
        return r;
    }
};

std::string download(const std::string& kind, const std::string& name, const std::string& body,
                     const std::string& end = "\n") {
    return ":MMEM:DATA \"" + kind + ":" + name + "\"," + blockHeader(body.size()) + body + end;
}

TEST(SimulatedInstrument, StoresSamplesThenMarkersByName) {
    Fixture f;
    const std::string samples("\x7F\xFF\x00\x01\n\n\x80\x01", 8);  // line feeds inside the block are data
    f.feed(download("WFM1", "My wave", samples));
    ASSERT_EQ(f.instrument.waveforms().count("My wave"), 1u);
    EXPECT_EQ(f.instrument.waveforms().at("My wave").samples, samples);
    EXPECT_EQ(f.instrument.waveforms().at("My wave").markers, std::string(2, '\0'));
    f.feed(download("MKR1", "My wave", std::string("\x01\x03", 2)));
    EXPECT_EQ(f.instrument.waveforms().at("My wave").markers, std::string("\x01\x03", 2));
    // A new sample download resets the markers.
    f.feed(download("WFM1", "My wave", samples));
    EXPECT_EQ(f.instrument.waveforms().at("My wave").markers, std::string(2, '\0'));
    EXPECT_EQ(f.nextError(), "+0,\"No error\"\n");
    EXPECT_EQ(f.instrument.log().front(), ":MMEM:DATA \"WFM1:My wave\",#18<8 bytes>");
}

TEST(SimulatedInstrument, RefusesMalformedDownloads) {
    struct Case {
        std::string bytes;
        const char* error;
    } cases[] = {
        {download("MKR1", "none", "\x01"), "-221,\"Settings conflict; markers for \"none\" before its samples\""},
        {download("WFM1", "w", "abc"), "-161,\"Invalid block data; waveform of 3 bytes is not 4 bytes per sample\""},
        {download("WFM1", "w", "abcd", "X\n"), "-161,\"Invalid block data; block of 4 bytes followed by X instead of a line feed\""},
        {":MMEM:DATA \"WFM1:w\",#0abcd\n", "-161,\"Invalid block data; length digit 0 (1 to 9 expected)\""},
        {":MMEM:DATA \"WFM1:w\",#2x4abcd\n", "-161,\"Invalid block data; byte count holds x\""},
        {":MMEM:DATA \"XYZ1:w\",#14abcd\n", "-256,\"File name not found; XYZ1:w\""},
        {":bogus:command 1\n", "-113,\"Undefined header; :bogus:command\""},
        {":source:freq:fix twelve\n", "-224,\"Illegal parameter value\""},
        {" :source:rad:arb:wav \"arbi:missing\" \n", "-256,\"File name not found; arbi:missing\""},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.feed(download("WFM1", "ok", "abcd"));
        f.feed(c.bytes);
        EXPECT_EQ(f.nextError(), std::string(c.error) + "\n") << shownText(c.bytes);
        // The stream is back in step: the next command is understood.
        f.feed("*OPC?\n");
        EXPECT_EQ(f.replies.substr(f.replies.size() - 2), "1\n") << shownText(c.bytes);
    }
    // A block beyond the limit is skipped unread, without storing it.
    Fixture huge;
    huge.feed(":MMEM:DATA \"WFM1:w\",#9999999999" + std::string(1000, 'x'));
    EXPECT_TRUE(huge.stream.inBlock());
    EXPECT_EQ(huge.nextError(),
              "-161,\"Invalid block data; block of 999999999 bytes is larger than the 268435456 accepted\"\n");
    Fixture bits;
    bits.feed(download("WFM1", "w", "abcd"));
    bits.feed(download("MKR1", "w", "\x04"));
    EXPECT_EQ(bits.nextError(), "-161,\"Invalid block data; marker byte with bits other than 0 and 1\"\n");
    Fixture count;
    count.feed(download("WFM1", "w", "abcdefgh"));
    count.feed(download("MKR1", "w", "\x01"));
    EXPECT_EQ(count.nextError(), "-161,\"Invalid block data; 1 marker bytes for 2 samples\"\n");
}

TEST(SimulatedInstrument, AcceptsBothPlayListsAndKeepsTheirSettings) {
    Fixture f;
    f.feed(download("WFM1", "Title with blanks", "abcd"));
    SigGenSettings s;
    s.Frequency = 1.5e9;
    s.Amplitude = -12.5;
    s.BBfilter = 2;
    s.ALC = 1;
    s.RFblanking = 1;
    s.MarkerPolarity = 1;
    s.ArbRefSource = 1;
    s.ModAtten = 3.25;
    for (const auto& list : {playCommands("Title with blanks", s), playCommands_c("Title with blanks", s)})
        for (const std::string& command : list) f.feed(command + "\n");
    EXPECT_EQ(f.nextError(), "+0,\"No error\"\n");
    const InstrumentSettings& st = f.instrument.settings();
    EXPECT_TRUE(st.arbOn && st.output && st.modulation && st.alc && st.rfBlanking);
    EXPECT_EQ(st.arbWaveform, "ARBI:Title with blanks");
    EXPECT_EQ(st.frequency, 1.5e9);
    EXPECT_EQ(st.amplitude, -12.5);
    EXPECT_EQ(st.sampleRate, 6144000);
    EXPECT_EQ(st.bbFilter, "40000000");
    EXPECT_EQ(st.runtimeScaling, 95);
    EXPECT_FALSE(st.iqAttenuationAuto);
    EXPECT_EQ(st.iqAttenuation, 3.25);
    EXPECT_EQ(st.markerPolarity, "NEGATIVE");
    EXPECT_EQ(st.clockReference, "EXTERNAL");
    EXPECT_EQ(st.reconstructionFilter, "THROUGH");
    std::string r;
    f.instrument.execute(":SOUR:RAD:ARB:STATe?", r);
    f.instrument.execute("*IDN?", r);
    EXPECT_EQ(r, "1\nTolvane,Simulated Signal Generator,US00000001,1.0\n");
}

TEST(SimulatedInstrument, ErrorQueueIsBounded) {
    Fixture f;
    for (int k = 0; k < 40; ++k) f.feed("nonsense\n");
    EXPECT_EQ(f.instrument.errors().size(), 32u);
    EXPECT_EQ(f.instrument.errors().back(), "-350,\"Queue overflow\"");
    std::string longLine(5000, 'x');
    f.feed("*CLS\n" + longLine + "\n*OPC?\n");
    EXPECT_EQ(f.nextError(), "-223,\"Too much data; command line longer than 4096 bytes\"\n");
}

}  // namespace
}  // namespace tolvane
