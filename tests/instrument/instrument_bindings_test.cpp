// The instrument functions by name: what each I/O operation hands to hwIO,
// formatconfig, and the jobs by name against the simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "instrument/driver.hpp"
#include "instrument/simulator_server.hpp"
#include "runtime/bindings/bindings.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/library.hpp"
#include "../support/temp_dir.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

// Replaces hwIO by name with a recorder for the life of the fixture.
struct RecordedDriver {
    std::vector<std::vector<Value>> calls;
    RecordedDriver() {
        library().initialize();
        FunctionSpec replacement;
        replacement.name = "hwIO";
        replacement.inputs = -1;
        replacement.outputs = 2;
        replacement.body = [this](Call& c) {
            calls.push_back(c.varargin());
            c.setOut(0, Value::scalar(7));
            c.setOut(1, Value::text("recorded"));
        };
        library().registry().add(replacement);
    }
    ~RecordedDriver() { registerInstrument(library().registry()); }
};

Value fractionalConfig() {
    Value v = defaultConnectionValue();
    v.field("GPIB").setField("primary", Value::scalar(18.5));
    v.field("GPIB").setField("secondary", Value::scalar(-1.4));
    v.field("RS232").setField("baudrate", Value::scalar(9600.2));
    v.field("TCPIP").setField("board", Value::scalar(std::nan("")));
    return v;
}

TEST(InstrumentByName, EachOperationHandsItsCodeAndOperandsToHwIO) {
    RecordedDriver rec;
    const Value config = fractionalConfig();
    const Value rec0 = callByName("formatconfig", 1, {config})[0];
    EXPECT_EQ(rec0.field("GPIB").field("primary"), Value::scalar(19));
    EXPECT_EQ(rec0.field("GPIB").field("secondary"), Value::scalar(-1));
    EXPECT_EQ(rec0.field("RS232").field("baudrate"), Value::scalar(9600));
    EXPECT_EQ(rec0.field("TCPIP").field("board"), Value::scalar(0));
    EXPECT_EQ(rec0.field("TCPIP").field("address"), Value::text("0.0.0.0"));
    EXPECT_EQ(callByName("formatconfig", 1, {rec0})[0], rec0);

    const Value data = Value::complexRow({cplx(1, 2)});
    const Value marks = Value::matrix(2, 1, {1, 0});
    struct Case {
        const char* name;
        std::vector<Value> in;
        std::vector<Value> operands;  // after the code and the record
        double code;
    } cases[] = {
        {"hwPing", {config}, {}, 1},
        {"hwSend", {config, Value::text(" :output:state on")}, {Value::text(" :output:state on")}, 2},
        {"hwQuery", {config, Value::text("*IDN?")}, {Value::text("*IDN?")}, 3},
        {"hwDownload",
         {config, data, marks, Value::text("other"), Value::scalar(9), Value::text("T")},
         {data, marks, Value::text("norm"), Value::scalar(1), Value::text("T")},
         4},
        {"hwReturnLocal", {config}, {}, 5},
        {"hwSetTimeout", {config, Value::scalar(10000)}, {Value::scalar(10000)}, 50},
    };
    for (const Case& c : cases) {
        rec.calls.clear();
        const auto out = callByName(c.name, 2, c.in);
        EXPECT_EQ(out[0], Value::scalar(7)) << c.name;
        EXPECT_EQ(out[1], Value::text("recorded")) << c.name;
        ASSERT_EQ(rec.calls.size(), 1u) << c.name;
        std::vector<Value> expected{Value::scalar(c.code), rec0};
        expected.insert(expected.end(), c.operands.begin(), c.operands.end());
        EXPECT_EQ(rec.calls[0], expected) << c.name;
    }
    rec.calls.clear();
    const auto v = callByName("VerifyComm", 2, {config});
    EXPECT_EQ(v[1], Value::text("recorded"));
    EXPECT_EQ(rec.calls.at(0).at(0), Value::scalar(1));
}

TEST(InstrumentByName, FormatconfigKeepsAbsentFields) {
    library().initialize();
    Record gpib;
    gpib.set("board", Value::scalar(0.6));
    gpib.set("primary", Value::scalar(3));
    Record r;
    r.set("type", Value::text("GPIB"));
    r.set("GPIB", Value::record(gpib));
    const Value out = callByName("formatconfig", 1, {Value::record(r)})[0];
    EXPECT_FALSE(out.field("GPIB").hasField("secondary"));
    EXPECT_EQ(out.field("GPIB").field("board"), Value::scalar(1));
    EXPECT_FALSE(out.hasField("TCPIP"));
}

TEST(InstrumentByName, DownloadAndPlayJobsReachTheSimulator) {
    library().initialize();
    SimulatorServer server({}, {});
    std::string error;
    ASSERT_TRUE(server.start(0, false, error)) << error;
    Value config = defaultConnectionValue();
    config.setField("type", Value::text("TCPIP"));
    config.field("TCPIP").setField("address", Value::text("127.0.0.1:" + std::to_string(server.port())));

    const Value iq = Value::complexRow({cplx(1, 0), cplx(0, -1), cplx(0.5, 0.5), cplx(0, 0)});
    const Value markers = Value::matrix(2, 4, {1, 1, 0, 1, 1, 0, 0, 0});
    auto out = callByName("KLTDownLoadWrap", 2, {iq, markers, Value::text("By name"), config, Value::empty()});
    EXPECT_EQ(out[0], Value::scalar(0)) << out[1].str();
    Value settings = Value::record();
    SigGenSettings s;
    for (const auto& [name, v] : std::vector<std::pair<const char*, double>>{
             {"Frequency", s.Frequency}, {"Amplitude", s.Amplitude}, {"SamplingRate", s.SamplingRate},
             {"BBfilter", s.BBfilter}, {"Scaling", s.Scaling}, {"ModAtten", s.ModAtten},
             {"RFblanking", s.RFblanking}, {"ALC", s.ALC}, {"ArbRefSource", s.ArbRefSource},
             {"MarkerPolarity", s.MarkerPolarity}})
        settings.setField(name, Value::scalar(v));
    out = callByName("KLTPlay_c", 2, {Value::text("By name"), settings, config, Value::empty()});
    EXPECT_EQ(out[0], Value::scalar(0)) << out[1].str();
    // KLTPlay needs ReconFilter, which the default record lacks.
    EXPECT_THROW(callByName("KLTPlay", 2, {Value::text("By name"), settings, config, Value::empty()}), Error);

    // The play commands are sent without replies: wait until all arrived.
    for (int k = 0; k < 200 && server.withInstrument([](SimulatedInstrument& i) { return i.log().size(); }) < 23; ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    server.withInstrument([](SimulatedInstrument& i) {
        EXPECT_EQ(i.waveforms().at("By name").markers, std::string("\x03\x02\x01\x00", 4));
        EXPECT_TRUE(i.errors().empty());
        EXPECT_EQ(i.settings().arbWaveform, "ARBI:By name");
        EXPECT_TRUE(i.settings().modulation);
        EXPECT_EQ(i.log().at(0), ":SOUR:RAD:ARB:STATe?");
        EXPECT_EQ(i.log().size(), 7u + 16) << testing::PrintToString(i.log());  // query, OFF, two blocks, *OPC?, :SYST:ERR?, MOD ON; the play list
        return 0;
    });
    instrumentDriver().closeAll();
}

TEST(InstrumentByName, SaveIronmothWaveformAndClock) {
    library().initialize();
    const testing_support::TempDir dir;
    const Value wave = Value::complexRow({cplx(1, 0.5)});
    EXPECT_EQ(callByName("saveIronmothWaveform", 1, {wave, Value::text(dir.file("a.bin"))})[0], Value::scalar(1));
    EXPECT_EQ(callByName("saveIronmothWaveform", 1, {})[0], Value::scalar(0));
    EXPECT_EQ(callByName("saveIronmothWaveform", 1, {wave, Value::text("x"), Value::scalar(1), Value::scalar(1)})[0],
              Value::scalar(0));
    EXPECT_EQ(callByName("saveIronmothWaveform", 1, {wave, Value::text(dir.file("no/such/dir.bin"))})[0],
              Value::scalar(0));
    EXPECT_EQ(callByName("clock2str", 1, {Value::row({2002, 12, 31, 23, 5, 9.99})})[0],
              Value::text("31DEC2002 23:05:09"));
}

}  // namespace
}  // namespace tolvane
