// The headless platform: windows from layout files, properties, menus,
// dialogs with queued answers, modal waits and the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/platform/value_text.hpp"
#include "demo_app.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {
namespace {

using test::DemoApp;

std::string show(const Platform& p, WindowId w, const std::string& tag, const std::string& prop) {
    return displayText(p.get(w, tag, prop));
}

TEST(HeadlessPlatform, BuildsAWindowFromItsLayout) {
    DemoApp app;
    auto& p = app.platform;
    EXPECT_EQ(p.openLayout("demo.ui"), app.main);  // the open instance is reused
    EXPECT_EQ(p.windowTag(app.main), "demo");
    EXPECT_EQ(show(p, app.main, "demo", "Name"), "Demo & Test");
    EXPECT_EQ(show(p, app.main, "demo", "Position"), "[0 0 400 300]");
    EXPECT_EQ(show(p, app.main, "txtGain12", "String"), "-3");
    EXPECT_EQ(show(p, app.main, "txtGain12", "TooltipString"), "Sets the gain.\nValid Range: 0 to -80");
    EXPECT_EQ(show(p, app.main, "pdMode", "String"), "Slotted|Unmodulated");
    EXPECT_EQ(show(p, app.main, "pdMode", "Value"), "2");  // currentIndex 1 is the second entry
    EXPECT_EQ(show(p, app.main, "chkActive", "Value"), "1");
    EXPECT_EQ(show(p, app.main, "pbDisabled", "Enable"), "off");
    EXPECT_EQ(show(p, app.main, "pbOpen", "Enable"), "on");
    EXPECT_EQ(show(p, app.main, "pbOpen", "Position"), "[10 250 80 24]");
    EXPECT_EQ(show(p, app.main, "sldLevel", "Max"), "10");
    EXPECT_EQ(show(p, app.main, "sldLevel", "Value"), "3");
    EXPECT_EQ(show(p, app.main, "menuFileExit", "String"), "E&xit");
    EXPECT_TRUE(p.isMenuItem(app.main, "menuFileExit"));
    EXPECT_TRUE(p.isMenuItem(app.main, "menuFile"));
    EXPECT_FALSE(p.isMenuItem(app.main, "pbOpen"));
    EXPECT_EQ(show(p, app.child, "child", "Visible"), "off");  // windows open hidden
    const auto tags = p.controlTags(app.main);
    EXPECT_NE(std::find(tags.begin(), tags.end(), "sldLevel"), tags.end());
    EXPECT_EQ(std::find(tags.begin(), tags.end(), "menubar"), tags.end());
}

TEST(HeadlessPlatform, RefusesUnknownTagsPropertiesAndBadValues) {
    DemoApp app;
    auto& p = app.platform;
    EXPECT_THROW((void)p.get(app.main, "nope", "Value"), Error);
    EXPECT_THROW((void)p.get(app.main, "pbOpen", "FontWeight"), Error);
    EXPECT_THROW(p.set(app.main, "pbOpen", "Enable", Value::text("yes")), Error);
    EXPECT_THROW(p.set(app.main, "pbOpen", "Tag", Value::text("x")), Error);
    EXPECT_THROW(p.set(app.main, "demo", "Name", Value::scalar(1)), Error);
    EXPECT_THROW((void)p.get(99, "demo", "Name"), Error);
    p.set(app.main, "txtGain12", "String", Value::text("-7"));
    EXPECT_EQ(show(p, app.main, "txtGain12", "String"), "-7");
}

TEST(HeadlessPlatform, LoadsOnlyPlainLayoutNamesFromItsFolders) {
    DemoApp app;
    for (const char* name : {"../data/demo", "/etc/passwd", "demo ui", "", "missing"})
        EXPECT_THROW((void)app.platform.openLayout(name), Error) << name;
}

TEST(HeadlessPlatform, RefusesADamagedLayout) {
    const auto dir = std::filesystem::temp_directory_path() / ("tolvane-layout-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto write = [&](const char* name, const char* text) { std::ofstream(dir / name) << text; };
    write("broken.ui", "<ui><widget class='QDialog' name='w'>");
    write("twice.ui", "<ui><widget class='QDialog' name='w'><widget class='QLabel' name='a'/>"
                      "<widget class='QLabel' name='a'/></widget></ui>");
    write("unnamed.ui", "<ui><widget class='QDialog'/></ui>");
    write("notui.ui", "<html/>");
    HeadlessPlatform p({dir.string()});
    for (const char* name : {"broken", "twice", "unnamed", "notui"}) EXPECT_THROW((void)p.openLayout(name), Error) << name;
    std::filesystem::remove_all(dir);
}

TEST(HeadlessPlatform, TranscribesWindowsAndDialogs) {
    DemoApp app;
    auto& p = app.platform;
    p.set(app.child, "child", "Visible", Value::text("on"));
    p.set(app.child, "child", "Visible", Value::text("on"));  // already shown: no second line
    p.deleteWindow(app.child);
    p.deleteWindow(app.child);
    p.messageBox("Note", "Line one\nline two");
    p.errorDialog("Error", "Bad");
    EXPECT_EQ(p.questionDialog("Q", "Sure?", {"Yes", "No"}, "No"), "No");  // nothing queued: the default
    const auto input = p.inputDialog("In", {"A", "B"}, {"1", "2"});
    ASSERT_TRUE(input.has_value());
    EXPECT_EQ(*input, (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(p.openFileDialog("Open", "*.mat").cancelled);
    p.console("hello\nthere");
    const std::vector<std::string> expected = {
        "window opened \"Demo & Test\"",
        "window opened \"Child Window\"",
        "window closed \"Child Window\"",
        "dialog message \"Note\": Line one\\nline two [OK]",
        "dialog error \"Error\": Bad [OK]",
        "dialog question \"Q\": Sure? [Yes|No]",
        "dialog input \"In\": A\\nB [OK|Cancel]",
        "dialog file \"Open\": *.mat [Open|Cancel]",
        "console: hello\\nthere",
    };
    EXPECT_EQ(p.transcript(), expected);
}

TEST(HeadlessPlatform, DialogsTakeQueuedAnswersInOrder) {
    DemoApp app;
    auto& p = app.platform;
    p.queueAnswer("Cancel");
    p.queueAnswer("close");
    p.queueAnswer("x|y");
    p.queueAnswer("Cancel");
    p.queueAnswer("OK");
    p.queueFile({false, "a.mat", "/tmp/"});
    EXPECT_EQ(p.questionDialog("Q", "?", {"Yes", "No", "Cancel"}, "Yes"), "Cancel");
    EXPECT_EQ(p.questionDialog("Q", "?", {"Yes", "No"}, "Yes"), "");  // closed
    EXPECT_EQ(*p.inputDialog("I", {"A", "B"}, {"1", "2"}), (std::vector<std::string>{"x", "y"}));
    EXPECT_FALSE(p.inputDialog("I", {"A"}, {"1"}).has_value());
    p.messageBox("M", "m");
    const FileChoice f = p.saveFileDialog("S", "*.mat", "u.mat");
    EXPECT_FALSE(f.cancelled);
    EXPECT_EQ(f.folder + f.file, "/tmp/a.mat");
    EXPECT_EQ(p.pendingAnswers(), 0u);
    EXPECT_EQ(p.pendingFiles(), 0u);

    // Answers a dialog cannot take are faults of the script.
    p.queueAnswer("Maybe");
    EXPECT_THROW((void)p.questionDialog("Q", "?", {"Yes", "No"}, "Yes"), ScriptFault);
    p.queueAnswer("a|b|c");
    EXPECT_THROW((void)p.inputDialog("I", {"A", "B"}, {"1", "2"}), ScriptFault);
    p.queueAnswer("Yes");
    EXPECT_THROW(p.messageBox("M", "m"), ScriptFault);
    // A question needs two or three buttons and a default among them.
    EXPECT_THROW((void)p.questionDialog("Q", "?", {"Yes"}, "Yes"), Error);
    EXPECT_THROW((void)p.questionDialog("Q", "?", {"Yes", "No"}, "Cancel"), Error);
}

TEST(HeadlessPlatform, ModalWaitRunsThePumpUntilResumed) {
    DemoApp app;
    auto& p = app.platform;
    // Without anything to run, a wait cannot end.
    EXPECT_THROW((void)p.waitModal(app.child), ScriptFault);
    EXPECT_EQ(p.waitingWindow(), 0);

    p.set(app.child, "child", "Visible", Value::text("on"));
    int calls = 0;
    p.setPump([&](WindowId w, bool first) {
        if (calls > 10) return false;  // the OK button did not resume the wait
        EXPECT_EQ(w, app.child);
        EXPECT_EQ(first, calls == 0);
        EXPECT_EQ(p.waitingWindow(), app.child);
        if (++calls == 3) p.activate(app.child, "pbOK");
        return true;
    });
    EXPECT_EQ(p.waitModal(app.child), "OK");
    EXPECT_EQ(calls, 3);

    // Resuming a window nobody waits on does nothing; a window deleted during
    // its wait answers Cancel.
    p.resumeModal(app.child, "OK");
    p.setPump([&](WindowId w, bool) {
        p.deleteWindow(w);
        return true;
    });
    EXPECT_EQ(p.waitModal(app.child), "Cancel");
}

TEST(HeadlessPlatform, ActivationFollowsEnableAndVisibility) {
    DemoApp app;
    auto& p = app.platform;
    EXPECT_FALSE(p.activate(app.main, "pbDisabled"));
    p.set(app.main, "menuFile", "Enable", Value::text("off"));
    EXPECT_FALSE(p.activate(app.main, "menuFileExit"));  // its menu is disabled
    p.set(app.main, "demo", "Visible", Value::text("off"));
    EXPECT_FALSE(p.activate(app.main, "txtGain12"));
    p.set(app.main, "demo", "Visible", Value::text("on"));
    EXPECT_TRUE(p.activate(app.main, "sldLevel"));  // its callback's error goes to the console
    EXPECT_EQ(p.transcript().back(), "console: the level callback failed");
}

TEST(HeadlessPlatform, MenusAddedByTheLogic) {
    DemoApp app;
    auto& p = app.platform;
    p.addMenuItem(app.main, {"", "&Help", "menuHelp"});
    p.addMenuItem(app.main, {"menuHelp", "&About", "menuHelpAbout", true, false, true});
    EXPECT_EQ(show(p, app.main, "menuHelpAbout", "Visible"), "off");
    EXPECT_EQ(withoutMnemonic("&About"), "About");
    EXPECT_EQ(withoutMnemonic("Save && &Quit"), "Save & Quit");
    EXPECT_THROW(p.addMenuItem(app.main, {"", "x", "menuHelp"}), Error);        // tag used twice
    EXPECT_THROW(p.addMenuItem(app.main, {"pbOpen", "x", "menuX"}), Error);     // parent not a menu
    EXPECT_THROW(p.addMenuItem(app.main, {"", "x", ""}), Error);
}

TEST(HeadlessPlatform, PausesAdvanceTheStopwatchWithoutWaiting) {
    DemoApp app;
    auto& p = app.platform;
    p.startStopwatch();
    const auto before = std::chrono::steady_clock::now();
    p.pause(3);
    p.pause(-1);  // a pause of no time skips nothing
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_GE(p.elapsedSeconds(), 3.0);
    EXPECT_LT(p.elapsedSeconds(), 4.0);
    // A new start forgets the time skipped before it.
    p.startStopwatch();
    EXPECT_LT(p.elapsedSeconds(), 1.0);
    const auto c = p.clock();
    EXPECT_GE(c[0], 2024);
    EXPECT_GE(c[1], 1);
    EXPECT_LE(c[1], 12);
    EXPECT_LT(c[5], 61);
    EXPECT_EQ(p.screen().dpi, 96);
    EXPECT_TRUE(p.openInBrowser("/help/index.html"));
    EXPECT_EQ(p.browserRequests().back(), "/help/index.html");
}

TEST(ValueText, ShowsValuesAsAPersonReadsThem) {
    EXPECT_EQ(displayText(Value()), "");
    EXPECT_EQ(displayText(Value::empty()), "");
    EXPECT_EQ(displayText(Value::scalar(-20)), "-20");
    EXPECT_EQ(displayText(Value::scalar(0.5)), "0.5");
    EXPECT_EQ(displayText(Value::matrix(2, 2, {1, 3, 2, 4})), "[1 2; 3 4]");
    EXPECT_EQ(displayText(Value::complexScalar({1, -2})), "1-2i");
    EXPECT_EQ(displayText(Value::cell({Value::text("a"), Value::text("b")})), "a|b");
    EXPECT_EQ(oneLine("a\nb\r"), "a\\nb\\r");
}

}  // namespace
}  // namespace tolvane::app
