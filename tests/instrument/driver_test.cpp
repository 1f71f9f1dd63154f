// The driver against the simulated instrument over loopback TCP and a
// pseudo-terminal: the bytes of a download, time-outs, faults, progress and
// cancel, and a soak of large downloads.
#include <gtest/gtest.h>

#include <chrono>

#include "instrument/driver.hpp"
#include "instrument/scpi_block.hpp"
#include "instrument/simulator_server.hpp"
#include "onex/frame_config.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

struct Sim {
    explicit Sim(SimulatorFaults faults = {}, bool pty = false) : server({}, faults) {
        std::string error;
        if (!server.start(0, pty, error)) throw std::runtime_error(error);
        tcp.type = "TCPIP";
        tcp.tcpip.address = "127.0.0.1:" + std::to_string(server.port());
    }
    StoredWaveform stored(const std::string& name) {
        return server.withInstrument([&](SimulatedInstrument& i) {
            const auto it = i.waveforms().find(name);
            return it == i.waveforms().end() ? StoredWaveform{} : it->second;
        });
    }
    std::vector<std::string> log() {
        return server.withInstrument([](SimulatedInstrument& i) { return i.log(); });
    }
    SimulatorServer server;
    Connection tcp;
};

// A small waveform and its markers with every marker combination.
struct Wave {
    std::vector<cplx> iq;
    MarkerMatrix markers;
    std::string words;
    std::string markerBytes;
};

Wave makeWave(std::size_t n) {
    Wave w;
    w.markers = {2, n, std::vector<double>(2 * n)};
    for (std::size_t k = 0; k < n; ++k) {
        w.iq.emplace_back(std::sin(0.01 * double(k)), std::cos(0.013 * double(k)) * 0.5);
        w.markers.data[2 * k] = double(k % 2);
        w.markers.data[2 * k + 1] = double((k / 2) % 2);
    }
    std::string why;
    appendWaveformWords(w.iq, w.words, why);
    appendMarkerBytes(w.markers, n, w.markerBytes, why);
    return w;
}

TEST(Driver, DownloadArrivesByteForByteThenConfirms) {
    Sim sim;
    Driver d;
    const Wave w = makeWave(1000);
    const IoResult r = d.download(sim.tcp, w.iq, w.markers, "A wave");
    ASSERT_TRUE(r.ok()) << r.response;
    EXPECT_EQ(r.response, "Downloaded \"A wave\" to TCPIP 127.0.0.1:" + std::to_string(sim.server.port()) +
                              ": 1000 samples and markers, 5064 bytes.");
    const StoredWaveform s = sim.stored("A wave");
    EXPECT_EQ(s.samples, w.words);
    EXPECT_EQ(s.markers, w.markerBytes);
    EXPECT_EQ(sim.log(), (std::vector<std::string>{":MMEM:DATA \"WFM1:A wave\",#44000<4000 bytes>",
                                                   ":MMEM:DATA \"MKR1:A wave\",#41000<1000 bytes>", "*OPC?",
                                                   ":SYST:ERR?"}));
    // Without markers only the samples travel.
    ASSERT_TRUE(d.download(sim.tcp, w.iq, MarkerMatrix{}, "bare").ok());
    EXPECT_EQ(sim.stored("bare").markers, std::string(1000, '\0'));
    // Requests that cannot be sent are refused before any byte goes out.
    EXPECT_EQ(d.download(sim.tcp, w.iq, MarkerMatrix{2, 3, std::vector<double>(6)}, "x").status, kIoBadRequest);
    EXPECT_EQ(d.download(sim.tcp, w.iq, w.markers, "quote\"d").status, kIoBadRequest);
    EXPECT_EQ(d.download(sim.tcp, {}, MarkerMatrix{}, "empty").status, kIoBadRequest);
    EXPECT_EQ(sim.log().size(), 7u);
}

TEST(Driver, QueriesSendsPingAndReturnToLocal) {
    Sim sim;
    Driver d;
    EXPECT_EQ(d.ping(sim.tcp).response, "Instrument found at TCPIP 127.0.0.1:" + std::to_string(sim.server.port()) +
                                            ": Tolvane,Simulated Signal Generator,US00000001,1.0");
    EXPECT_TRUE(d.send(sim.tcp, " :output:state on").ok());
    EXPECT_TRUE(d.send(sim.tcp, "\n").ok());  // a lone line feed travels as one byte
    const IoResult q = d.query(sim.tcp, ":OUTP?");
    EXPECT_EQ(q.response, "1");
    EXPECT_TRUE(d.returnLocal(sim.tcp).ok());
    EXPECT_EQ(sim.server.connections(), 1);  // one session until returned to local
    EXPECT_TRUE(d.query(sim.tcp, "*OPC?").ok());
    EXPECT_EQ(sim.server.connections(), 2);
    EXPECT_EQ(d.setTimeout(sim.tcp, 0).status, kIoBadRequest);
    ASSERT_TRUE(d.setTimeout(sim.tcp, 1234.4).ok());
    EXPECT_EQ(d.timeoutFor(sim.tcp), 1234);
}

TEST(Driver, FaultsGiveAStatusWithinTheTimeOutAndTheNextConnectionWorks) {
    struct Case {
        const char* what;
        SimulatorFaults faults;
        bool queueError;  // an error waits in the instrument's queue
        int status;
        const char* text;
    } cases[] = {
        {"never answers", {0, 0, false, true, 1}, false, kIoTimeout, "was not confirmed. No answer to \"*OPC?\""},
        {"closes mid-download", {0, 200000, false, false, 1}, false, kIoClosed, "\"soak\""},
        {"answers garbage", {0, 0, true, false, 1}, false, kIoBadReply, "with \"\\x01\\xFE@garbage!?\" instead of 1"},
        {"reports an error", {}, true, kIoInstrumentError,
         "reported an error after the download of \"soak\": -113,\"Undefined header; :bogus\""},
        {"answers late", {1500, 0, false, false, 1}, false, kIoTimeout, "within 400 ms"},
    };
    const Wave w = makeWave(300000);  // 1.5 MB with markers
    for (const Case& c : cases) {
        Sim sim(c.faults);
        Driver d;
        d.setDefaultTimeout(400);
        if (c.queueError) {
            ASSERT_TRUE(d.send(sim.tcp, ":bogus").ok());
        }
        const auto start = Clock::now();
        const IoResult r = d.download(sim.tcp, w.iq, w.markers, "soak");
        EXPECT_LT(secondsSince(start), 3.0) << c.what;
        EXPECT_EQ(r.status, c.status) << c.what << ": " << r.response;
        EXPECT_NE(r.response.find(c.text), std::string::npos) << c.what << ": " << r.response;
        // A fresh connection (the faults hit only the first) works.
        const IoResult again = d.download(sim.tcp, w.iq, w.markers, "soak");
        EXPECT_TRUE(again.ok()) << c.what << ": " << again.response;
        EXPECT_EQ(sim.stored("soak").samples, w.words) << c.what;
    }
}

TEST(Driver, RefusedAndUnanswered) {
    int port = 0;
    {
        Sim gone;
        port = gone.server.port();
    }
    Driver d;
    d.setDefaultTimeout(300);
    Connection c;
    c.type = "tcpip";
    c.tcpip.address = "127.0.0.1:" + std::to_string(port);
    IoResult r = d.ping(c);
    EXPECT_EQ(r.status, kIoUnavailable);
    EXPECT_NE(r.response.find("could not connect to TCPIP 127.0.0.1:" + std::to_string(port) + " (Connection refused)"),
              std::string::npos)
        << r.response;

    Sim mute({0, 0, false, true, 0});
    const auto start = Clock::now();
    r = d.query(mute.tcp, ":SOUR:RAD:ARB:STATe?");
    EXPECT_LT(secondsSince(start), 1.5);
    EXPECT_EQ(r.status, kIoTimeout);
    EXPECT_EQ(r.response, "No answer to \":SOUR:RAD:ARB:STATe?\" from TCPIP 127.0.0.1:" +
                              std::to_string(mute.server.port()) + " within 300 ms.");

    for (const char* bad : {"nohost:99999", "", "0.0.0.0"}) {
        c.tcpip.address = bad;
        EXPECT_NE(d.ping(c).status, kIoOk) << bad;
    }
    c.type = "USB";
    EXPECT_EQ(d.ping(c).status, kIoBadRequest);
}

TEST(Driver, ProgressReportsEveryChunkAndCancelStopsTheDownload) {
    Sim sim;
    Driver d;
    d.setChunkSize(64 * 1024);
    const Wave w = makeWave(100000);
    std::vector<std::size_t> seen;
    std::size_t totalSeen = 0;
    d.setProgress([&](std::size_t sent, std::size_t total) {
        seen.push_back(sent);
        totalSeen = total;
        return true;
    });
    ASSERT_TRUE(d.download(sim.tcp, w.iq, w.markers, "p").ok());
    EXPECT_EQ(totalSeen, 500000u + 2 * std::string(":MMEM:DATA \"WFM1:p\",#6400000\n").size());
    EXPECT_EQ(seen.front(), 0u);
    EXPECT_EQ(seen.back(), totalSeen);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.size(), 8u);

    d.setProgress([](std::size_t sent, std::size_t total) { return sent < total / 2; });
    const IoResult r = d.download(sim.tcp, w.iq, w.markers, "cancelled");
    EXPECT_EQ(r.status, kIoCancelled);
    EXPECT_NE(r.response.find("Download cancelled after"), std::string::npos) << r.response;
    d.setProgress({});
    ASSERT_TRUE(d.download(sim.tcp, w.iq, w.markers, "after").ok());
    EXPECT_EQ(sim.stored("cancelled").samples, "");
    EXPECT_EQ(sim.stored("after").markers, w.markerBytes);
}

// Twenty downloads in a row of the oversampling-30 frame (about 4 MB with
// markers) arrive intact.
TEST(Driver, TwentyLargeDownloadsArriveIntact) {
    FrameConfig config = defaultFrameConfig();
    config.OverSampling = 30;
    config.ProjectedLength = 32768.0 * 30;
    const FrameResult frame = calculateFrame(config);
    const std::size_t n = frame.waveform.size();
    ASSERT_EQ(n, 983040u);
    MarkerMatrix markers{2, n, std::vector<double>(2 * n)};
    for (std::size_t k = 0; k < n; ++k) {
        markers.data[2 * k] = frame.marker1[k];
        markers.data[2 * k + 1] = frame.marker2[k];
    }
    std::string words, marks, why;
    ASSERT_TRUE(appendWaveformWords(frame.waveform, words, why));
    ASSERT_TRUE(appendMarkerBytes(markers, n, marks, why));
    Sim sim;
    Driver d;
    for (int k = 0; k < 20; ++k) {
        const IoResult r = d.download(sim.tcp, frame.waveform, markers, "OneX-Fwd");
        ASSERT_TRUE(r.ok()) << k << ": " << r.response;
        const StoredWaveform s = sim.stored("OneX-Fwd");
        ASSERT_TRUE(s.samples == words) << k;
        ASSERT_TRUE(s.markers == marks) << k;
    }
    EXPECT_EQ(sim.server.connections(), 1);
}

TEST(Driver, SerialLineOverAPseudoTerminal) {
    Sim sim({}, true);
    ASSERT_FALSE(sim.server.ptyPath().empty());
    Driver d;
    d.setDefaultTimeout(2000);
    d.setSerialDevice(3, sim.server.ptyPath());
    Connection c;
    c.type = "RS232";
    c.rs232 = {3, 115200, "RTS/CTS"};
    const Wave w = makeWave(5000);
    const IoResult r = d.download(c, w.iq, w.markers, "serial");
    ASSERT_TRUE(r.ok()) << r.response;
    EXPECT_EQ(sim.stored("serial").samples, w.words);
    EXPECT_EQ(sim.stored("serial").markers, w.markerBytes);
    EXPECT_EQ(d.query(c, "*IDN?").response, "Tolvane,Simulated Signal Generator,US00000001,1.0");
    // Closing the line and opening it again starts afresh.
    EXPECT_TRUE(d.returnLocal(c).ok());
    EXPECT_EQ(d.query(c, "*OPC?").response, "1");

    c.rs232.baudrate = 12345;
    EXPECT_EQ(d.ping(c).status, kIoBadRequest);
    c.rs232 = {3, 9600, "Pigeon"};
    EXPECT_EQ(d.ping(c).status, kIoBadRequest);
    d.setSerialDevice(4, "/nonexistent/tty");
    c.rs232 = {4, 9600, "None"};
    EXPECT_EQ(d.ping(c).status, kIoUnavailable);
}

TEST(Driver, SerialLineThatNeverAnswersCostsTheTimeOut) {
    Sim sim({0, 0, false, true, 0}, true);
    Driver d;
    d.setDefaultTimeout(300);
    d.setSerialDevice(1, sim.server.ptyPath());
    Connection c;
    c.type = "rs232";
    c.rs232 = {1, 9600, "Xon/Xoff"};
    const auto start = Clock::now();
    const IoResult r = d.query(c, "*IDN?");
    EXPECT_LT(secondsSince(start), 1.5);
    EXPECT_EQ(r.status, kIoTimeout) << r.response;
}

}  // namespace
}  // namespace tolvane
