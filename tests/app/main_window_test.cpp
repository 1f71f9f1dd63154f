// The main window, its generator panel and the advanced settings, driven the
// way a person uses them: what the controls show after each entry.
#include <gtest/gtest.h>

#include "app_harness.hpp"
#include "app/windows/app_globals.hpp"
#include "base/diagnostics.hpp"
#include "runtime/config_fields.hpp"

namespace tolvane::app {
namespace {

struct WindowCase {
    const char* name;
    const char* script;
    std::vector<std::string> transcript;
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

class MainWindowScript : public ::testing::TestWithParam<WindowCase> {};

TEST_P(MainWindowScript, ShowsWhatWasStored) {
    test::WorkFolder folder;
    test::AppRun run;
    EXPECT_EQ(run.run(GetParam().script), GetParam().transcript);
}

const WindowCase kCases[] = {
    {"OffsetIndexIsTruncatedAndClamped",
     "type txtOffsetIndex 600\nshow txtOffsetIndex String\ntype txtOffsetIndex -3\nshow txtOffsetIndex String\n"
     "type txtOffsetIndex twelve\nshow txtOffsetIndex String\ntype txtOffsetIndex 12.9\nshow txtOffsetIndex String\n"
     "type txtOffsetIndex [3 7 2]\nshow txtOffsetIndex String\ntype txtOffsetIndex 1+1\nshow txtOffsetIndex String\n",
     {"show txtOffsetIndex String: 511", "show txtOffsetIndex String: 0", "show txtOffsetIndex String: 0",
      "show txtOffsetIndex String: 12", "show txtOffsetIndex String: 7", "show txtOffsetIndex String: 7"}},
    {"IdleGainKeepsFractionsWithinItsRange",
     "type txtIdleSlotGain -100\nshow txtIdleSlotGain String\ntype txtIdleSlotGain 5\nshow txtIdleSlotGain String\n"
     "type txtIdleSlotGain -12.5\nshow txtIdleSlotGain String\n",
     {"show txtIdleSlotGain String: -80", "show txtIdleSlotGain String: 0", "show txtIdleSlotGain String: -12.5"}},
    // Text that is no number keeps what the entry holds, so the next Calculate
    // makes the same frame; a blank entry still takes the lower bound.
    {"TypoKeepsTheStoredNumber",
     "type txtOversampling 30\ntype txtOversampling abc\nshow txtOversampling String\n"
     "show txtNumberOfSamples String\npress pbAdvancedSettings\nshow txtSamplingRate String\npress pbCancel\n"
     "type txtIdleSlotGain -12.5\ntype txtIdleSlotGain 1O\nshow txtIdleSlotGain String\n"
     "type txtOversampling \nshow txtOversampling String\n",
     {"show txtOversampling String: 30", "show txtNumberOfSamples String: 983040 Samples",
      "window opened \"Advanced Signal Generator Settings\"", "show txtSamplingRate String: 36.864",
      "window closed \"Advanced Signal Generator Settings\"", "show txtIdleSlotGain String: -12.5",
      "show txtOversampling String: 2"}},
    {"OversamplingSetsLengthAndSampleRate",
     "type txtOversampling 1\nshow txtOversampling String\nshow txtNumberOfSamples String\n"
     "press pbAdvancedSettings\nshow txtSamplingRate String\nshow pdSamplingRateUnits Value\npress pbCancel\n"
     "type txtOversampling 31\nshow txtOversampling String\nshow txtNumberOfSamples String\n"
     "press pbAdvancedSettings\nshow txtSamplingRate String\npress pbCancel\n",
     {"show txtOversampling String: 2", "show txtNumberOfSamples String: 65536 Samples",
      "window opened \"Advanced Signal Generator Settings\"", "show txtSamplingRate String: 2.4576",
      "show pdSamplingRateUnits Value: 3", "window closed \"Advanced Signal Generator Settings\"",
      "show txtOversampling String: 30", "show txtNumberOfSamples String: 983040 Samples",
      "window opened \"Advanced Signal Generator Settings\"", "show txtSamplingRate String: 36.864",
      "window closed \"Advanced Signal Generator Settings\""}},
    {"ModeTwoDisablesTheChannelControls",
     "check chkDATAchnActive 1\ncheck chkIdleSlotGainActive 0\nselect pdMode 2\nshow chkMACchnActive Enable\n"
     "show pdDATAsourceType Enable\n"
     "show txtIdleSlotGain Enable\ncheck chkDATAchnActive 0\nshow chkDATAchnActive Value\nselect pdMode 1\n"
     "show chkMACchnActive Enable\nshow pdDATAsourceType Enable\nshow txtIdleSlotGain Enable\n"
     "check chkDATAchnActive 0\nshow pdDATAsourceType Enable\n",
     {"show chkMACchnActive Enable: off", "show pdDATAsourceType Enable: off", "show txtIdleSlotGain Enable: off",
      // A disabled box cannot be unticked.
      "show chkDATAchnActive Value: 1", "show chkMACchnActive Enable: on", "show pdDATAsourceType Enable: on",
      "show txtIdleSlotGain Enable: off", "show pdDATAsourceType Enable: off"}},
    {"IdleNoiseOffBlanksTheRf",
     "check chkIdleSlotGainActive 0\nshow txtIdleSlotGain Enable\npress pbAdvancedSettings\n"
     "show chkRFblanking Value\npress pbCancel\ncheck chkIdleSlotGainActive 1\npress pbAdvancedSettings\n"
     "show chkRFblanking Value\npress pbCancel\n",
     {"show txtIdleSlotGain Enable: off", "window opened \"Advanced Signal Generator Settings\"",
      "show chkRFblanking Value: 1", "window closed \"Advanced Signal Generator Settings\"",
      "window opened \"Advanced Signal Generator Settings\"", "show chkRFblanking Value: 0",
      "window closed \"Advanced Signal Generator Settings\""}},
    {"CancelledUserFileKeepsTheSource",
     "check chkDATAchnActive 1\nselect pdDATAsourceType 6\nfile cancel\nselect pdDATAsourceType 7\n"
     "show pdDATAsourceType Value\n",
     {"dialog file \"Select data source file.\": *.* [Open|Cancel]", "show pdDATAsourceType Value: 6"}},
    {"FrequencyEntriesInTheirUnits",
     "select pdFrequencyUnits 4\ntype txtFrequency 2.2\nshow txtFrequency String\nshow pdFrequencyUnits Value\n"
     "select pdFrequencyUnits 2\ntype txtFrequency 50\nshow txtFrequency String\nshow pdFrequencyUnits Value\n"
     "type txtFrequency 999\nshow txtFrequency String\nshow pdFrequencyUnits Value\n"
     "type txtFrequency 1000\nshow txtFrequency String\nshow pdFrequencyUnits Value\n"
     "type txtFrequency 50000000\nshow txtFrequency String\nshow pdFrequencyUnits Value\n",
     {"show txtFrequency String: 2.2", "show pdFrequencyUnits Value: 4", "show txtFrequency String: 100",
      "show pdFrequencyUnits Value: 2", "show txtFrequency String: 999", "show pdFrequencyUnits Value: 2",
      "show txtFrequency String: 1", "show pdFrequencyUnits Value: 3", "show txtFrequency String: 44",
      "show pdFrequencyUnits Value: 4"}},
    {"LevelIsRoundedAndClamped",
     "type txtAmplitude -10.6\nshow txtAmplitude String\ntype txtAmplitude 25\nshow txtAmplitude String\n"
     "type txtAmplitude -200\nshow txtAmplitude String\n",
     {"show txtAmplitude String: -11", "show txtAmplitude String: 20", "show txtAmplitude String: -136"}},
    {"TextThatIsNotANumberKeepsTheGeneratorValue",
     "type txtAmplitude -42\ntype txtAmplitude loud\nshow txtAmplitude String\ntype txtFrequency 1.5\n"
     "type txtFrequency fast\nshow txtFrequency String\npress pbAdvancedSettings\ntype txtScaling 50\n"
     "type txtScaling x\nshow txtScaling String\ntype txtModAtten 3\ntype txtModAtten ?\nshow txtModAtten String\n"
     "type txtSamplingRate 4\ntype txtSamplingRate none\nshow txtSamplingRate String\npress pbCancel\n",
     {"show txtAmplitude String: -42", "show txtFrequency String: 1.5",
      "window opened \"Advanced Signal Generator Settings\"", "show txtScaling String: 50",
      "show txtModAtten String: 3", "show txtSamplingRate String: 4",
      "window closed \"Advanced Signal Generator Settings\""}},
    {"TitleKeepsTheInstrumentsCharacters",
     "type txtWaveformTitle my wave 1!\nshow txtWaveformTitle String\n"
     "type txtWaveformTitle abcdefghijklmnopqrstuvwxy\nshow txtWaveformTitle String\n"
     "type txtWaveformTitle    \nshow txtWaveformTitle String\ntype txtWaveformTitle a_b$c&d#e+f-g[h]\n"
     "show txtWaveformTitle String\n",
     {"show txtWaveformTitle String: MYWAVE1", "show txtWaveformTitle String: ABCDEFGHIJKLMNOPQRST",
      "show txtWaveformTitle String: BLANK", "show txtWaveformTitle String: A_B$C&D#E+F-G[H]"}},
    {"AdvancedEntriesAreRoundedAndClamped",
     "press pbAdvancedSettings\ntype txtScaling 55.555\nshow txtScaling String\ntype txtScaling 0.5\n"
     "show txtScaling String\ntype txtModAtten 12.5\nshow txtModAtten String\ntype txtModAtten -3\n"
     "show txtModAtten String\nselect pdSamplingRateUnits 3\ntype txtSamplingRate 4.9152\n"
     "show txtSamplingRate String\nshow pdSamplingRateUnits Value\ntype txtSamplingRate 200\n"
     "show txtSamplingRate String\npress pbOK\n",
     {"window opened \"Advanced Signal Generator Settings\"", "show txtScaling String: 55.56",
      "show txtScaling String: 1", "show txtModAtten String: 13", "show txtModAtten String: 0",
      "show txtSamplingRate String: 4.9152", "show pdSamplingRateUnits Value: 3", "show txtSamplingRate String: 100",
      "window closed \"Advanced Signal Generator Settings\""}},
    {"AdvancedCancelAndCloseKeepTheSettings",
     "press pbAdvancedSettings\ntype txtScaling 20\ncheck chkALC 0\ncheck chkBBrefSource 1\nselect pdBBfilter 3\n"
     "press pbCancel\npress pbAdvancedSettings\nshow txtScaling String\nshow chkALC Value\nshow pdBBfilter Value\n"
     "type txtModAtten 7\nclose\npress pbAdvancedSettings\nshow txtModAtten String\ntype txtModAtten 9\n"
     "press pbOK\npress pbAdvancedSettings\nshow txtModAtten String\npress pbCancel\n",
     {"window opened \"Advanced Signal Generator Settings\"", "window closed \"Advanced Signal Generator Settings\"",
      "window opened \"Advanced Signal Generator Settings\"", "show txtScaling String: 95", "show chkALC Value: 0",
      "show pdBBfilter Value: 1", "window closed \"Advanced Signal Generator Settings\"",
      "window opened \"Advanced Signal Generator Settings\"", "show txtModAtten String: 0",
      "window closed \"Advanced Signal Generator Settings\"",
      "window opened \"Advanced Signal Generator Settings\"", "show txtModAtten String: 9",
      "window closed \"Advanced Signal Generator Settings\""}},
    {"TooltipsOfTheMainWindow",
     "show txtOffsetIndex TooltipString\nshow txtFrequency TooltipString\nshow pbCalculate TooltipString\n"
     "show txtNumberOfSamples TooltipString\nshow txtEvent3 TooltipString\n",
     {"show txtOffsetIndex TooltipString: Sets the Pilot Channel offset index.\\n Valid Range: 0 to 511",
      "show txtFrequency TooltipString: Sets the carrier frequency.\\nValid Range: 100 kHz - 6 GHz\\n(Note: KLT "
      "option determines the\\nmaximum frequency.)",
      "show pbCalculate TooltipString: Calculates the waveform based\\non current settings.",
      "show txtNumberOfSamples TooltipString: The number of samples generated \\nby the current settings.\\n(The "
      "Z9104K can hold up to 8 or 32 M samples.)",
      "show txtEvent3 TooltipString: Description of the signal available on\\nthe Event 3 Connector of the rear "
      "panel."}},
    {"RangeTooltipsOfTheEntries",
     "show txtIdleSlotGain TooltipString\nshow txtOversampling TooltipString\n",
     {"show txtIdleSlotGain TooltipString: Sets the power of the idle slot noise\\nrelative to the pilot "
      "channel.\\nValid Range: 0 to -80",
      "show txtOversampling TooltipString: Sets the oversampling rate.\\nValid Range: 2 to 30"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, MainWindowScript, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What a person may type in an entry is what a parameter file and the
// command line may hold for its field: a number past either end of the
// field's range comes back as that end, in the main window and in the slot
// and RPC setup windows alike.
TEST(MainWindow, EntriesClampToTheFieldTable) {
    struct Entry {
        const char* open;  // how the entry is reached, and made enabled
        const char* control;
        const char* field;
        const char* close;
    };
    const Entry entries[] = {
        {"", "txtOffsetIndex", "PilotOffsetIndex", ""},
        {"check chkIdleSlotGainActive 1\n", "txtIdleSlotGain", "IdleSlotGain", ""},
        {"", "txtOversampling", "OverSampling", ""},
        {"press pbSlotSetup\ncheck chkRAslotActive3 1\n", "txtRAslotValue3", "slot.RAslotValue", "press pbCancel\n"},
        {"press pbSlotSetup\ncheck chkRAslotActive3 1\n", "txtRAslotGain3", "slot.RAslotGain", "press pbCancel\n"},
        {"press pbSlotSetup\ncheck chkRPCslotActive1 1\npress pbPRCslotSetup1\ncheck chkRPCchnActive2 1\n",
         "txtRPCchnValue2", "slot.RPCslotValue", "press pbCancel\npress pbCancel\n"},
        {"press pbSlotSetup\ncheck chkRPCslotActive1 1\npress pbPRCslotSetup1\ncheck chkRPCchnActive2 1\n",
         "txtRPCchnGain2", "slot.RPCslotGain", "press pbCancel\npress pbCancel\n"},
    };
    test::WorkFolder folder;
    test::AppRun run;
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.control);
        const ConfigField* field = findConfigField(e.field);
        ASSERT_NE(field, nullptr);
        const std::string c = e.control;
        const auto t = run.run(std::string(e.open) + "type " + c + " 1e6\nshow " + c + " String\ntype " + c +
                               " -1e6\nshow " + c + " String\n" + e.close);
        const std::vector<std::string> shown = {"show " + c + " String: " + numberText(field->entry.hi),
                                                "show " + c + " String: " + numberText(field->entry.lo)};
        std::vector<std::string> seen;
        for (const std::string& line : t)
            if (line.rfind("show " + c + " String", 0) == 0) seen.push_back(line);
        EXPECT_EQ(seen, shown);
    }
}

TEST(MainWindow, StartsWithTheDefaultsShownAndTheSplashGone) {
    test::WorkFolder folder;
    test::AppRun run;
    const auto& t = run.platform.transcript();
    ASSERT_EQ(run.startLines, 3u);
    EXPECT_EQ(t[0], "window opened \"Tolvane\"");
    EXPECT_EQ(t[1], "window closed \"Tolvane\"");
    EXPECT_EQ(t[2], "window opened \"Veltran Sonvale - 1xEV Forward Link\"");
    EXPECT_EQ(run.run("show txtNumberOfSamples String\nshow pdMode Value\nshow txtOversampling String\n"),
              (std::vector<std::string>{"show txtNumberOfSamples String: 163840 Samples", "show pdMode Value: 1",
                                        "show txtOversampling String: 5"}));
}

}  // namespace
}  // namespace tolvane::app
