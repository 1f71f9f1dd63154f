// The session: the globals by name are views of its typed state (never a
// second copy), and its jobs run against the simulated instrument and
// against operations by name.
#include <gtest/gtest.h>

#include <cmath>

#include "instrument/driver.hpp"
#include "instrument/simulator_server.hpp"
#include "numerics/noise.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/library.hpp"
#include "runtime/parameters_value.hpp"
#include "session/by_name.hpp"
#include "session/session.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

Library& startedLibrary() {
    installSession();
    Library& lib = library();
    lib.initialize();
    return lib;
}

std::string errorOf(const std::string& name) {
    try {
        callByName(name, 0, {});
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(SessionViews, TypedChangesShowByNameAndWritesByNameReachTheTypedState) {
    Globals& g = startedLibrary().globals();
    for (const char* name : {"parameters", "SigGenSettings", "configuration", "waveform", "markers"})
        EXPECT_FALSE(g.get(name).isSet()) << name;

    callByName("OneX_Fwd_GUI_c/InitializeParameters", 0, {});
    callByName("OneX_Fwd_GUI_c/InitializeSigGenSettings", 0, {});
    Session& s = processSession();
    s.config().OverSampling = 8;
    s.settings().values.Amplitude = -12.5;
    EXPECT_EQ(g.get("parameters").field("OverSampling"), Value::scalar(8));
    EXPECT_EQ(g.get("SigGenSettings").field("Amplitude"), Value::scalar(-12.5));

    Value p = g.get("parameters");
    p.setField("PilotOffsetIndex", Value::scalar(300));
    g.set("parameters", p);
    EXPECT_EQ(s.config().PilotOffsetIndex, 300);
    EXPECT_EQ(g.get("parameters"), p);

    // Terminating and starting again leaves every view uninitialised.
    library().terminate();
    library().initialize();
    EXPECT_FALSE(s.hasConfig());
    EXPECT_FALSE(g.get("parameters").isSet());
    EXPECT_THROW(g.stored("parameters"), Error);  // a view is read and written whole
}

// A value written by name that the typed record cannot hold reads back as
// written, and the job that needs it refuses it as it always has.
TEST(SessionViews, ValuesTheTypeCannotHoldAreKeptAsWritten) {
    Globals& g = startedLibrary().globals();
    Session& s = processSession();

    Value extra = parametersToValue(defaultFrameConfig());
    extra.setField("Note", Value::text("kept"));
    extra.setField("OverSampling", Value::scalar(2));
    g.set("parameters", extra);
    EXPECT_EQ(g.get("parameters"), extra);
    seedNoise(3);
    callByName("OneX_Fwd_GUI_c/Calculate", 0, {});
    EXPECT_EQ(g.get("waveform").numel(), 32768u * 2);
    EXPECT_EQ(g.get("parameters"), extra);  // calculating did not rewrite it

    Value missing = parametersToValue(defaultFrameConfig());
    missing.rec().remove("FilterType");
    g.set("parameters", missing);
    std::string expected;
    try {
        (void)parametersFromValue(missing);
    } catch (const Error& e) {
        expected = e.what();
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_NE(errorOf("OneX_Fwd_GUI_c/Calculate").find(expected), std::string::npos);

    // A connection record with fractions and fields of an older layout
    // reaches the instrument functions exactly as written.
    Value connection = defaultConnectionValue();
    connection.field("GPIB").setField("primary", Value::scalar(18.5));
    connection.setField("GPIBboard", Value::scalar(0));
    g.set("configuration", connection);
    EXPECT_EQ(s.connectionValue(), connection);
    EXPECT_EQ(g.get("configuration"), connection);

    // A waveform written by name is what the session's jobs use.
    const Value written = Value::complexRow({cplx(1, 2), cplx(-3, 0.5)});
    g.set("waveform", written);
    EXPECT_EQ(s.waveform(), (std::vector<cplx>{cplx(1, 2), cplx(-3, 0.5)}));
    g.set("waveform", Value::text("not samples"));
    EXPECT_EQ(g.get("waveform"), Value::text("not samples"));
    EXPECT_THROW((void)s.waveform(), Error);
}

// The one calculate step: the same bits as the chain's own calculation.
TEST(SessionJobs, CalculateIsTheChainsCalculation) {
    startedLibrary();
    Session& s = processSession();
    FrameConfig c = defaultFrameConfig();
    c.MACchnActive = 1;
    c.DATAchnActive = 1;
    c.OverSampling = 4;
    c.ProjectedLength = 32768.0 * 4;
    c.FilterType = 4;
    s.setConfig(c);
    s.calculate(21);
    seedNoise(21);
    const FrameResult expected = calculateFrame(c);
    EXPECT_EQ(s.waveform(), expected.waveform);
    const MarkerMatrix m = s.markerMatrix();
    ASSERT_EQ(m.cols, expected.marker1.size());
    for (std::size_t k = 0; k < m.cols; ++k) {
        ASSERT_EQ(m.data[2 * k], expected.marker1[k]);
        ASSERT_EQ(m.data[2 * k + 1], expected.marker2[k]);
    }
    // Out of range: refused before any work, naming the field.
    s.config().OverSampling = 31;
    try {
        s.calculate();
        ADD_FAILURE() << "an oversampling of 31 was calculated";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("OverSampling"), std::string::npos) << e.what();
    }
}

// The packets of the last calculation: typed from the session, by name from
// OneX_Fwd_GUI_c/Packets; a record written by name without the new fields
// calculates as 16 slots.
TEST(SessionJobs, PacketsOfTheLastCalculation) {
    Globals& g = startedLibrary().globals();
    Session& s = processSession();
    FrameConfig c = defaultFrameConfig();
    c.Mode = 3;
    c.FrameSlots = 32;
    c.Packets = {{2, 7, 12}, {1, 12, 3 + 2}};
    c.OverSampling = 2;
    c.FilterType = 4;
    c.ProjectedLength = projectedLength(c);
    s.setConfig(c);
    s.calculate(5);
    ASSERT_EQ(s.packets().size(), 2u);
    EXPECT_EQ(s.waveform().size(), 32u * 2048 * 2);
    const Value byName = callByName("OneX_Fwd_GUI_c/Packets", 1, {}).at(0);
    ASSERT_TRUE(byName.isCell());
    ASSERT_EQ(byName.rows(), 1u);
    ASSERT_EQ(byName.cols(), 2u);
    const Value& first = byName.cells()[0];
    EXPECT_EQ(first.field("startSlot"), Value::scalar(2));
    EXPECT_EQ(first.field("slots"), Value::row({2, 6}));
    EXPECT_EQ(first.field("drc"), Value::scalar(7));
    EXPECT_EQ(first.field("macIndex"), Value::scalar(12));
    EXPECT_EQ(first.field("payload"), Value::row(s.packets()[0].payload));
    EXPECT_EQ(first.field("payload").cols(), 2026u);
    const auto fcs = packetFcs(s.packets()[0].payload);
    EXPECT_EQ(first.field("fcs"), Value::row(std::vector<double>(fcs.begin(), fcs.end())));

    // A record of the earlier layout (no FrameSlots, no Packets) by name.
    Value older = parametersToValue(defaultFrameConfig());
    older.rec().remove("FrameSlots");
    older.rec().remove("Packets");
    g.set("parameters", older);
    EXPECT_EQ(g.get("parameters"), older);  // kept as written
    callByName("OneX_Fwd_GUI_c/Calculate", 0, {});
    EXPECT_EQ(g.get("waveform").numel(), 32768u * 5);
    EXPECT_EQ(callByName("OneX_Fwd_GUI_c/Packets", 1, {}).at(0), Value::cellMatrix(1, 0, {}));
}

struct Simulator {
    SimulatorServer server{SimulatorOptions{}, SimulatorFaults{}};
    Simulator() {
        std::string error;
        if (!server.start(0, false, error)) throw std::runtime_error(error);
    }
    std::size_t samplesOf(const std::string& name) {
        return server.withInstrument([&](SimulatedInstrument& i) -> std::size_t {
            const auto found = i.waveforms().find(name);
            return found == i.waveforms().end() ? 0 : found->second.samples.size() / 4;
        });
    }
};

// Download with progress and Cancel against the simulated instrument: a
// cancelled transfer reports it and starts no play-back; a whole one
// reports every byte and plays.
TEST(SessionJobs, DownloadReportsProgressAndCanBeCancelled) {
    startedLibrary();
    Simulator sim;
    Session& s = processSession();
    FrameConfig c = defaultFrameConfig();
    c.OverSampling = 2;
    c.ProjectedLength = 32768.0 * 2;
    s.setConfig(c);
    s.setSettings(defaultGeneratorSettings(c));
    s.settings().values.Title = "Cancelled";
    InstrumentConnection where;
    where.bus.type = "TCPIP";
    where.bus.tcpip.address = "127.0.0.1:" + std::to_string(sim.server.port());
    s.setConnection(where);
    s.calculate(1);

    DownloadOptions options;
    options.corrections = false;
    int calls = 0;
    options.progress = [&](std::size_t, std::size_t) { return ++calls < 2; };
    const DownloadOutcome cancelled = s.download(instrumentDriver(), options);
    EXPECT_EQ(cancelled.download.status, kIoCancelled) << cancelled.download.response;
    EXPECT_FALSE(cancelled.play.has_value());
    EXPECT_FALSE(cancelled.ok());
    // A cancel is told apart from a failure, with how far the transfer got:
    // the second report comes after the first block of 256 KiB.
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.bytesSent, 256u * 1024u);
    EXPECT_EQ(cancelledDownloadText(cancelled),
              "Download cancelled.\nIt stopped after 262144 of " + std::to_string(cancelled.bytesTotal) +
                  " bytes of \"Cancelled\" were sent, so the instrument holds no complete copy of \"Cancelled\" "
                  "from this download: download it again before playing it.");

    s.settings().values.Title = "Whole";
    std::size_t lastDone = 0, lastTotal = 1;
    options.progress = [&](std::size_t done, std::size_t total) {
        lastDone = done;
        lastTotal = total;
        return true;
    };
    const DownloadOutcome whole = s.download(instrumentDriver(), options);
    EXPECT_TRUE(whole.ok()) << whole.download.response;
    EXPECT_FALSE(whole.cancelled);
    EXPECT_EQ(lastDone, lastTotal);
    instrumentDriver().closeAll();
    EXPECT_EQ(sim.samplesOf("Whole"), 65536u);
    EXPECT_EQ(sim.samplesOf("Cancelled"), 0u);
}

// Used by name, the download reaches the instrument through hwIO, so a
// replacement of hwIO sees the samples and markers the session holds.
TEST(SessionJobs, ByNameDownloadHandsEveryOperandToHwIO) {
    startedLibrary();
    std::vector<std::vector<Value>> calls;
    FunctionSpec recorder;
    recorder.name = "hwIO";
    recorder.inputs = -1;
    recorder.outputs = 2;
    recorder.body = [&](Call& call) {
        calls.push_back(call.varargin());
        call.setOut(0, Value::scalar(0));
        call.setOut(1, Value::text(calls.size() == 1 ? "0" : "done"));
    };
    library().registry().add(recorder);

    Session& s = processSession();
    callByName("OneX_Fwd_GUI_c/InitializeParameters", 0, {});
    callByName("OneX_Fwd_GUI_c/InitializeSigGenSettings", 0, {});
    s.setConnection(InstrumentConnection{});
    library().globals().set("waveform", Value::complexRow({cplx(0.5, -0.25), cplx(1, 0)}));
    library().globals().set("markers", Value::matrix(2, 2, {1, 1, 0, 1}));

    ByNameIo io(s.connectionValue());
    DownloadOptions options;
    options.corrections = false;
    const DownloadOutcome out = s.download(io, options);
    EXPECT_TRUE(out.ok()) << out.download.response;
    bool sawSamples = false;
    for (const auto& call : calls)
        if (call.size() > 2 && call[2] == Value::complexRow({cplx(0.5, -0.25), cplx(1, 0)})) {
            sawSamples = true;
            EXPECT_EQ(call[1], s.connectionValue());
            EXPECT_EQ(call[3], Value::matrix(2, 2, {1, 1, 0, 1}));
        }
    EXPECT_TRUE(sawSamples);
    registerInstrument(library().registry());
}

}  // namespace
}  // namespace tolvane
