// Scripts of user actions against the demo application: the transcript a
// person would see, and the faults that end a run with their line.
#include <gtest/gtest.h>

#include <sstream>

#include "demo_app.hpp"
#include "demo_scripts.hpp"

namespace tolvane::app {
namespace {

using test::DemoScript;

std::vector<std::string> lines(const std::string& text) { return test::scriptLines(text); }

class Script : public ::testing::TestWithParam<DemoScript> {};

TEST_P(Script, GivesTheTranscript) {
    const DemoScript& c = GetParam();
    test::DemoApp app;
    ScriptRunner runner = app.runner();
    runner.address(app.main);
    std::size_t faultLine = 0;
    std::string fault;
    try {
        runner.run(lines(c.script));
    } catch (const ScriptError& e) {
        faultLine = e.line();
        fault = e.what();
    }
    EXPECT_EQ(faultLine, c.faultLine) << fault;
    if (c.faultLine) {
        EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
    }
    std::vector<std::string> seen(app.platform.transcript().begin() + 1, app.platform.transcript().end());
    EXPECT_EQ(seen, c.transcript);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Script, ::testing::ValuesIn(test::demoScripts()),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScriptRunner, AddressesWindowsByName) {
    test::DemoApp app;
    ScriptRunner runner = app.runner();
    // Nothing addressed yet.
    EXPECT_THROW(runner.run(lines("press pbOpen")), ScriptError);
    runner.run(lines("window child\nshow txtName String\nwindow demo\nshow chkActive Value"));
    const auto& t = app.platform.transcript();
    EXPECT_EQ(t.back(), "show chkActive Value: 1");
    // A hidden window's controls cannot be used: the typed text does not arrive.
    runner.run(lines("window child\ntype txtName hidden\nshow txtName String"));
    EXPECT_EQ(app.platform.transcript().back(), "show txtName String: ");
}

TEST(ScriptRunner, ReadsBoundedScripts) {
    EXPECT_EQ(lines("a\r\nb\n\nc"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_TRUE(lines("").empty());
    try {
        (void)lines("ok\n" + std::string(kMaxScriptLineBytes + 1, 'x') + "\n");
        FAIL() << "a long line was read";
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.line(), 2u);
    }
    EXPECT_NO_THROW((void)lines(std::string(kMaxScriptLineBytes, 'x')));
    std::string big;
    while (big.size() <= kMaxScriptBytes) big += std::string(100, 'y') + "\n";
    EXPECT_THROW((void)lines(big), ScriptError);
}

}  // namespace
}  // namespace tolvane::app
