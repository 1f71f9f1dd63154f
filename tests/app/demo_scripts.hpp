// The scripts of user actions against the demo application (demo_app.hpp),
// with the transcript a person would see and the faults that end a run with
// their line. Every scriptable platform must give exactly these transcripts.
#pragma once

#include <cstddef>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/scripting/script_runner.hpp"

namespace tolvane::app::test {

struct DemoScript {
    const char* name;
    const char* script;
    std::vector<std::string> transcript;  // after the line "window opened" of the demo window
    std::size_t faultLine;                // 0: the run succeeds
    const char* fault;                    // part of the fault's message
};

// Test listings name the script.
inline void PrintTo(const DemoScript& s, std::ostream* os) { *os << s.name; }

inline std::vector<std::string> scriptLines(const std::string& text) {
    std::istringstream in(text);
    return readScript(in);
}

inline const std::vector<DemoScript>& demoScripts() {
    static const std::vector<DemoScript> cases{
        DemoScript{"edits_fire_callbacks",
                   "# edits\n"
                   "type txtGain12 -12 dB with blanks\n"
                   "\n"
                   "select pdMode 1\n"
                   "check chkActive 0\r\n"
                   "show txtGain12 String\n"
                   "show pdMode Value\n"
                   "show txtGain12 TooltipString\n"
                   "show demo Name\n"
                   "show pbDisabled Enable\n"
                   "show pbOpen Position",
                   {"console: gain -12 dB with blanks", "console: pdMode 1", "console: chkActive 0",
                    "show txtGain12 String: -12 dB with blanks", "show pdMode Value: 1",
                    "show txtGain12 TooltipString: Sets the gain.\\nValid Range: 0 to -80",
                    "show demo Name: Demo & Test", "show pbDisabled Enable: off",
                    "show pbOpen Position: [10 250 80 24]"},
                   0, ""},
        DemoScript{"type_empty_text", "type txtGain12\nshow txtGain12 String", {"console: gain ", "show txtGain12 String: "}, 0, ""},
        DemoScript{"disabled_control_does_nothing", "press pbDisabled\nshow lblInfo String", {"show lblInfo String: "}, 0, ""},
        DemoScript{"callback_error_on_console", "press sldLevel", {"console: the level callback failed"}, 0, ""},
        DemoScript{"question_default_and_answers",
                   "press pbAsk\nanswer No\npress pbAsk\nanswer close\npress pbAsk",
                   {"dialog question \"Calculate\": Parameters changed.\\nCalculate now? [Yes|No|Cancel]",
                    "console: question: Yes",
                    "dialog question \"Calculate\": Parameters changed.\\nCalculate now? [Yes|No|Cancel]",
                    "console: question: No",
                    "dialog question \"Calculate\": Parameters changed.\\nCalculate now? [Yes|No|Cancel]",
                    "console: question: closed"},
                   0, ""},
        DemoScript{"menu_with_input_file_and_message",
                   "answer x|y\nfile /data/run 1/out.mat\nanswer close\nmenu menuFileExit\n"
                   "answer Cancel\nfile cancel\nmenu menuFileExit",
                   {"dialog input \"Names\": First\\nSecond [OK|Cancel]", "console: input x,y",
                    "dialog file \"Save\": untitled.mat [Save|Cancel]", "console: file /data/run 1/out.mat",
                    "dialog message \"Done\": Bye [OK]", "dialog input \"Names\": First\\nSecond [OK|Cancel]",
                    "console: input cancelled", "dialog file \"Save\": untitled.mat [Save|Cancel]",
                    "console: file cancelled", "dialog message \"Done\": Bye [OK]"},
                   0, ""},
        DemoScript{"modal_window_runs_following_lines",
                   "press pbOpen\ntype txtName Ada\nshow child Name\npress pbOK\nshow pdMode Value",
                   {"window opened \"Child Window\"", "show child Name: Child Window", "window closed \"Child Window\"",
                    "console: child answered OK with Ada", "show pdMode Value: 2"},
                   0, ""},
        DemoScript{"modal_window_closed",
                   "press pbOpen\nclose\npress pbOpen\npress pbCancel",
                   {"window opened \"Child Window\"", "window closed \"Child Window\"",
                    "console: child answered Cancel with ", "window opened \"Child Window\"",
                    "window closed \"Child Window\"", "console: child answered Cancel with "},
                   0, ""},
        DemoScript{"script_ends_in_a_wait", "show demo Name\npress pbOpen\ntype txtName x",
                   {"show demo Name: Demo & Test", "window opened \"Child Window\""}, 2, "waits"},
        DemoScript{"unknown_tag", "show demo Name\npress pbNope", {"show demo Name: Demo & Test"}, 2, "pbNope"},
        DemoScript{"unknown_tag_in_a_wait", "press pbOpen\npress pbNope", {"window opened \"Child Window\""}, 2, "pbNope"},
        DemoScript{"unknown_show_tag", "show nothing Value", {}, 1, "unknown tag"},
        DemoScript{"unknown_property", "show pbOpen FontWeight", {}, 1, "unknown property"},
        DemoScript{"unknown_action", "\nwiggle pbOpen", {}, 2, "unknown action"},
        DemoScript{"unknown_window", "window slot", {}, 1, "unknown window"},
        DemoScript{"index_beyond_list", "select pdMode 3", {}, 1, "2 entries"},
        DemoScript{"index_not_a_number", "select pdMode first", {}, 1, "entry number"},
        DemoScript{"select_on_a_button", "select pbOpen 1", {}, 1, "no entries"},
        DemoScript{"check_needs_0_or_1", "check chkActive yes", {}, 1, "0 or 1"},
        DemoScript{"press_a_menu_item", "press menuFileExit", {}, 1, "use menu"},
        DemoScript{"menu_on_a_button", "menu pbOpen", {}, 1, "not a menu item"},
        DemoScript{"answer_never_asked", "answer Yes\nshow demo Name", {"show demo Name: Demo & Test"}, 1,
                   "no dialog"},
        DemoScript{"file_never_asked", "press pbAsk\nfile /a/b.mat",
                   {"dialog question \"Calculate\": Parameters changed.\\nCalculate now? [Yes|No|Cancel]",
                    "console: question: Yes"},
                   2, "no file dialog"},
        DemoScript{"answer_without_such_button", "answer Maybe\npress pbAsk",
                   {"dialog question \"Calculate\": Parameters changed.\\nCalculate now? [Yes|No|Cancel]"}, 2,
                   "no button Maybe"}};
    return cases;
}

}  // namespace tolvane::app::test
