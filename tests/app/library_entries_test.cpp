// The window utilities, displays and window modules by name in a host that
// runs no application of its own, on the host's headless platform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/application.hpp"
#include "app/headless/headless_platform.hpp"
#include "app/headless/host_platform.hpp"
#include "app/library_entries.hpp"
#include "base/diagnostics.hpp"
#include "runtime/library.hpp"

namespace tolvane::app {
namespace {

// The platform the host made (one per process, as in a real host).
HeadlessPlatform* hostMade = nullptr;

class LibraryEntries : public ::testing::Test {
protected:
    void SetUp() override {
        LibraryHost host;
        host.makePlatform = [] {
            auto p = makeHostPlatform({TOLVANE_LAYOUT_DIR});
            hostMade = dynamic_cast<HeadlessPlatform*>(p.get());
            return p;
        };
        host.resourceFolder = std::string(TOLVANE_LAYOUT_DIR) + "/../resources";
        addLibraryEntries(std::move(host));
        // A fresh library: no application from an earlier test.
        library().terminate();
        library().initialize();
        previous_ = setWarningSink([this](const std::string& w) { warnings_.push_back(w); });
    }
    void TearDown() override { setWarningSink(std::move(previous_)); }

    std::vector<Value> call(const std::string& name, int nargout, std::vector<Value> inputs = {}) {
        return library().registry().call(name, nargout, std::move(inputs));
    }
    std::string failure(const std::string& name, std::vector<Value> inputs = {}) {
        try {
            const FunctionSpec* def = library().registry().find(name);
            call(name, def && def->outputs == 0 ? 0 : 1, std::move(inputs));
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(no error)";
    }
    // Made by the first window entry a test calls.
    HeadlessPlatform& platform() {
        if (!hostMade) throw std::logic_error("no window entry has run yet");
        return *hostMade;
    }
    WindowId handle(const Value& v) {
        EXPECT_TRUE(v.isHandle());
        return v.isHandle() ? static_cast<WindowId>(v.realAt(0)) : 0;
    }

    std::vector<std::string> warnings_;
    WarningSink previous_;
};

TEST_F(LibraryEntries, WindowUtilitiesOpenPlaceAndScaleWindows) {
    const WindowId parent = handle(call("loadFigure", 1, {Value::text("KltConfigAdv_c"), Value::scalar(0)})[0]);
    const WindowId child = handle(call("loadFigure", 1, {Value::text("QV_SigGen.fig"), Value::handle(parent)})[0]);
    ASSERT_NE(parent, child);
    // Centred on its parent, its own size kept.
    const Value pp = platform().get(parent, platform().windowTag(parent), "Position");
    const Value cp = platform().get(child, platform().windowTag(child), "Position");
    EXPECT_DOUBLE_EQ(cp.realAt(0), pp.realAt(0) + (pp.realAt(2) - cp.realAt(2)) / 2);
    EXPECT_DOUBLE_EQ(cp.realAt(1), pp.realAt(1) + (pp.realAt(3) - cp.realAt(3)) / 2);

    // Placed again on the screen (1920 x 1080).
    call("positionChildWindow", 0, {Value::scalar(0), Value::handle(child)});
    const Value sp = platform().get(child, platform().windowTag(child), "Position");
    EXPECT_DOUBLE_EQ(sp.realAt(0), (1920 - sp.realAt(2)) / 2);

    // Fonts of every window listed in a record are scaled once (96 dpi: 8 -> 9).
    const std::string tag = platform().controlTags(child).front();
    const double before = platform().get(child, tag, "FontSize").realAt(0);
    Record h;
    h.set("figure", Value::handle(child));
    h.set("again", Value::handle(child));
    call("resizeAllFonts", 0, {Value::record(h)});
    EXPECT_DOUBLE_EQ(platform().get(child, tag, "FontSize").realAt(0), std::round(before * 1.1));

    // The menu bar; its headers are the menus' tags.
    const Value menus = call("QV_AddMenu", 1, {Value::handle(parent)})[0];
    EXPECT_EQ(menus.field("Plot").str(), "menuPlot");
    EXPECT_TRUE(platform().hasControl(parent, "menuPlotCCDF"));
    EXPECT_NE(failure("QV_AddMenu", {Value::scalar(9999)}).find("is not a window"), std::string::npos);
}

TEST_F(LibraryEntries, ModalWindowsOfAHostWithoutAPersonAreClosed) {
    const WindowId splash = handle(call("QV_Splash", 1)[0]);
    EXPECT_TRUE(platform().isWindow(splash));
    const WindowId parent = handle(call("loadFigure", 1, {Value::text("KltConfigAdv_c"), Value::scalar(0)})[0]);
    // The About box waits modally: nobody answers, so the host closes it and
    // the call returns.
    call("QV_About", 0, {Value::handle(parent)});
    EXPECT_EQ(platform().findWindow("QV_About"), 0);
    EXPECT_NE(failure("QV_About", {Value::scalar(9999)}).find("Input argument must be a handle to parent"),
              std::string::npos)
        << failure("QV_About", {Value::scalar(9999)});
}

TEST_F(LibraryEntries, DisplaysAndDrawingRoutinesOpenTheirWindows) {
    const WindowId ccdf = handle(call("QV_PlotCCDF", 1)[0]);
    const std::size_t shown = platform().figures().size();
    EXPECT_EQ(platform().get(ccdf, platform().windowTag(ccdf), "Name").str(), "CCDF Test Data");

    // An eye that cannot be drawn: the Plot Error dialog (a warning in this
    // host) and an empty result.
    const Value eye = call("QV_PlotEyeDiagram", 1, {Value::scalar(0), Value::text("x"), Value::row({1, 2}),
                                                    Value::scalar(8)})[0];
    EXPECT_TRUE(eye.isSet() && eye.numel() == 0);
    ASSERT_FALSE(warnings_.empty());
    EXPECT_EQ(warnings_.back().rfind("dialog error \"Plot Error\": Unable to Plot Eye Diagram", 0), 0u);

    // The drawing routine itself raises the error.
    EXPECT_NE(failure("eyediagram", {Value::row({1, 2}), Value::scalar(8)}), "(no error)");
    handle(call("scatterplot", 1, {Value::row({1, -1, 1, -1}), Value::scalar(2)})[0]);

    // waterfall(X, Y, Z): the rows of Z over X's columns and Y's rows.
    handle(call("waterfall", 1, {Value::row({10, 20, 30}), Value::column({1, 2}),
                                 Value::matrix(2, 3, {1, 4, 2, 5, 3, 6})})[0]);
    const display::Figure& w = platform().figures().back();
    ASSERT_TRUE(w.axes.front().surface);
    EXPECT_EQ(w.axes.front().surface->x, (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(w.axes.front().surface->y, (std::vector<double>{1, 2}));
    EXPECT_EQ(w.axes.front().surface->z, (std::vector<double>{1, 2, 3, 4, 5, 6}));
    EXPECT_NE(failure("waterfall", {Value::row({1, 2}), Value::column({1, 2}), Value::matrix(2, 3, {1, 4, 2, 5, 3, 6})})
                  .find("X must have one value per column"),
              std::string::npos);
    EXPECT_EQ(platform().figures().size(), shown + 2);
}

// What needs the running application refuses outside it, saying so; what
// needs no window runs.
TEST_F(LibraryEntries, WindowModulesOutsideTheApplication) {
    struct Case {
        std::string name;
        std::vector<Value> inputs;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"rfCommonUI", {Value::text("pbCalculate_Callback")},
         "rfCommonUI: the operation \"pbCalculate_Callback\" needs the application's windows"},
        {"KltConfigAdv_c", {Value::scalar(1)}, "KltConfigAdv_c: opening its window needs the application's windows"},
        {"OneX_Fwd_GUI_c", {Value::text("pdMode_Callback")}, "start it with OneX_Fwd_GUI_c()"},
        {"loadUserDataFile", {Value::scalar(8)}, "the application is not running"},
        {"QV_Rotate", {}, "Tools > Rotate item of a display window"},
        {"OneX_Fwd_c", {}, "The desktop front end is not built."},
    };
    for (const auto& c : cases)
        EXPECT_NE(failure(c.name, c.inputs).find(c.says), std::string::npos) << c.name << ": " << failure(c.name, c.inputs);

    EXPECT_EQ(call("rfCommonUI", 1, {Value::text("addFileExtention"), Value::text("a"), Value::text(".mat")})[0].str(),
              "a.mat");
    // The main window's record defaults need no window.
    library().globals().at("parameters") = Value();
    call("OneX_Fwd_GUI_c", 1, {Value::text("InitializeParameters")});
    EXPECT_TRUE(library().globals().at("parameters").isRecord());
    EXPECT_EQ(call("compareStruct", 1, {library().globals().at("parameters"), library().globals().at("parameters")})[0]
                  .realAt(0),
              1);
}

// OneX_Fwd_GUI_c() starts the application on the host's platform; its own
// window modules then answer, and the window utilities use its platform.
TEST_F(LibraryEntries, TheApplicationStartsOnTheHostPlatform) {
    const WindowId main = handle(call("OneX_Fwd_GUI_c", 1)[0]);
    EXPECT_EQ(platform().windowTag(main), "main");
    EXPECT_EQ(platform().get(main, "main", "Visible").str(), "on");
    // The user data prompt of the running application: nobody chooses a file.
    const auto out = call("loadUserDataFile", 2, {Value::scalar(16)});
    EXPECT_EQ(out[0].realAt(0), -1);
    // A new initialisation ends it: the modules refuse again.
    library().terminate();
    library().initialize();
    EXPECT_NE(failure("loadUserDataFile").find("the application is not running"), std::string::npos);
}

}  // namespace
}  // namespace tolvane::app
