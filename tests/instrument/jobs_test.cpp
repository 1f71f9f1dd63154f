// The download and play jobs over a recording stand-in for the I/O layer:
// exact command lists and texts, the serial-line question, and which result
// a job reports.
#include <gtest/gtest.h>

#include "instrument/jobs.hpp"
#include "base/diagnostics.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

// Records every operation as one line and answers from a script: the
// operation named in `failing` fails with the text "<op> failed".
struct Recorder : InstrumentIo {
    std::vector<std::string> calls;
    std::string arbState = "1";
    std::string failing;
    IoResult answer(const std::string& line, const std::string& op, std::string reply = "done") {
        calls.push_back(line);
        if (!failing.empty() && line.find(failing) != std::string::npos) return {kIoTimeout, op + " failed"};
        return {kIoOk, reply};
    }
    IoResult ping(const Connection&) override { return answer("ping", "ping"); }
    IoResult send(const Connection&, std::string_view command) override {
        return answer("send [" + std::string(command) + "]", "send");
    }
    IoResult query(const Connection&, std::string_view q) override {
        return answer("query [" + std::string(q) + "]", "query", arbState);
    }
    IoResult download(const Connection&, const std::vector<cplx>& iq, const MarkerMatrix& m,
                      const std::string& name) override {
        return answer("download " + std::to_string(iq.size()) + " " + std::to_string(m.cols) + " [" + name + "]",
                      "download");
    }
    IoResult returnLocal(const Connection&) override { return answer("local", "local"); }
    IoResult setTimeout(const Connection&, double ms) override {
        return answer("timeout " + std::to_string(static_cast<long>(ms)), "timeout");
    }
};

TEST(PlayJob, CurrentPlatformListWithDefaults) {
    const std::vector<std::string> expected = {
        " :source:rad:arb:state off",
        " :source:rad:arb:wav \"arbi:OneX-Fwd\" ",
        " :source:freq:fix 2200000000Hz",
        " :source:power:level:immediate:amplitude -30dbm",
        " :source:rad:arb:clock:srate 6144000Hz",
        " :source:dm:bbfilter 2.1MHz",
        " :source:rad:ARB:rscaling 95",
        ":source:DM:IQAT:AUTO off",
        ":source:DM:IQAT 0",
        " :pow:alc:state off",
        " :source:rad:arb:marker:rfblank off",
        " :source:rad:arb:marker:polarity Pos",
        " :source:rad:arb:clock:ref int",
        " :source:rad:arb:state on",
        " :output:state on",
        " :OUTPUT:MOD ON",
    };
    EXPECT_EQ(playCommands_c("OneX-Fwd", SigGenSettings{}), expected);
}

TEST(PlayJob, ChoicesAndNumberTexts) {
    struct Case {
        void (*edit)(SigGenSettings&);
        std::size_t index;  // 0-based place in the current list
        const char* command;
    } cases[] = {
        {[](SigGenSettings& s) { s.BBfilter = 2; }, 5, " :source:dm:bbfilter 40MHz"},
        {[](SigGenSettings& s) { s.BBfilter = 7; }, 5, " :source:dm:bbfilter Through"},
        {[](SigGenSettings& s) { s.ALC = 5; }, 9, " :pow:alc:state on"},
        {[](SigGenSettings& s) { s.RFblanking = 2; }, 10, " :source:rad:arb:marker:rfblank off"},
        {[](SigGenSettings& s) { s.RFblanking = 1; }, 10, " :source:rad:arb:marker:rfblank on"},
        {[](SigGenSettings& s) { s.MarkerPolarity = 2; }, 11, " :source:rad:arb:marker:polarity Neg"},
        {[](SigGenSettings& s) { s.ArbRefSource = 1; }, 12, " :source:rad:arb:clock:ref ext"},
        {[](SigGenSettings& s) { s.Frequency = 2.5; }, 2, " :source:freq:fix 2.5Hz"},
        {[](SigGenSettings& s) { s.Amplitude = -10.1234; }, 3, " :source:power:level:immediate:amplitude -10.1234dbm"},
        {[](SigGenSettings& s) { s.SamplingRate = 36864000; }, 4, " :source:rad:arb:clock:srate 36864000Hz"},
        {[](SigGenSettings& s) { s.ModAtten = 0.0001; }, 8, ":source:DM:IQAT 0.0001"},
        {[](SigGenSettings& s) { s.Scaling = 1e21; }, 6, " :source:rad:ARB:rscaling 1000000000000000000000"},
    };
    for (const Case& c : cases) {
        SigGenSettings s;
        c.edit(s);
        EXPECT_EQ(playCommands_c("w", s).at(c.index), c.command);
    }
    EXPECT_EQ(playCommands_c("a title with blanks", {}).at(1), " :source:rad:arb:wav \"arbi:a title with blanks\" ");
}

TEST(PlayJob, OtherPlatformList) {
    const char* filters[] = {"", "250.0khz", "2.5Mhz", "8Mhz", "through", "through"};
    for (int f = 1; f <= 5; ++f) {
        SigGenSettings s;
        s.ReconFilter = f;
        s.RFblanking = 1;
        const std::vector<std::string> expected = {
            " :source:rad:arb:state off",
            " :source:rad:arb:wav \"arbi:W\" ",
            " :source:freq:fix 2200000000Hz",
            " :source:power:level:immediate:amplitude -30dbm",
            " :source:rad:arb:clock:srate 6144000Hz",
            std::string(" :source:rad:arb:rfilter ") + filters[f],
            " :source:rad:arb:marker:rfblank on",
            " :source:rad:arb:marker:polarity Pos",
            " :source:rad:arb:clock:ref int",
            " :source:rad:arb:state on",
            " :output:state on",
        };
        EXPECT_EQ(playCommands("W", s), expected);
    }
}

TEST(PlayJob, SendsAllThenReturnsToLocalAndReportsTheFirstFailure) {
    Recorder io;
    const auto commands = playCommands_c("W", {});
    IoResult r = playJob(io, Connection{}, commands);
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(io.calls.size(), 17u);
    EXPECT_EQ(io.calls.back(), "local");

    Recorder failing;
    failing.failing = "freq:fix";  // command 3 fails, the last one succeeds
    r = playJob(failing, Connection{}, commands);
    EXPECT_EQ(r.status, kIoTimeout);
    EXPECT_EQ(r.response, "send failed");
    EXPECT_EQ(failing.calls.size(), 17u);
}

TEST(DownloadJob, StepsInOrderAndTheArbPlayerRestoredOnlyAfterOne) {
    const std::vector<cplx> iq(10, cplx(1, 0));
    const MarkerMatrix m{2, 10, std::vector<double>(20)};
    struct Case {
        const char* arbState;
        bool restarts;
    } cases[] = {{"1", true}, {"+1\n", true}, {"0", false}, {"", false}, {"1.5", false}, {"garbage", false}, {"1x", false}};
    for (const Case& c : cases) {
        Recorder io;
        io.arbState = c.arbState;
        const IoResult r = downloadJob(io, Connection{}, iq, m, "Name", 0, {});
        std::vector<std::string> expected = {"timeout 10000", "query [:SOUR:RAD:ARB:STATe?]",
                                             "send [:SOUR:RAD:ARB:STATe OFF]", "download 10 10 [Name]", "send [\n]"};
        if (c.restarts) expected.push_back("send [:SOUR:RAD:ARB:STATe ON]");
        expected.push_back("send [:OUTPUT:MOD ON]");
        EXPECT_EQ(io.calls, expected) << c.arbState;
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.response, "done");  // the line feed's result
    }
}

TEST(DownloadJob, FirstFailureIsReportedAndTheInstrumentRestored) {
    const std::vector<cplx> iq(10, cplx(1, 0));
    struct Case {
        const char* failing;
        std::vector<std::string> calls;
        const char* text;
    } cases[] = {
        {"download",
         {"timeout 10000", "query [:SOUR:RAD:ARB:STATe?]", "send [:SOUR:RAD:ARB:STATe OFF]", "download 10 0 [N]",
          "send [:SOUR:RAD:ARB:STATe ON]", "send [:OUTPUT:MOD ON]"},
         "download failed"},
        {"query",
         {"timeout 10000", "query [:SOUR:RAD:ARB:STATe?]", "send [:OUTPUT:MOD ON]"},
         "query failed"},
        {"MOD ON",
         {"timeout 10000", "query [:SOUR:RAD:ARB:STATe?]", "send [:SOUR:RAD:ARB:STATe OFF]", "download 10 0 [N]",
          "send [\n]", "send [:SOUR:RAD:ARB:STATe ON]", "send [:OUTPUT:MOD ON]"},
         "send failed"},
    };
    for (const Case& c : cases) {
        Recorder io;
        io.failing = c.failing;
        const IoResult r = downloadJob(io, Connection{}, iq, MarkerMatrix{}, "N", 1, {});
        EXPECT_EQ(io.calls, c.calls) << c.failing;
        EXPECT_EQ(r.status, kIoTimeout) << c.failing;
        EXPECT_EQ(r.response, c.text) << c.failing;
    }
}

TEST(DownloadJob, SerialLineEstimateAndQuestion) {
    Connection serial;
    serial.type = "Rs232";
    serial.rs232.baudrate = 9600;
    EXPECT_DOUBLE_EQ(serialDownloadMinutes(100000, 9600, 1), 6.25);
    EXPECT_DOUBLE_EQ(serialDownloadMinutes(2000, 9600, 1), 0.125);
    struct Case {
        std::size_t samples;
        double segments;
        const char* type;
        bool asks;
    } cases[] = {
        {100000, 1, "RS232", true},
        {2000, 1, "rs232", false},
        {12000, 1, "RS232", false},  // exactly 0.75 minutes
        {12001, 1, "RS232", true},
        {2000, 10, "RS232", true},   // 1.25 minutes
        {100000, 0, "RS232", true},  // 0 counts as 1
        {100000, -2, "RS232", false},
        {1000000, 1, "TCPIP", false},
        {1000000, 1, "GPIB", false},
    };
    for (const Case& c : cases) {
        Connection conn = serial;
        conn.type = c.type;
        std::vector<cplx> iq(c.samples);
        for (bool answer : {false, true}) {
            Recorder io;
            std::string asked;
            const IoResult r = downloadJob(io, conn, iq, MarkerMatrix{}, "N", c.segments,
                                           [&](const std::string& title, const std::string& text) {
                                               asked = title + "|" + text;
                                               return answer;
                                           });
            EXPECT_EQ(!asked.empty(), c.asks) << c.samples << " " << c.type;
            if (c.asks && !answer) {
                EXPECT_EQ(r.status, -1);
                EXPECT_EQ(r.response, "Download cancelled");
                EXPECT_EQ(io.calls, std::vector<std::string>{"timeout 10000"});  // nothing sent after the time-out
            } else {
                EXPECT_EQ(r.status, 0);
            }
        }
    }
    Recorder io;
    std::string text;
    downloadJob(io, serial, std::vector<cplx>(100000), MarkerMatrix{}, "N", 1, [&](const std::string& t, const std::string& q) {
        text = t + "|" + q;
        return false;
    });
    EXPECT_EQ(text, "RS-232 Download|This download will take approximately 6.2 minutes. Do you want to continue?");
    // Without a question callback the answer is Cancel.
    EXPECT_EQ(downloadJob(io, serial, std::vector<cplx>(100000), MarkerMatrix{}, "N", 1, {}).status, -1);
}

TEST(Texts, DecimalTextAndClock2str) {
    EXPECT_EQ(decimalText(2200000000.0), "2200000000");
    EXPECT_EQ(decimalText(-30), "-30");
    EXPECT_EQ(decimalText(2.5), "2.5");
    EXPECT_EQ(decimalText(-0.0), "0");
    EXPECT_EQ(decimalText(1.0 / 3), "0.3333333333333333");
    EXPECT_EQ(clock2str({2002, 12, 31, 23, 5, 9.99}), "31DEC2002 23:05:09");
    EXPECT_EQ(clock2str({2002, 3, 5, 9, 7, 3}), "05MAR2002 9:07:03");
    EXPECT_EQ(clock2str({2024, 1, 15, 0, 0, 59.5}), "15JAN2024 0:00:59");
    EXPECT_THROW(clock2str({2002, 13, 1, 0, 0, 0}), Error);
}

}  // namespace
}  // namespace tolvane
