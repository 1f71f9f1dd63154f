// The instrument connection dialog as a user meets it: the models and their
// bus lists, the clamps on opening, the older flat record, the groups of
// each bus, the handshake advice, OK and Cancel, and the check button
// against the simulated instrument.
#include <gtest/gtest.h>

#include <functional>

#include "instrument/driver.hpp"
#include "instrument/simulator_server.hpp"
#include "runtime/bindings/bindings.hpp"
#include "setup_windows_harness.hpp"

namespace tolvane::app {
namespace {

using test::linesInOrder;
using test::SetupWindows;

Value record(std::initializer_list<std::pair<const char*, Value>> fields) {
    Record r;
    for (const auto& [k, v] : fields) r.set(k, v);
    return Value::record(std::move(r));
}

Value flatRecord() {
    return record({{"Connection", Value::scalar(1)},
                   {"GPIBboard", Value::scalar(0)},
                   {"Primary", Value::scalar(19)},
                   {"Secondary", Value::scalar(-1)},
                   {"RS232Port", Value::scalar(2)},
                   {"BaudRate", Value::scalar(9600)},
                   {"HandShake", Value::scalar(0)},
                   {"BBGtype", Value::text("002")}});
}

const char* const kStandardFields = "console: fields: type,GPIB,RS232,TCPIP,BBGtype,LastParameterFilename";

std::string advice(const char* receive, const char* rtsCts) {
    return std::string("Set the Instrument's RS-232 Pace to:\\n  Transmit Pace = None\\n  Receive Pace  = ") + receive +
           "\\n  RTS/CTS       = " + rtsCts;
}

struct ConnectionCase {
    const char* name;
    const char* generation;
    std::function<void(Value&)> edit;  // on the record the main window keeps
    std::string script;
    std::vector<std::string> lines;
};
void PrintTo(const ConnectionCase& c, std::ostream* os) { *os << c.name; }


class ConnectionScript : public ::testing::TestWithParam<ConnectionCase> {};

TEST_P(ConnectionScript, ShowsWhatTheUserExpects) {
    const ConnectionCase& c = GetParam();
    SetupWindows w;
    w.generation = c.generation;
    if (c.edit) c.edit(w.configuration);
    const auto transcript = w.run(c.script);
    EXPECT_TRUE(linesInOrder(transcript, c.lines));
    // Nothing is left open.
    EXPECT_EQ(w.platform.findWindow(SigGenConnection::kWindowTag), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectionScript,
    ::testing::Values(
        ConnectionCase{"model_c_offers_gpib_and_lan_only",
                       "c",
                       [](Value& v) { v.setField("type", Value::text("RS232")); },
                       "press pbSigGenIO\nshow pmConnection String\nshow pmConnection Value\n"
                       "show configGPIB Visible\nshow pmPrimaryAddress Visible\nshow configRS232 Visible\n"
                       "show pmBaudRate Visible\nshow configTCPIP Visible\nshow lblStatus String\n"
                       "select pmBaudRate 3\npress pbOK\n",
                       {"window opened \"Signal Generator IO Connection\"", "show pmConnection String: GPIB|TCP/IP",
                        "show pmConnection Value: 1", "show configGPIB Visible: on",
                        "show pmPrimaryAddress Visible: on", "show configRS232 Visible: off",
                        "show pmBaudRate Visible: off", "show configTCPIP Visible: off", "show lblStatus String: ",
                        "window closed \"Signal Generator IO Connection\"",
                        "console: connection OK: GPIB GPIB 0/19/-1 RS232 1/9600/Xon/Xoff TCPIP 0.0.0.0/0",
                        kStandardFields}},
        ConnectionCase{"model_b_offers_serial_and_gpib_only",
                       "B",
                       [](Value& v) { v.setField("type", Value::text("tcpip")); },
                       "press pbSigGenIO\nshow pmConnection String\nshow pmConnection Value\npress pbOK\n",
                       {"show pmConnection String: RS232|GPIB", "show pmConnection Value: 2",
                        "console: connection OK: GPIB GPIB 0/19/-1 RS232 1/9600/Xon/Xoff TCPIP 0.0.0.0/0"}},
        ConnectionCase{"out_of_range_addresses_are_clamped_on_opening",
                       "c",
                       [](Value& v) {
                           v.field("GPIB").setField("board", Value::scalar(20));
                           v.field("GPIB").setField("primary", Value::scalar(40));
                           v.field("GPIB").setField("secondary", Value::scalar(-5));
                           v.field("RS232").setField("port", Value::scalar(0));
                       },
                       "press pbSigGenIO\nshow pmGpibBoard Value\nshow pmPrimaryAddress Value\n"
                       "show pmSecondaryAddress Value\npress pbOK\n",
                       {"show pmGpibBoard Value: 16", "show pmPrimaryAddress Value: 31",
                        "show pmSecondaryAddress Value: 1",
                        "console: connection OK: GPIB GPIB 15/30/-1 RS232 1/9600/Xon/Xoff TCPIP 0.0.0.0/0"}},
        ConnectionCase{"whole_list_positions_from_fractions_and_missing_fields",
                       "c",
                       [](Value& v) {
                           v.field("GPIB").setField("primary", Value::scalar(18.6));
                           v.rec().remove("TCPIP");
                           v.field("RS232").rec().remove("handshake");
                       },
                       "press pbSigGenIO\nshow pmPrimaryAddress Value\npress pbOK\n",
                       {"show pmPrimaryAddress Value: 20",
                        "console: connection OK: GPIB GPIB 0/19/-1 RS232 1/9600/Xon/Xoff TCPIP 0.0.0.0/0",
                        "console: fields: type,GPIB,RS232,BBGtype,LastParameterFilename,TCPIP"}},
        ConnectionCase{"flat_record_with_model_b",
                       "b",
                       [](Value& v) { v = flatRecord(); },
                       "press pbSigGenIO\nshow pmConnection Value\nshow pmHandShake Value\nshow pmPortNumber Value\n"
                       "show lblStatus String\nshow configRS232 Visible\npress pbOK\n",
                       {"show pmConnection Value: 1", "show pmHandShake Value: 1", "show pmPortNumber Value: 2",
                        "show lblStatus String: " + advice("None", "Off"), "show configRS232 Visible: on",
                        "console: connection OK: RS232 GPIB 0/19/-1 RS232 2/9600/None TCPIP 0.0.0.0/0",
                        "console: fields: BBGtype,type,GPIB,RS232,TCPIP"}},
        ConnectionCase{"flat_record_with_all_buses",
                       "",
                       [](Value& v) {
                           v = flatRecord();
                           v.setField("HandShake", Value::scalar(2));
                           v.setField("BaudRate", Value::scalar(38400));
                       },
                       "press pbSigGenIO\nshow pmConnection String\nshow pmConnection Value\n"
                       "show pmHandShake Value\npress pbOK\n",
                       {"window opened \"Signal Generator IO Connection\"", "show pmConnection String: RS232|GPIB|TCP/IP",
                        "show pmConnection Value: 1", "show pmHandShake Value: 3",
                        "console: connection OK: RS232 GPIB 0/19/-1 RS232 2/38400/RTS/CTS TCPIP 0.0.0.0/0"}},
        ConnectionCase{"flat_gpib_record",
                       "c",
                       [](Value& v) {
                           v = flatRecord();
                           v.setField("Connection", Value::scalar(2));
                           v.setField("Primary", Value::scalar(7));
                       },
                       "press pbSigGenIO\nshow pmConnection Value\nshow pmPrimaryAddress Value\npress pbOK\n",
                       {"show pmConnection Value: 1", "show pmPrimaryAddress Value: 8",
                        "console: connection OK: GPIB GPIB 0/7/-1 RS232 2/9600/None TCPIP 0.0.0.0/0"}},
        ConnectionCase{"lan_record_shows_tcp_ip",
                       "c",
                       [](Value& v) {
                           v.setField("type", Value::text("TCPIP"));
                           v.field("TCPIP").setField("address", Value::text("10.1.2.3"));
                           v.field("TCPIP").setField("board", Value::scalar(4));
                       },
                       "press pbSigGenIO\nshow pmConnection Value\nshow editTCPIPAddress String\n"
                       "show configTCPIP Visible\nshow configGPIB Visible\npress pbOK\n",
                       {"show pmConnection Value: 2", "show editTCPIPAddress String: 10.1.2.3",
                        "show configTCPIP Visible: on", "show configGPIB Visible: off",
                        "console: connection OK: TCPIP GPIB 0/19/-1 RS232 1/9600/Xon/Xoff TCPIP 10.1.2.3/0"}},
        ConnectionCase{"rates_outside_the_list_are_clamped_or_take_the_first_entry",
                       "",
                       [](Value& v) {
                           v.setField("type", Value::text("RS232"));
                           v.field("RS232").setField("baudrate", Value::scalar(115200));
                       },
                       "press pbSigGenIO\nshow pmBaudRate Value\npress pbOK\n",
                       {"show pmBaudRate Value: 3",
                        "console: connection OK: RS232 GPIB 0/19/-1 RS232 1/38400/Xon/Xoff TCPIP 0.0.0.0/0"}},
        ConnectionCase{"a_rate_between_entries_selects_the_first",
                       "",
                       [](Value& v) {
                           v.field("RS232").setField("baudrate", Value::scalar(10000));
                           v.field("RS232").setField("handshake", Value::text("xon/xoff"));
                       },
                       "press pbSigGenIO\nshow pmBaudRate Value\nshow pmHandShake Value\npress pbCancel\n",
                       {"show pmBaudRate Value: 1", "show pmHandShake Value: 2",
                        "console: connection Cancel: GPIB GPIB 0/19/-1 RS232 1/10000/xon/xoff TCPIP 0.0.0.0/0"}},
        ConnectionCase{"edits_come_back_on_ok",
                       "",
                       nullptr,
                       "press pbSigGenIO\nselect pmGpibBoard 3\nselect pmPrimaryAddress 1\n"
                       "select pmSecondaryAddress 33\nselect pmConnection 1\nselect pmPortNumber 4\n"
                       "select pmBaudRate 2\nselect pmHandShake 3\nselect pmConnection 3\n"
                       "type editTCPIPAddress 192.168.0.7\nselect pmConnection 1\npress pbOK\n",
                       {"console: connection OK: RS232 GPIB 2/0/31 RS232 4/19200/RTS/CTS TCPIP 192.168.0.7/0",
                        kStandardFields}},
        ConnectionCase{"cancel_and_close_return_the_record_as_opened",
                       "c",
                       [](Value& v) { v.field("GPIB").setField("primary", Value::scalar(40)); },
                       "press pbSigGenIO\nselect pmPrimaryAddress 5\npress pbCancel\n"
                       "press pbSigGenIO\nselect pmConnection 2\nclose\n",
                       {"console: connection Cancel: GPIB GPIB 0/30/-1 RS232 1/9600/Xon/Xoff TCPIP 0.0.0.0/0",
                        "window closed \"Signal Generator IO Connection\"",
                        "console: connection Cancel: GPIB GPIB 0/30/-1 RS232 1/9600/Xon/Xoff TCPIP 0.0.0.0/0"}},
        ConnectionCase{"handshake_advice_follows_the_selection",
                       "",
                       nullptr,
                       "press pbSigGenIO\nshow lblStatus String\nshow pmHandShake TooltipString\n"
                       "select pmConnection 1\nshow lblStatus String\n"
                       "select pmHandShake 3\nshow lblStatus String\nshow lblHandShake TooltipString\n"
                       "select pmHandShake 1\nshow pmHandShake TooltipString\n"
                       "select pmConnection 2\nshow lblStatus String\nshow pmHandShake TooltipString\npress pbCancel\n",
                       {"show lblStatus String: ", "show pmHandShake TooltipString: " + advice("Xon", "Off"),
                        "show lblStatus String: " + advice("Xon", "Off"),
                        "show lblStatus String: " + advice("None", "RTS/CTS Pacing"),
                        "show lblHandShake TooltipString: " + advice("None", "RTS/CTS Pacing"),
                        "show pmHandShake TooltipString: " + advice("None", "Off"), "show lblStatus String: ",
                        "show pmHandShake TooltipString: " + advice("None", "Off")}},
        ConnectionCase{"a_second_opening_while_open_is_refused",
                       "c",
                       nullptr,
                       "press pbSigGenIO\nselect pmConnection 2\nwindow host\npress pbSpecAnIO\n"
                       "window connection\nshow pmConnection Value\npress pbOK\n",
                       {"console: The connection dialog is already open.", "show pmConnection Value: 2",
                        "console: connection OK: TCPIP GPIB 0/19/-1 RS232 1/9600/Xon/Xoff TCPIP 0.0.0.0/0"}},
        ConnectionCase{"tooltips_break_lines_with_cr_lf",
                       "c",
                       nullptr,
                       "press pbSigGenIO\nshow pmBaudRate TooltipString\nshow pmPrimaryAddress TooltipString\n"
                       "press pbCancel\n",
                       {"show pmBaudRate TooltipString: Select the communication baud rate.\\r\\nNOTE: This must "
                        "agree with the instrument.",
                        "show pmPrimaryAddress TooltipString: Select the primary address of your source.\\r\\nThe "
                        "default factory setting is 19."}},
        ConnectionCase{"placed_over_the_parent_tops_level",
                       "c",
                       nullptr,
                       "press pbSigGenIO\nshow figureVisaAddress Position\nshow figureVisaAddress Units\n"
                       "press pbCancel\n",
                       {"show figureVisaAddress Position: [230 140 340 360]",
                        "show figureVisaAddress Units: pixels"}},
        ConnectionCase{"spectrum_analyzer_title_then_the_layouts_own",
                       "c",
                       nullptr,
                       "press pbSpecAnIO\nshow pmConnection String\nselect pmConnection 3\npress pbOK\n"
                       "press pbSigGenIO\npress pbCancel\n",
                       {"window opened \"Spectrum Analyzer IO Connection\"",
                        "show pmConnection String: RS232|GPIB|TCP/IP",
                        "console: spectrum analyzer connection OK: TCPIP GPIB 0/19/-1 RS232 1/9600/Xon/Xoff TCPIP "
                        "0.0.0.0/0",
                        "window opened \"Signal Generator IO Connection\"", "console: connection Cancel: GPIB"
                        " GPIB 0/19/-1 RS232 1/9600/Xon/Xoff TCPIP 0.0.0.0/0"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SigGenConnection, FieldsTheDialogDoesNotKnowComeBackUnchanged) {
    SetupWindows w;
    w.configuration.setField("BBGtype", Value::text("001"));
    w.configuration.setField("LastParameterFilename", Value::text("/tmp/a.mat"));
    w.configuration.field("TCPIP").setField("timeout", Value::scalar(3000));
    w.run("press pbSigGenIO\nselect pmConnection 2\npress pbOK\n");
    EXPECT_EQ(w.configuration.field("type"), Value::text("TCPIP"));
    EXPECT_EQ(w.configuration.field("BBGtype"), Value::text("001"));
    EXPECT_EQ(w.configuration.field("LastParameterFilename"), Value::text("/tmp/a.mat"));
    EXPECT_EQ(w.configuration.field("TCPIP").field("timeout"), Value::scalar(3000));
}

TEST(SigGenConnection, CancelLeavesTheMainWindowsRecord) {
    SetupWindows w;
    const Value before = w.configuration;
    w.run("press pbSigGenIO\nselect pmConnection 2\ntype editTCPIPAddress 1.2.3.4\npress pbCancel\n");
    EXPECT_EQ(w.configuration, before);
}

TEST(SigGenConnection, RecordsWithoutARecordStartFromTheDialogsDefaults) {
    SetupWindows w;
    w.configuration = Value::scalar(3);
    const auto transcript = w.run("press pbSigGenIO\npress pbOK\n");
    EXPECT_TRUE(linesInOrder(
        transcript, {"console: connection OK: GPIB GPIB 0/19/-1 RS232 1/19200/Xon/Xoff TCPIP 0.0.0.0/0",
                     "console: fields: type,GPIB,RS232,TCPIP"}));
}

TEST(SigGenConnection, InitConfigAndTheFlatRecordWithoutTheDialog) {
    test::ScenarioPlatform platform{{test::programLayouts()}};
    SigGenConnection dialog(platform);
    Value given = record({{"BBGtype", Value::text("001")},
                          {"GPIB", record({{"primary", Value::scalar(3)}, {"extra", Value::scalar(1)}})}});
    const Value init = SigGenConnection::initConfig(given);
    EXPECT_EQ(init.field("BBGtype"), Value::text("001"));
    EXPECT_EQ(init.field("GPIB").field("primary"), Value::scalar(19));
    EXPECT_EQ(init.field("GPIB").field("extra"), Value::scalar(1));
    EXPECT_EQ(init.field("RS232").field("baudrate"), Value::scalar(19200));
    EXPECT_EQ(init.field("TCPIP").field("address"), Value::text("0.0.0.0"));

    // Without the dialog's handshake list the flat record's handshake is Xon/Xoff.
    Value flat = flatRecord();
    flat.setField("HandShake", Value::scalar(2));
    const Value r = dialog.reStructureConfig(flat);
    EXPECT_EQ(r.field("type"), Value::text("RS232"));
    EXPECT_EQ(r.field("RS232").field("handshake"), Value::text("Xon/Xoff"));
    EXPECT_EQ(r.field("RS232").field("port"), Value::scalar(2));
    EXPECT_FALSE(r.hasField("Connection"));
    EXPECT_FALSE(r.hasField("HandShake"));
    // A flat record that lacks fields takes the defaults for them.
    const Value sparse = dialog.reStructureConfig(record({{"Connection", Value::text("x")}}));
    EXPECT_EQ(sparse.field("type"), Value::text("GPIB"));
    EXPECT_EQ(sparse.field("GPIB").field("primary"), Value::scalar(19));
    // A record of the current form passes unchanged.
    EXPECT_EQ(dialog.reStructureConfig(init), init);
}

TEST(SigGenConnection, ListPositionsAndTexts) {
    const Value buses = Value::cell({Value::text("RS232"), Value::text("GPIB"), Value::text("TCP/IP")});
    const std::pair<const char*, int> toIndex[] = {
        {"TCPIP", 3}, {"tcpip", 3}, {"tcp/ip", 3}, {"gpib", 2}, {"RS232", 1}, {"USB", 1}, {"", 1}};
    for (const auto& [text, index] : toIndex)
        EXPECT_EQ(SigGenConnection::ConvertStringToIndex(buses, text), index) << text;
    const std::pair<double, const char*> toText[] = {{1, "RS232"}, {2, "GPIB"}, {3, "TCPIP"}, {0, "RS232"}, {4, "RS232"}};
    for (const auto& [index, text] : toText)
        EXPECT_EQ(SigGenConnection::ConvertIndexToString(buses, index), text) << index;
    // Outside the list the first entry comes as it is.
    const Value lanFirst = Value::cell({Value::text("TCP/IP"), Value::text("GPIB")});
    EXPECT_EQ(SigGenConnection::ConvertIndexToString(lanFirst, 9), "TCP/IP");
    EXPECT_EQ(SigGenConnection::ConvertIndexToString(lanFirst, 1), "TCPIP");
}

// --- the check button

// The script that checks a LAN address and cancels.
std::string checkScript(const std::string& address) {
    return "press pbSigGenIO\nselect pmConnection 2\ntype editTCPIPAddress " + address +
           "\npress pbCheckHardware\nshow lblStatus String\nshow figureVisaAddress Pointer\npress pbCancel\n";
}

std::string shown(const std::vector<std::string>& transcript, const std::string& prefix) {
    for (const auto& line : transcript)
        if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return "(not shown)";
}

TEST(SigGenConnection, CheckFindsTheSimulatedInstrument) {
    SimulatorServer server({}, {});
    std::string error;
    ASSERT_TRUE(server.start(0, false, error)) << error;
    SetupWindows w;
    const Value before = w.configuration;
    const std::string address = "127.0.0.1:" + std::to_string(server.port());
    const auto transcript = w.run(checkScript(address));
    EXPECT_EQ(shown(transcript, "show lblStatus String: "),
              "Instrument found at TCPIP " + address + ": Tolvane,Simulated Signal Generator,US00000001,1.0");
    EXPECT_EQ(shown(transcript, "show figureVisaAddress Pointer: "), "arrow");
    EXPECT_EQ(w.configuration, before);  // the check never changes the record
}

TEST(SigGenConnection, CheckReportsASilentInstrument) {
    SimulatorFaults faults;
    faults.neverAnswer = true;
    SimulatorServer server({}, faults);
    std::string error;
    ASSERT_TRUE(server.start(0, false, error)) << error;
    instrumentDriver().setDefaultTimeout(150);
    SetupWindows w;
    const std::string address = "127.0.0.1:" + std::to_string(server.port());
    const auto transcript = w.run(checkScript(address));
    instrumentDriver().setDefaultTimeout(5000);
    const std::string status = shown(transcript, "show lblStatus String: ");
    EXPECT_EQ(status.rfind("No instrument answered at TCPIP " + address + ". ", 0), 0u) << status;
    EXPECT_EQ(shown(transcript, "show figureVisaAddress Pointer: "), "arrow");
}

// Replaces hwIO by name for the life of the object.
struct StandInDriver {
    explicit StandInDriver(std::function<void(Call&)> body) {
        library().initialize();
        FunctionSpec entry;
        entry.name = "hwIO";
        entry.inputs = -1;
        entry.outputs = 2;
        entry.body = std::move(body);
        library().registry().add(entry);
    }
    ~StandInDriver() { registerInstrument(library().registry()); }
};

TEST(SigGenConnection, CheckShowsTheWatchAndSendsTheDialogsRecord) {
    SetupWindows w;
    std::string pointer;
    Value sent;
    StandInDriver driver([&](Call& c) {
        const WindowId dialog = w.platform.findWindow(SigGenConnection::kWindowTag);
        pointer = w.platform.get(dialog, SigGenConnection::kWindowTag, "Pointer").str();
        sent = c.varargin().at(1);
        c.setOut(0, Value::scalar(1));
        c.setOut(1, Value::text("stand-in: nobody home"));
    });
    const auto transcript = w.run("press pbSigGenIO\nselect pmPrimaryAddress 8\npress pbCheckHardware\n"
                                  "show lblStatus String\nshow figureVisaAddress Pointer\npress pbCancel\n");
    EXPECT_EQ(pointer, "watch");
    EXPECT_EQ(sent.field("type"), Value::text("GPIB"));
    EXPECT_EQ(sent.field("GPIB").field("primary"), Value::scalar(7));
    EXPECT_TRUE(linesInOrder(transcript, {"show lblStatus String: stand-in: nobody home",
                                          "show figureVisaAddress Pointer: arrow"}));
}

TEST(SigGenConnection, CheckShowsAnErrorOfTheDriver) {
    SetupWindows w;
    StandInDriver driver([](Call&) { throw Error("the bus broke"); });
    const auto transcript = w.run(checkScript("10.0.0.1"));
    const std::string status = shown(transcript, "show lblStatus String: ");
    EXPECT_NE(status.find("the bus broke"), std::string::npos) << status;
    EXPECT_EQ(shown(transcript, "show figureVisaAddress Pointer: "), "arrow");
}

TEST(SigGenConnection, EveryTagTheLogicAddressesIsInTheLayout) {
    test::ScenarioPlatform platform{{test::programLayouts()}};
    const WindowId dialog = platform.openLayout(SigGenConnection::kLayoutName);
    EXPECT_EQ(platform.windowTag(dialog), SigGenConnection::kWindowTag);
    EXPECT_EQ(platform.get(dialog, SigGenConnection::kWindowTag, "Name"), Value::text("Signal Generator IO Connection"));
    for (const char* tag :
         {"pmConnection", "pmGpibBoard", "pmPrimaryAddress", "pmSecondaryAddress", "pmPortNumber", "pmBaudRate",
          "pmHandShake", "lblHandShake", "editTCPIPAddress", "lblStatus", "pbCheckHardware", "pbOK", "pbCancel",
          "configGPIB", "configTCPIP", "configRS232", "lblGpibBoard", "lblPrimaryAddress", "lblSecondaryAddress",
          "lblTCPIPAddress", "lblPortNumber", "lblBaudRate"})
        EXPECT_TRUE(platform.hasControl(dialog, tag)) << tag;
    const std::pair<const char*, std::size_t> sizes[] = {{"pmGpibBoard", 16},       {"pmPrimaryAddress", 31},
                                                         {"pmSecondaryAddress", 33}, {"pmPortNumber", 9},
                                                         {"pmHandShake", 3},         {"pmConnection", 3}};
    for (const auto& [tag, n] : sizes) EXPECT_EQ(platform.get(dialog, tag, "String").numel(), n) << tag;
    EXPECT_EQ(platform.get(dialog, "pmHandShake", "String").cells()[1], Value::text("Xon/Xoff"));
    EXPECT_EQ(platform.get(dialog, "pmConnection", "String").cells()[2], Value::text("TCP/IP"));
    const Value rates = platform.get(dialog, "pmBaudRate", "String");
    ASSERT_GE(rates.numel(), 3u);
    EXPECT_LT(std::stod(rates.cells()[0].str()), std::stod(rates.cells()[2].str()));
}

}  // namespace
}  // namespace tolvane::app
