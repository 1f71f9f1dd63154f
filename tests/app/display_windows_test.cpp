// The Plot menu: the readiness question, the displays opened over the main
// window with their titles, the eye and scatter prompts, and the client
// windows closed at exit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "app/windows/app_globals.hpp"
#include "app_harness.hpp"
#include "runtime/library.hpp"

namespace tolvane::app {
namespace {

using Lines = std::vector<std::string>;

void expectMatches(const Lines& got, const std::vector<std::string>& patterns) {
    ASSERT_EQ(got.size(), patterns.size()) << ::testing::PrintToString(got);
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_TRUE(std::regex_match(got[i], std::regex(patterns[i]))) << got[i] << "\n  vs " << patterns[i];
}

const std::string kStamp = R"(\(\d{2}[A-Z]{3}\d{4} \d{1,2}:\d{2}:\d{2}\))";

TEST(DisplayWindows, PlotMenuOpensEachDisplayOverTheMainWindow) {
    test::WorkFolder folder;
    test::AppRun run;
    expectMatches(run.run("answer Cancel\nmenu menuPlotCCDF\n"),
                  {R"(dialog question "Waveform Not Calculated": .*then plot \? \[Calculate & Plot\|Cancel\])"});
    EXPECT_TRUE(run.platform.figures().empty());
    expectMatches(run.run("type txtOversampling 2\nmenu menuPlotCCDF\nmenu menuPlotSpectrum\nmenu menuPlotIQTime\n"
                          "menu menuPlotIQTimeSameAxes\n"),
                  {R"(dialog question "Waveform Not Calculated": .*)",
                   R"(window opened "CCDF 1xEV Forward Link )" + kStamp + "\"",
                   R"(window opened "Magnitude Spectrum 1xEV Forward Link )" + kStamp + "\"",
                   R"(window opened "I\(t\) Q\(t\) 1xEV Forward Link )" + kStamp + "\"",
                   R"(window opened "I\(t\) Q\(t\) 1xEV Forward Link )" + kStamp + "\""});
    const auto& figures = run.platform.figures();
    ASSERT_EQ(figures.size(), 4u);
    // Placed over the main window: 0.8 of its size.
    const Value main = run.platform.get(run.app.scriptWindow("main"), "main", "Position");
    EXPECT_DOUBLE_EQ(figures[0].position[2], main.realAt(2) * 0.8);
    EXPECT_EQ(figures[1].axes.at(0).xLabel, "Frequency (MHz)");  // 2.4576 MHz
    EXPECT_EQ(figures[2].axes.size(), 2u);
    EXPECT_EQ(figures[3].axes.size(), 1u);
    EXPECT_EQ(global("appInfo").field("ClientWindows").numel(), 4u);

    // One closed by hand; the exit closes the rest and does not trip over it.
    const auto first = static_cast<WindowId>(global("appInfo").field("ClientWindows").realAt(0));
    run.platform.requestClose(first);
    const Lines exit = run.run("menu menuFileExit\n");
    ASSERT_EQ(exit.size(), 4u);
    EXPECT_EQ(exit.back(), "window closed \"Veltran Sonvale - 1xEV Forward Link\"");
}

TEST(DisplayWindows, EyeAndScatterAskForTheirArguments) {
    test::WorkFolder folder;
    test::AppRun run;
    run.run("type txtOversampling 2\npress pbCalculate\n");
    auto byName = [](const char* op) { library().registry().call("rfCommonUI", 0, {Value::text(op)}); };
    const std::size_t before = run.platform.transcript().size();
    run.platform.queueAnswer("3|0.5");
    byName("menuPlotEyeDiagram_Callback");
    run.platform.queueAnswer("0|2");
    byName("menuPlotScatterDiagram_Callback");
    run.platform.queueAnswer("close");
    byName("menuPlotEyeDiagram_Callback");  // cancelled: nothing opens
    const auto& t = run.platform.transcript();
    expectMatches(Lines(t.begin() + static_cast<std::ptrdiff_t>(before), t.end()),
                  {R"(dialog input "Eye Diagram Configuration": Enter number of symbols:\\nEnter symbol delay \(0-1\): \[OK\|Cancel\])",
                   R"(window opened "Eye Diagram 1xEV Forward Link )" + kStamp + "\"",
                   R"(dialog input "Scatter Diagram Configuration": Trace On \(0\|1\):\\nEnter symbol delay \(0-1\): \[OK\|Cancel\])",
                   R"(window opened "Scatter Diagram 1xEV Forward Link )" + kStamp + "\"",
                   R"(dialog input "Eye Diagram Configuration": .*)"});
    ASSERT_EQ(run.platform.figures().size(), 2u);
    EXPECT_EQ(run.platform.get(run.app.scriptWindow("main"), "main", "Pointer").str(), "arrow");
}

TEST(DisplayWindows, AnEyeThatCannotBeDrawnSaysSo) {
    test::WorkFolder folder;
    test::AppRun run;
    run.run("type txtOversampling 2\npress pbCalculate\n");
    // Every symbol of the frame in one trace, started half a symbol late:
    // no whole trace remains.
    run.platform.queueAnswer("1e9|0.5");
    library().registry().call("rfCommonUI", 0, {Value::text("menuPlotEyeDiagram_Callback")});
    EXPECT_EQ(run.platform.transcript().back().rfind("dialog error \"Plot Error\": Unable to Plot Eye Diagram\\n", 0),
              0u)
        << run.platform.transcript().back();
    EXPECT_TRUE(global("appInfo").field("ClientWindows").isEmpty());
}

TEST(DisplayWindows, DisplaysByNameTakeDefaults) {
    test::WorkFolder folder;
    test::AppRun run;
    const auto fig = library().registry().call("QV_PlotCCDF", 1, {});
    ASSERT_TRUE(fig[0].isHandle());
    EXPECT_EQ(run.platform.transcript().back(), "window opened \"CCDF Test Data\"");
    library().registry().call("QV_PlotIQTime", 1, {Value::scalar(0), Value::text("x")});
    EXPECT_EQ(run.platform.transcript().back(), "window opened \"I(t) Q(t) No Data\"");
    EXPECT_THROW(library().registry().call("QV_PlotCCDF", 1, {Value::scalar(0), Value::text("a"), Value::empty(),
                                                              Value::scalar(1)}),
                 Error);
}


// The receiver behind the Plot menu: the calculated frame analysed with the
// settings it was made with, its MAC codes as bars and its PN offset found
// (data on, so that the two halves of a slot differ and the offset is not
// ambiguous by half a slot).
TEST(DisplayWindows, CodeDomainPowerAnalysesTheCalculatedFrame) {
    test::WorkFolder folder;
    test::AppRun run;
    const Lines t = run.run("type txtOversampling 4\ntype txtOffsetIndex 211\ncheck chkDATAchnActive 1\n"
                            "check chkMACchnActive 1\npress pbCalculate\n"
                            "menu menuPlotCodeDomainPower\nshow txtStatus String\n");
    expectMatches(t, {R"(window opened "Code Domain Power 1xEV Forward Link )" + kStamp + "\"",
                      R"(show txtStatus String: Analysed 16 slots: PN offset 211, rho (1|0\.99\d*)\.)"});
    const auto& figures = run.platform.figures();
    ASSERT_EQ(figures.size(), 1u);
    ASSERT_EQ(figures[0].axes.size(), 1u);
    EXPECT_EQ(figures[0].axes[0].tag, "QV_CodeDomain");
    ASSERT_EQ(figures[0].texts.size(), 1u);
    EXPECT_EQ(figures[0].texts[0].lines.at(0), "PN offset    211");
    EXPECT_EQ(global("appInfo").field("ClientWindows").numel(), 1u);
}

// File > Analyze Recording: what the file holds, the .bin question, and a
// file that is no recording refused in a dialog, with no window opened.
TEST(DisplayWindows, AnalyzeRecordingOpensWhatTheFileHolds) {
    test::WorkFolder folder;
    const std::string f = folder.path();
    const std::string cli = TOLVANE_CLI;
    for (const char* name : {"capture.mat", "capture.bin"})
        ASSERT_EQ(std::system((cli + " generate --set OverSampling=2 --set PilotOffsetIndex=35 --set DATAchnActive=1 --out " + f + name +
                               " >/dev/null")
                                  .c_str()),
                  0);
    test::AppRun run;
    Lines t = run.run("file " + f + "capture.mat\nmenu menuFileAnalyzeRecording\nshow txtStatus String\n");
    expectMatches(t, {R"(dialog file "Analyze Recording": .*)", R"re(window opened "Code Domain Power \(capture\.mat\)")re",
                      R"(show txtStatus String: Analysed 16 slots: PN offset 35, .*)"});
    t = run.run("file " + f + "capture.bin\nanswer 2\nmenu menuFileAnalyzeRecording\nshow txtStatus String\n");
    expectMatches(t, {R"(dialog file "Analyze Recording": .*)",
                      R"(dialog input "Analyze Recording": Oversampling of the recording \(1-64\): \[OK\|Cancel\])",
                      R"re(window opened "Code Domain Power \(capture\.bin\)")re",
                      R"(show txtStatus String: Analysed 16 slots: PN offset 35, .*)"});
    {
        std::ofstream junk(f + "junk.sigmf-meta");
        junk << "{ not json";
    }
    t = run.run("file " + f + "junk.sigmf-meta\nmenu menuFileAnalyzeRecording\n");
    expectMatches(t, {R"(dialog file "Analyze Recording": .*)", R"(dialog error "Analysis Error": .*junk\.sigmf-meta.*)"});
    EXPECT_EQ(run.platform.figures().size(), 2u);
}

}  // namespace
}  // namespace tolvane::app
