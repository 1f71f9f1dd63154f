// Calls by name with arguments that would take minutes or gigabytes, wrap
// around, or hide what is wrong: each is refused at once, and the refusal
// names the argument and what it may be.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "runtime/json_value.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

// A JSON row of n copies of `item`.
std::string row(std::size_t n, const char* item) {
    std::string s = "[";
    for (std::size_t i = 0; i < n; ++i) {
        if (i) s += ",";
        s += item;
    }
    return s + "]";
}

// A record with the fields the traffic channel reads, plus `extra`.
std::string trafficRecord(const std::string& extra) {
    return "{\"modulationType\":1,\"modulationSymbolsRequired\":16" + (extra.empty() ? "" : "," + extra) + "}";
}

struct HostileCall {
    std::string function;
    std::vector<std::string> args;  // JSON, as `tolvane call` reads them
    std::string fragment;           // part of the refusal
};

void PrintTo(const HostileCall& c, std::ostream* os) { *os << c.function << " -> " << c.fragment; }

class HostileCalls : public ::testing::TestWithParam<HostileCall> {};

TEST_P(HostileCalls, AreRefusedAtOnceNamingTheArgument) {
    const HostileCall& c = GetParam();
    std::vector<Value> args;
    for (const std::string& json : c.args) args.push_back(parseJsonValue(json));
    const auto start = std::chrono::steady_clock::now();
    std::string message = "no error";
    try {
        callByName(c.function, 1, std::move(args));
    } catch (const RuntimeError& e) {
        message = e.what();
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_NE(message.find(c.fragment), std::string::npos) << message;
    EXPECT_NE(message.find("File: " + c.function), std::string::npos) << message;
    EXPECT_LT(took.count(), 0.5);
}

INSTANTIATE_TEST_SUITE_P(
    ByName, HostileCalls,
    ::testing::Values(
        // Whole numbers never wrap, sizes multiply into a bounded result.
        HostileCall{"upsample", {"[1,2,3]", "4294967298"}, "\"n\" = 4294967298 must be a whole number from 1 to 16777216."},
        HostileCall{"upsample", {"[1,2,3]", "1e7"}, "\"n\" asks for 30000000 elements; a result holds at most 16777216."},
        HostileCall{"upsampleMarker", {"[1,0]", "-1"}, "\"ratio\" = -1 must be a whole number from 0 to 16777216."},
        HostileCall{"OneX_Repeat", {"[1,2,3,4]", "1e7"}, "\"factor\" asks for 40000000 elements"},
        HostileCall{"OneX_FwdTrfRepSeq", {"[1]", "1e9"}, "\"reqLength\" = 1000000000 exceeds the limit of 16777216."},
        HostileCall{"extendVector", {"[1,0]", "1e12"}, "\"reqLength\" = 1000000000000 exceeds the limit of 16777216."},
        HostileCall{"OneX_WalshCover", {row(5000, "1"), row(5000, "1")}, "\"code\" asks for 25000000 elements"},
        HostileCall{"OneX_WalshMatrix", {"1e6"}, "Walsh index = 1000000 asks for a table larger than 4096 x 4096."},
        HostileCall{"OneX_PNiSequence", {"1000"}, "\"reps\" = 1000 exceeds the limit of 512."},
        HostileCall{"OneX_PNqSequence", {"\"-Inf\""}, "\"reps\" must be a finite number, not -Inf."},
        HostileCall{"OneX_FwdIdleSlot", {"1", "-10", "1e9"}, "\"NumberOfChips\" = 1000000000 exceeds the limit of 16777216."},
        HostileCall{"OneX_FwdIdleSlot", {"0", "-10", "1e9"}, "\"NumberOfChips\" = 1000000000 exceeds the limit of 16777216."},
        HostileCall{"GenerateBitStream", {"1", "1e9"}, "\"len\" = 1000000000 exceeds the limit of 16777216."},
        HostileCall{"GenerateBitStream", {"{\"re\":1,\"im\":1}", "5"}, "\"type\" must be a real number, not complex"},
        HostileCall{"PNgenerator", {"9", "1e9"}, "dataLength = 1000000000 exceeds the longest sequence of 16777216 bits."},
        HostileCall{"PNgenerator", {"{\"re\":9,\"im\":1}", "10"}, "\"n\" must be a real number, not complex"},
        HostileCall{"lfsr", {"1024", row(1024, "0"), "1e7", row(1024, "1")},
                    "\"m\" = 10000000 exceeds the limit of 1048576 outputs for a register of order 1024"},
        HostileCall{"lfsr", {"1025", "[1]", "5", "[1]"}, "\"order\" = 1025 must be a whole number from 0 to 1024."},
        HostileCall{"wgn", {"20000", "20000", "0"}, "\"m\" x \"n\" = 20000 x 20000 exceeds the limit of 16777216 elements."},
        HostileCall{"wgn", {"2", "2", "0", "\"dBX\""},
                    "Unknown option \"dBX\" of wgn: the options are \"dBW\", \"dBm\", \"linear\", \"real\" and \"complex\"."},
        HostileCall{"OneX_FwdSymbolPermuter", {"[1,2]", "1e10", "1", "\"U\""},
                    "\"k\" = 10000000000 must be a whole number from 1 to 16777216."},
        HostileCall{"reverseBits", {"8", "3"}, "\"n\" = 8 must be a whole number from 0 to 2^3 - 1."},
        HostileCall{"reverseBits", {"1", "63"}, "\"len\" = 63 must be a whole number from 0 to 62."},
        HostileCall{"circularShift", {"[1,2,3]", "1.5"}, "\"amount\" = 1.5 must be a whole number."},

        // Oversampling: 1 .. 64 by name, 2 .. 64 for the equiripple designs.
        HostileCall{"OneX_FwdPhaseEq", {"[1,2,3]", "1e9"}, "\"oversamplingRate\" = 1000000000 must be a whole number from 1 to 64."},
        HostileCall{"FilterCoeff_IS95_Std", {"2000"}, "\"oversmpl\" = 2000 must be a whole number from 2 to 64."},
        HostileCall{"FilterCoeff_IS95_Std", {"1e9"}, "\"oversmpl\" = 1000000000 must be a whole number from 2 to 64."},
        HostileCall{"FilterCoeff_IS95_Acp", {"1"}, "\"oversmpl\" = 1 must be a whole number from 2 to 64."},
        HostileCall{"OneX_BasebandFilter", {"[1,0,0,0]", "100000", "2"},
                    "\"oversamplingRate\" = 100000 must be a whole number from 2 to 64."},
        HostileCall{"OneX_BasebandFilter", {"[1,0,0,0]", "2", "{\"re\":3,\"im\":1}"},
                    "\"filterType\" must be a real number, not complex (imaginary part 1)."},
        HostileCall{"OneX_FwdChnFrame",  // an unmodulated frame reads no slot inputs
                    {"2", "0", "[]", "[]", "[]", "[]", "[]", "[]", "[]", "[]", "[]", "[]", "0", "0", "1e6", "3", "0", "0"},
                    "\"oversamplingRate\" = 1000000 must be a whole number from 2 to 64."},

        // Filter designs whose cost grows with a power of their length.
        HostileCall{"interp", {"[1,2,3,4,5,6,7,8,9,10]", "1e8"},
                    "Resampling rate R = 100000000 would make 1000000000 samples; the limit is 16777216."},
        HostileCall{"interp", {"[1,2,3,4,5,6,7,8,9,10]", "2", "4294967300"},
                    "\"l\" = 4294967300 must be a whole number from 1 to 64."},
        HostileCall{"createRealFIR", {"20001", "[1,2,3]", "[1,1,1]", "10"},
                    "\"n\" = 20001 must be a whole number of at most 1023."},
        HostileCall{"freq2fir", {"4097", "[1,2,3]", "[1,1,1]", "10"}, "\"n\" = 4097 must be a whole number of at most 1023."},
        HostileCall{"freq2fir", {"1023", row(6000, "1"), row(6000, "1"), "10"},
                    "\"F\" holds 6000 frequencies; a design of N = 1023 taps takes at most 5000."},
        HostileCall{"bilinear", {"[1]", row(3000, "1"), "1000"},
                    "\"den\" has 3000 coefficients; the bilinear transform takes at most 64."},
        HostileCall{"eqlrfilt", {"100"}, "the sample rate Fs = 100 must be a finite number above 1000000 Hz"},

        // Refusals that used to hide which argument was wrong.
        HostileCall{"OneX_TurboCoder", {"[]", "0.3333333333333333"},
                    "\"input\" holds 0 bits; the turbo interleaver takes 129 to 4096."},
        HostileCall{"OneX_TurboInterleaver", {"[1,0]"}, "\"input\" holds 2 bits"},
        HostileCall{"createRealFIR", {"11", "[]", "[]", "1"}, "\"F\" must be either a 1xN or a Nx1 matrix, not 0 x 0."},
        HostileCall{"OneX_FwdScrambler", {"[1,0]", "5", "3"}, "\"modParams\" must be a record, not double."},
        HostileCall{"OneX_FwdScrambler", {"[1,0]", "{\"drcValue\":1.5}", "3"},
                    "\"modParams.drcValue\" = 1.5 must be a whole number of at least 0."},
        HostileCall{"OneX_FwdChannelInterleaver", {"[1]", "5"}, "\"modulationParameters\" must be a record, not double."},
        HostileCall{"OneX_FwdChannelInterleaver", {"[1]", "{\"codeRate\":0.7,\"bits\":1024}"},
                    "\"modulationParameters.codeRate\" = 0.7 is not a code rate: 1, 1/2, 1/3, 1/4 or 1/5."},
        HostileCall{"OneX_FwdEncoder", {"[1]", "5"}, "\"modulationParameters\" must be a record, not double."},
        HostileCall{"OneX_FwdEncoder", {"[1,0,1]", "{\"codeRate\":0.2}"},
                    "\"physicalLayerPacket\" holds 3 bits; the encoder takes 135 to 4102"},
        HostileCall{"OneX_FwdTrfChn", {"[1]", "5", "5", "1", "1", "1"}, "\"modParams\" must be a record, not double."},
        HostileCall{"OneX_FwdTrfChn", {"[1,0]", trafficRecord("\"codeRate\":0.2"), "5", "1", "0", "0"},
                    "\"data\" holds 2 bits; the encoder takes 135 to 4102"},
        HostileCall{"OneX_FwdTrfChn", {"[1,0]", trafficRecord("\"codeRate\":0.7"), "5", "1", "0", "0"},
                    "\"modParams.codeRate\" = 0.7 is not a code rate: 1, 1/2, 1/3, 1/4 or 1/5."},
        HostileCall{"OneX_FwdTrfChn", {"[1,0]", "{\"modulationType\":7,\"modulationSymbolsRequired\":16}", "5", "0", "0", "0"},
                    "\"modParams.modulationType\" = 7 is not a modulation: 1 (QPSK), 2 (8PSK) or 3 (16QAM)."},
        HostileCall{"OneX_FwdTrfChn", {"[1,0]", "{\"modulationType\":1,\"modulationSymbolsRequired\":2e9}", "5", "0", "0", "0"},
                    "\"modParams.modulationSymbolsRequired\" = 2000000000 exceeds the limit of 16777216."},
        HostileCall{"OneX_FwdTrfChn", {"[1,0]", trafficRecord("\"drcValue\":1"), "64", "0", "1", "0"},
                    "\"macIndex\" = 64 must be a whole number from 0 to 63."},
        HostileCall{"OneX_FwdTrfModulator", {"[0,0]", "4"}, "\"format\" = 4 is not a modulation: 1 (QPSK), 2 (8PSK) or 3 (16QAM)."}));

}  // namespace
}  // namespace tolvane
