// The window utilities: tag indices, deep comparison of records, placing
// windows.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/window_utils.hpp"
#include "demo_app.hpp"

namespace tolvane::app {
namespace {

TEST(WindowUtils, TagIndexIsTheTrailingNumber) {
    const std::pair<const char*, double> cases[] = {
        {"txtGain12", 12}, {"row3col07", 7}, {"edit", 0}, {"", 0}, {"42", 42}, {"pb0", 0}, {"x007", 7}};
    for (const auto& [tag, index] : cases) EXPECT_EQ(getTagIndex(tag), index) << tag;
    EXPECT_GT(getTagIndex("t" + std::string(400, '9')), 1e300);  // no overflow into garbage
}

// The entries by name hand a window the event an operation name stands
// for; any other name must reach no callback, and another window's close
// name must not close this one.
TEST(WindowUtils, OperationNamesStandForTheirEvents) {
    using Kind = CallbackEvent::Kind;
    struct Case {
        const char* operation;
        bool event;
        const char* tag;
        Kind kind;
    };
    const Case cases[] = {
        {"pbOK_Callback", true, "pbOK", Kind::Control},
        {"txtRAslotGain12_Callback", true, "txtRAslotGain12", Kind::Control},
        {"figSlotSetup_CloseRequestFcn", true, "figSlotSetup", Kind::CloseRequest},
        {"figRPCsetup_CloseRequestFcn", false, "", Kind::Control},
        {"figSlotSetup_Callback", true, "figSlotSetup", Kind::Control},
        {"_Callback", false, "", Kind::Control},
        {"pbOK_callback", false, "", Kind::Control},
        {"redrawAll", false, "", Kind::Control},
        {"", false, "", Kind::Control},
    };
    for (const Case& c : cases) {
        const auto e = callbackEvent(c.operation, 7, "figSlotSetup");
        ASSERT_EQ(e.has_value(), c.event) << c.operation;
        if (!e) continue;
        EXPECT_EQ(e->tag, c.tag) << c.operation;
        EXPECT_EQ(e->kind, c.kind) << c.operation;
        EXPECT_EQ(e->window, 7) << c.operation;
        EXPECT_EQ(e->operation, c.operation);
    }
}

Value rec(std::initializer_list<std::pair<const char*, Value>> fields) {
    Record r;
    for (const auto& [k, v] : fields) r.set(k, v);
    return Value::record(std::move(r));
}

TEST(WindowUtils, CompareStructFollowsFieldsInOrder) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Value base = rec({{"a", Value::row({1, nan, 3})}, {"s", Value::text("x")}, {"e", Value::empty()},
                            {"n", rec({{"k", Value::scalar(2)}})}});
    struct Case {
        const char* name;
        Value other;
        bool equal;
    };
    const Case cases[] = {
        {"same", base, true},
        {"nan_against_number", rec({{"a", Value::row({1, 2, 3})}, {"s", Value::text("x")}, {"e", Value::empty()},
                                    {"n", rec({{"k", Value::scalar(2)}})}}),
         false},
        {"other_order", rec({{"s", Value::text("x")}, {"a", Value::row({1, nan, 3})}, {"e", Value::empty()},
                             {"n", rec({{"k", Value::scalar(2)}})}}),
         false},
        {"fewer_fields", rec({{"a", Value::row({1, nan, 3})}, {"s", Value::text("x")}, {"e", Value::empty()}}), false},
        {"other_size", rec({{"a", Value::column({1, nan, 3})}, {"s", Value::text("x")}, {"e", Value::empty()},
                            {"n", rec({{"k", Value::scalar(2)}})}}),
         false},
        {"other_text", rec({{"a", Value::row({1, nan, 3})}, {"s", Value::text("X")}, {"e", Value::empty()},
                            {"n", rec({{"k", Value::scalar(2)}})}}),
         false},
        {"nested_differs", rec({{"a", Value::row({1, nan, 3})}, {"s", Value::text("x")}, {"e", Value::empty()},
                                {"n", rec({{"k", Value::scalar(3)}})}}),
         false},
        {"empty_text_for_empty", rec({{"a", Value::row({1, nan, 3})}, {"s", Value::text("x")}, {"e", Value::text("")},
                                      {"n", rec({{"k", Value::scalar(2)}})}}),
         true},
        {"text_for_number_counts_equal", rec({{"a", Value::text("abc")}, {"s", Value::text("x")},
                                              {"e", Value::empty()}, {"n", rec({{"k", Value::scalar(2)}})}}),
         true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareStruct(base, c.other), c.equal) << c.name;
        EXPECT_EQ(compareStruct(c.other, base), c.equal) << c.name;
    }
    EXPECT_FALSE(compareStruct(base, Value::scalar(1)));
    EXPECT_FALSE(compareStruct(Value::text("a"), Value::text("a")));
    EXPECT_TRUE(compareStruct(rec({{"c", Value::complexScalar({1, nan})}}), rec({{"c", Value::complexScalar({1, nan})}})));
    EXPECT_FALSE(compareStruct(rec({{"c", Value::complexScalar({1, nan})}}), rec({{"c", Value::complexScalar({1, 0})}})));
}

TEST(WindowUtils, PlacesWindowsOnTheirParentOrTheScreen) {
    test::DemoApp app;
    auto& p = app.platform;
    // The child (200 x 100) on the screen (1920 x 1080).
    const WindowId child = loadFigure(p, "child", 0);
    EXPECT_EQ(child, app.child);
    EXPECT_EQ(p.get(child, "child", "Position"), Value::row({860, 490, 200, 100}));
    EXPECT_EQ(p.get(child, "child", "Color"), defaultControlBackground());
    // On the demo window moved to [100 50 400 300].
    p.set(app.main, "demo", "Position", Value::row({100, 50, 400, 300}));
    positionChildWindow(p, app.main, child);
    EXPECT_EQ(p.get(child, "child", "Position"), Value::row({200, 150, 200, 100}));
    // A larger child than its parent overhangs evenly.
    p.set(child, "child", "Position", Value::row({0, 0, 600, 500}));
    positionChildWindow(p, app.main, child);
    EXPECT_EQ(p.get(child, "child", "Position"), Value::row({0, -50, 600, 500}));
    EXPECT_THROW(positionChildWindow(p, 77, child), Error);
}

}  // namespace
}  // namespace tolvane::app

namespace tolvane::app {
namespace {

TEST(WindowUtils, StandardMenusCallTheDispatcherByTag) {
    for (const bool withBbg : {false, true}) {
        HeadlessPlatform p({test::layoutFolder()});
        const WindowId w = p.openLayout("child");
        p.set(w, "child", "Visible", Value::text("on"));
        std::vector<std::string> called;
        p.setDispatcher(w, [&](const CallbackEvent& e) { called.push_back(e.operation); });
        const MenuHeaders headers = addStandardMenus(p, w, withBbg);
        EXPECT_EQ(headers.Special, "menuSpecial");
        EXPECT_EQ(p.hasControl(w, "menuConfigBBG1Opt2"), withBbg);
        EXPECT_EQ(p.get(w, "menuFileExit", "String"), Value::text("E&xit"));
        EXPECT_EQ(p.get(w, "menuPlotWaterfall", "Visible"), Value::text("off"));
        EXPECT_EQ(p.get(w, "menuSpecialImpairments", "Enable"), Value::text("off"));
        // Hidden items, and items of the hidden Special menu, cannot be chosen.
        for (const char* tag : {"menuFileNew", "menuPlotWaterfall", "menuSpecialSaveWave", "menuHelpAbout"})
            p.activate(w, tag);
        EXPECT_EQ(called, (std::vector<std::string>{"menuFileNew_Callback", "menuHelpAbout_Callback"}));
    }
}

}  // namespace
}  // namespace tolvane::app
