// The framework of the main window: the readiness questions, download and
// refresh against the simulated instrument, the menus, the files, and the
// connection kept between runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "app/windows/app_globals.hpp"
#include "app_harness.hpp"
#include "base/version.hpp"
#include "instrument/simulator_server.hpp"
#include "runtime/library.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/parameter_file.hpp"
#include "runtime/parameters_value.hpp"

namespace tolvane::app {
namespace {

using Lines = std::vector<std::string>;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const char* const kNotCalculated =
    "dialog question \"Waveform Not Calculated\": The waveform has not yet been calculated. Do you wish to "
    "calculate\\nthe waveform and then download ? [Calculate & Download|Cancel]";
const char* const kNotRecalculated =
    "dialog question \"Waveform Not Recalculated\": Settings have changed since last calculating the "
    "waveform.\\nDownload will use the last calculated waveform.\\nDo you wish to download anyway ? [Yes|Recalc & "
    "Download|Cancel]";

// A simulated instrument on loopback TCP that the application's connection
// points at.
struct Instrument {
    SimulatorServer server{SimulatorOptions{}, SimulatorFaults{}};
    Instrument() {
        std::string error;
        if (!server.start(0, false, error)) throw std::runtime_error(error);
    }
    void connect() {
        Connection& c = session().connection().bus;
        c.type = "TCPIP";
        c.tcpip.address = "127.0.0.1:" + std::to_string(server.port());
    }
    std::size_t waveforms() {
        return server.withInstrument([](SimulatedInstrument& i) { return i.waveforms().size(); });
    }
};

TEST(Framework, DownloadAsksUntilTheWaveformIsCurrentAndSendsIt) {
    test::WorkFolder folder;
    test::AppRun run;
    Instrument instrument;
    instrument.connect();

    // Never calculated: Cancel sends nothing.
    EXPECT_EQ(run.run("answer Cancel\npress pbDownload\n"), Lines{kNotCalculated});
    EXPECT_EQ(instrument.waveforms(), 0u);

    // Calculate & Download: the frame goes to the instrument and plays.
    EXPECT_EQ(run.run("press pbDownload\n"),
              (Lines{kNotCalculated, "dialog message \"Download Completed\": Waveform has been successfully "
                                     "transferred to the instrument [OK]"}));
    EXPECT_EQ(instrument.waveforms(), 1u);
    EXPECT_FALSE(global("appInfo").field("LastCalcTimeStamp").isEmpty());

    // A generator setting alone never asks for a recalculation.
    EXPECT_EQ(run.run("type txtAmplitude -20\npress pbDownload\n"),
              Lines{"dialog message \"Download Completed\": Waveform has been successfully transferred to the "
                    "instrument [OK]"});

    // A changed parameter asks with three buttons; Cancel stops.
    EXPECT_EQ(run.run("type txtOffsetIndex 3\nanswer Cancel\npress pbDownload\n"), Lines{kNotRecalculated});
    const Value stale = global("appInfo").field("LastCaluclatedParameterSet");
    EXPECT_EQ(run.run("answer Recalc & Download\npress pbDownload\n"),
              (Lines{kNotRecalculated, "dialog message \"Download Completed\": Waveform has been successfully "
                                       "transferred to the instrument [OK]"}));
    EXPECT_FALSE(global("appInfo").field("LastCaluclatedParameterSet") == stale);
    EXPECT_EQ(run.platform.get(run.app.scriptWindow("main"), "main", "Pointer").str(), "arrow");

    // Refresh sends the settings only and is silent on success.
    EXPECT_EQ(run.run("press pbRefresh\n"), Lines{});
}

// Declining the question before a long serial-line download is a cancel
// the user chose: it is told as such, with what the instrument holds, never
// under an error title.
TEST(Framework, ADeclinedSerialDownloadIsACancelNotAnError) {
    test::WorkFolder folder;
    test::AppRun run;
    SimulatorServer server{SimulatorOptions{}, SimulatorFaults{}};
    std::string error;
    ASSERT_TRUE(server.start(0, true, error)) << error;
    ASSERT_EQ(::setenv("TOLVANE_SERIAL_PORT3", server.ptyPath().c_str(), 1), 0);
    Connection& c = session().connection().bus;
    c.type = "RS232";
    c.rs232.port = 3;
    c.rs232.baudrate = 9600;
    c.rs232.handshake = "None";
    const Lines lines = run.run("press pbCalculate\nanswer Cancel\npress pbDownload\n");
    ::unsetenv("TOLVANE_SERIAL_PORT3");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("dialog question \"RS-232 Download\": This download will take approximately", 0), 0u)
        << lines[0];
    EXPECT_EQ(lines[1],
              "dialog message \"Download Cancelled\": Download cancelled.\\nNothing of \"OneX-Fwd\" was sent: the "
              "instrument holds the waveforms it held before. [OK]");
    EXPECT_EQ(server.withInstrument([](SimulatedInstrument& i) { return i.waveforms().size(); }), 0u);
}

// Calculate, Download and Refresh each leave a short line in the status
// area, so a finished job is seen without a dialog; nothing else changes.
TEST(Framework, JobsLeaveAStatusLine) {
    test::WorkFolder folder;
    test::AppRun run;
    Instrument instrument;
    instrument.connect();
    const std::string where = "TCPIP 127.0.0.1:" + std::to_string(instrument.server.port());
    EXPECT_EQ(run.run("show txtStatus String\n"), Lines{"show txtStatus String: "});
    const Lines calculated = run.run("type txtOversampling 30\npress pbCalculate\nshow txtStatus String\n");
    ASSERT_EQ(calculated.size(), 1u);
    EXPECT_TRUE(std::regex_match(calculated[0], std::regex("show txtStatus String: Calculated 983 040 samples at "
                                                             "36\\.864 MHz in [0-9]+\\.[0-9]{2} s")))
        << calculated[0];
    EXPECT_EQ(run.run("press pbDownload\nshow txtStatus String\n"),
              (Lines{"dialog message \"Download Completed\": Waveform has been successfully transferred to the "
                     "instrument [OK]",
                     "show txtStatus String: Downloaded \"OneX-Fwd\" (983 040 samples) to " + where}));
    EXPECT_EQ(run.run("press pbRefresh\nshow txtStatus String\n"),
              Lines{"show txtStatus String: Sent the generator settings to " + where});
}

TEST(Framework, FailuresOfTheInstrumentAreReportedByStep) {
    test::WorkFolder folder;
    test::AppRun run;
    Connection& c = session().connection().bus;
    c.type = "TCPIP";
    c.tcpip.address = "127.0.0.1:1";  // nothing listens there
    const Lines download = run.run("press pbCalculate\npress pbDownload\n");
    ASSERT_EQ(download.size(), 1u);
    EXPECT_EQ(download[0].rfind("dialog message \"Error Occured During Waveform Download\": ", 0), 0u) << download[0];
    const Lines refresh = run.run("press pbRefresh\n");
    ASSERT_EQ(refresh.size(), 1u);
    EXPECT_EQ(refresh[0].rfind("dialog message \"Error Occured During Instrument Setup\": ", 0), 0u) << refresh[0];
}

TEST(Framework, AFailedCalculationKeepsTheBookkeepingAndThePointer) {
    test::WorkFolder folder;
    test::AppRun run;
    Value p = library().globals().get("parameters");
    p.setField("DATAchnActive", Value::scalar(1));
    p.setField("DATAsourceType", Value::scalar(7));
    p.setField("dataSourceBitstream", Value::empty());
    library().globals().set("parameters", p);
    const Lines t = run.run("press pbCalculate\n");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].rfind("console: ", 0), 0u);
    EXPECT_TRUE(global("appInfo").field("LastCalcTimeStamp").isEmpty());
    EXPECT_EQ(run.platform.get(run.app.scriptWindow("main"), "main", "Pointer").str(), "arrow");
}

TEST(Framework, SaveAsOpenAndNewFollowTheFileName) {
    test::WorkFolder folder;
    test::AppRun run;
    const std::string f = folder.path();
    const std::string title = "show main Name: Veltran Sonvale - 1xEV Forward Link";
    EXPECT_EQ(run.run("type txtOffsetIndex 77\ntype txtAmplitude -33\nfile " + f + "mytest\nmenu menuFileSaveAs\n"
                      "show main Name\n"),
              (Lines{"dialog file \"Save Parameter File As\": *.mat [Save|Cancel]", title + " : " + f + "mytest.mat"}));
    EXPECT_EQ(run.run("file " + f + "other.MAT\nmenu menuFileSaveAs\nshow main Name\n").back(),
              title + " : " + f + "other.MAT.mat");
    // New: defaults, no file name; the connection stays.
    EXPECT_EQ(run.run("menu menuFileNew\nshow main Name\nshow txtOffsetIndex String\nshow txtAmplitude String\n"),
              (Lines{title, "show txtOffsetIndex String: 0", "show txtAmplitude String: -30"}));
    // Open keeps the name as chosen and restores both records.
    EXPECT_EQ(run.run("file " + f + "mytest.mat\nmenu menuFileOpen\nshow main Name\nshow txtOffsetIndex String\n"
                      "show txtAmplitude String\n"),
              (Lines{"dialog file \"Open Parameter File\": *.mat [Open|Cancel]", title + " : " + f + "mytest.mat",
                     "show txtOffsetIndex String: 77", "show txtAmplitude String: -33"}));
    // Save writes to the current file without a dialog.
    EXPECT_EQ(run.run("type txtOffsetIndex 78\nmenu menuFileSave\n"), Lines{});
    EXPECT_EQ(loadParameterFile(f + "mytest.mat").parameters.PilotOffsetIndex, 78);
    EXPECT_EQ(readMatFile(f + "mytest.mat").at("filename").str(), f + "mytest.mat");
}

TEST(Framework, TheSpecialPrefixSavesTheWaveformInstead) {
    test::WorkFolder folder;
    test::AppRun run;
    const std::string f = folder.path();
    run.run("press pbCalculate\n");
    EXPECT_EQ(run.run("file " + f + "mivolta.wave1.bin\nanswer MAT\nmenu menuFileSaveAs\nshow main Name\n"),
              (Lines{"dialog file \"Save Parameter File As\": *.mat [Save|Cancel]",
                     "dialog question \"Special Save\": Select file format. [ASCII|Ironmoth|MAT]",
                     "show main Name: Veltran Sonvale - 1xEV Forward Link"}));
    const Value samples = readMatFile(f + "wave1.bin").at("samples");
    EXPECT_EQ(samples.rows(), 163840u);
    EXPECT_EQ(samples.cols(), 1u);
    EXPECT_TRUE(samples.isComplex());
    run.run("file " + f + "mivolta.wave2\nmenu menuFileSaveAs\n");  // no answer: the default, ASCII
    const Value ascii = readMatFile(f + "wave2").at("samples");
    EXPECT_EQ(ascii.cols(), 2u);
    EXPECT_TRUE(ascii.isReal());
    // Exactly the prefix: a parameter file.
    run.run("file " + f + "mivolta.\nmenu menuFileSaveAs\n");
    EXPECT_NO_THROW(loadParameterFile(f + "mivolta..mat"));
}

TEST(Framework, OpenRefusesFilesOfAnotherKindAndChangesNothing) {
    test::WorkFolder folder;
    test::AppRun run;
    const std::string f = folder.path();
    Record noParameters;
    noParameters.set("x", Value::scalar(1));
    writeMatFile(f + "plain.mat", noParameters);
    Record otherId;
    Value other = parametersToValue(defaultFrameConfig());
    other.setField("ParameterFileFormat_ID", Value::text("Other - Format 9"));
    otherId.set("fileParameters", other);
    writeMatFile(f + "other.mat", otherId);
    Record lacking;
    Value partial = parametersToValue(defaultFrameConfig());
    partial.rec().remove("OverSampling");
    lacking.set("fileParameters", partial);
    writeMatFile(f + "lacking.mat", lacking);
    std::ofstream(f + "text.mat") << "not a MAT-file";

    run.run("type txtOffsetIndex 9\n");
    EXPECT_EQ(run.run("file " + f + "plain.mat\nmenu menuFileOpen\n").back(),
              "dialog error \"Error Loading File\": " + f + "plain.mat\\nhas an Invalid File Format. [OK]");
    EXPECT_EQ(run.run("file " + f + "other.mat\nmenu menuFileOpen\n").back(),
              "dialog error \"Error Loading File\": " + f + "other.mat\\nhas an Invalid File Parameter ID. [OK]");
    const Lines t = run.run("file " + f + "lacking.mat\nmenu menuFileOpen\n");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_NE(t[1].find("OverSampling"), std::string::npos) << t[1];
    EXPECT_EQ(t[2], "dialog error \"Error Loading File\": " + f + "lacking.mat\\nhas an Invalid File Structure. [OK]");
    EXPECT_EQ(run.run("file " + f + "text.mat\nmenu menuFileOpen\n").back().rfind(
                  "dialog error \"Error Loading File\": ", 0),
              0u);
    EXPECT_EQ(run.run("show txtOffsetIndex String\nshow main Name\n"),
              (Lines{"show txtOffsetIndex String: 9", "show main Name: Veltran Sonvale - 1xEV Forward Link"}));
}

TEST(Framework, AFileWithoutGeneratorSettingsKeepsTheCurrentOnes) {
    test::WorkFolder folder;
    test::AppRun run;
    const std::string f = folder.path();
    Record vars;
    Value p = parametersToValue(defaultFrameConfig());
    p.setField("PilotOffsetIndex", Value::scalar(5));
    vars.set("fileParameters", p);
    writeMatFile(f + "nosettings.mat", vars);
    EXPECT_EQ(run.run("type txtAmplitude -12\nfile " + f + "nosettings.mat\nmenu menuFileOpen\n"
                      "show txtOffsetIndex String\nshow txtAmplitude String\n"),
              (Lines{"dialog file \"Open Parameter File\": *.mat [Open|Cancel]", "show txtOffsetIndex String: 5",
                     "show txtAmplitude String: -12"}));
}

TEST(Framework, UserDataFilesGiveTheirBitsAndRememberTheFolder) {
    test::WorkFolder folder;
    test::AppRun run;
    const std::string f = folder.path();
    std::ofstream(f + "two.bin", std::ios::binary) << std::string("\x01\x80", 2);
    std::ofstream(f + "empty.bin", std::ios::binary).close();
    run.run("check chkDATAchnActive 1\nfile " + f + "two.bin\nselect pdDATAsourceType 7\n");
    const Value bits = library().globals().get("parameters").field("dataSourceBitstream");
    ASSERT_EQ(bits.numel(), 16u);
    std::string text;
    for (std::size_t i = 0; i < bits.numel(); ++i) text += bits.realAt(i) != 0 ? '1' : '0';
    EXPECT_EQ(text, "1000000000000001");
    EXPECT_EQ(numberField(library().globals().get("parameters"), "DATAsourceType"), 7);
    EXPECT_EQ(textField(library().globals().get("parameters"), "LastPath"), f);

    // The next dialog starts there; an empty file is refused and the source stays.
    EXPECT_EQ(run.run("select pdDATAsourceType 5\nfile " + f + "empty.bin\nselect pdDATAsourceType 7\n"
                      "show pdDATAsourceType Value\n"),
              (Lines{"dialog file \"Select data source file.\": *.* [Open|Cancel]",
                     "dialog error \"File Error\": " + f +
                         "empty.bin\\nis empty: a data source file needs at least one byte. [OK]",
                     "show pdDATAsourceType Value: 5"}));
    EXPECT_EQ(run.platform.lastDialogFolder(), f);
    EXPECT_EQ(run.run("file " + f + "missing.bin\nselect pdDATAsourceType 7\n").back(),
              "dialog error \"File Error\": Could not open\\n" + f + "missing.bin [OK]");
}

TEST(Framework, ExportWritesASigmfRecordingOfTheInstrumentWords) {
    test::WorkFolder folder;
    test::AppRun run;
    const std::string f = folder.path();
    EXPECT_EQ(run.run("type txtOversampling 2\npress pbCalculate\nfile " + f +
                      "frame.sigmf-meta\nmenu menuFileExportData\nshow txtStatus String\n")
                  .back(),
              "show txtStatus String: Exported 65 536 samples (ci16_le) to " + f + "frame.sigmf-data");
    const std::string data = readAll(f + "frame.sigmf-data");
    EXPECT_EQ(data.size(), 65536u * 4);
    const auto meta = nlohmann::json::parse(readAll(f + "frame.sigmf-meta"));
    EXPECT_EQ(meta["global"]["core:datatype"], "ci16_le");
    EXPECT_EQ(meta["global"]["core:sample_rate"], 2457600.0);
    EXPECT_EQ(meta["captures"][0]["core:frequency"], 2200000000.0);
    ASSERT_EQ(meta["annotations"].size(), 17u);
    EXPECT_EQ(meta["annotations"][0]["tolvane:parameters"]["OverSampling"], 2);
    EXPECT_EQ(meta["annotations"][16]["core:sample_start"], 15u * 4096);
    EXPECT_EQ(meta["annotations"][1]["tolvane:slot"]["RPCslotGain"].size(), 59u);
    EXPECT_TRUE(meta["annotations"][1]["tolvane:slot"]["DATAslotMod"].is_number());
    // The largest component is full scale, little-endian.
    int peak = 0;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const auto word = static_cast<std::int16_t>((static_cast<unsigned char>(data[i + 1]) << 8) |
                                                    static_cast<unsigned char>(data[i]));
        peak = std::max(peak, std::abs(static_cast<int>(word)));
    }
    EXPECT_EQ(peak, 32767);
}

TEST(Framework, SaveWaveWritesSamplesAndRate) {
    // The Special menu is hidden: its items are reached by name only.
    test::WorkFolder folder;
    test::AppRun run;
    const std::string f = folder.path();
    EXPECT_EQ(run.run("menu menuSpecialSaveWave\n"), Lines{});
    auto byName = [](const char* op) { library().registry().call("rfCommonUI", 0, {Value::text(op)}); };
    run.platform.queueAnswer("Cancel");
    byName("menuSpecialSaveWave_Callback");  // never calculated: Cancel stops before the file dialog
    EXPECT_EQ(run.platform.transcript().back().rfind("dialog question \"Waveform Not Calculated\"", 0), 0u);
    run.run("press pbCalculate\n");
    run.platform.queueFile(FileChoice{false, "wave.txt", f});
    byName("menuSpecialSaveWave_Callback");
    const Record vars = readMatFile(f + "wave.txt");
    EXPECT_EQ(vars.at("samplePoints").realAt(0), 163840);
    EXPECT_EQ(vars.at("sampleRate").realAt(0), 6144000);
    EXPECT_EQ(vars.at("wave").rows(), 163840u);
    EXPECT_EQ(vars.at("wave").cols(), 2u);
}

TEST(Framework, MenusOfConfigurationAndHelp) {
    test::WorkFolder folder;
    test::AppRun run;
    EXPECT_EQ(run.run("show menuConfigBBG1Opt1 Checked\nshow menuConfigBBG1Opt2 Checked\nmenu menuConfigBBG1Opt1\n"
                      "show menuConfigBBG1Opt1 Checked\nshow menuConfigBBG1Opt2 Checked\n"),
              (Lines{"show menuConfigBBG1Opt1 Checked: off", "show menuConfigBBG1Opt2 Checked: on",
                     "show menuConfigBBG1Opt1 Checked: on", "show menuConfigBBG1Opt2 Checked: off"}));
    EXPECT_EQ(textField(library().globals().get("configuration"), "BBGtype"), "001");

    EXPECT_EQ(run.run("menu menuHelpHelp\n"), Lines{});
    ASSERT_EQ(run.platform.browserRequests().size(), 1u);
    EXPECT_TRUE(std::filesystem::is_regular_file(run.platform.browserRequests()[0]));

    // The notice fits the program's licence and names the version it was built as.
    EXPECT_EQ(run.run("menu menuHelpAbout\nshow lblRevision String\nshow txtNotesLine3 String\n"
                      "show lblCopyright String\nclose\n"),
              (Lines{"window opened \"1xEV Forward Link\"", "show lblRevision String: A.02.02.001       ",
                     "show txtNotesLine3 String: Veltran Z9104K series RF Signal Generators.",
                     std::string("show lblCopyright String: Tolvane ") + versionText() +
                         ", Copyright (C) 2026 the Tolvane developers.\\nGPL-3.0-or-later, see LICENSE.",
                     "window closed \"1xEV Forward Link\""}));
}

TEST(Framework, ExitKeepsTheConnectionForTheNextStart) {
    test::WorkFolder folder;
    {
        test::AppRun run;
        run.run("file " + folder.path() + "p\nmenu menuFileSaveAs\nmenu menuConfigBBG1Opt1\nmenu menuFileExit\n");
        EXPECT_FALSE(run.app.running());
    }
    ASSERT_TRUE(std::filesystem::exists("rfIOConfig.mat"));
    test::AppRun again;
    EXPECT_EQ(again.run("show menuConfigBBG1Opt1 Checked\nshow main Name\n"),
              (Lines{"show menuConfigBBG1Opt1 Checked: on", "show main Name: Veltran Sonvale - 1xEV Forward Link"}));
}

TEST(Framework, AConnectionFileOfAnotherKindIsIgnored) {
    test::WorkFolder folder;
    Record vars;
    vars.set("somethingElse", Value::scalar(3));
    writeMatFile("rfIOConfig.mat", vars);
    test::AppRun run;
    EXPECT_EQ(textField(library().globals().get("configuration"), "type"), "GPIB");
}

}  // namespace
}  // namespace tolvane::app
