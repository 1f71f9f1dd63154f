// Help → Help: the system browser first; on a machine without one, the page
// in the application's own help window; "not available" only for a page
// that is missing. Runs on the headless platform and on the Qt widgets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.hpp"
#include "app/scripting/script_runner.hpp"
#include "scenario_platform.hpp"
#include "app_harness.hpp"

namespace tolvane::app::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A resource folder with the start-up's images and, if asked, the help page.
fs::path resourcesIn(const fs::path& folder, bool withPage) {
    const fs::path installed = fs::path(TOLVANE_LAYOUT_DIR).parent_path() / "resources";
    fs::create_directories(folder);
    for (const char* image : {"splash.jpg", "Veltran.jpg"})
        fs::copy_file(installed / image, folder / image, fs::copy_options::overwrite_existing);
    if (withPage) {
        fs::create_directories(folder / "WebHelp");
        fs::copy_file(installed / "WebHelp" / "802.htm", folder / "WebHelp" / "802.htm",
                      fs::copy_options::overwrite_existing);
    }
    return folder;
}

struct HelpCase {
    const char* name;
    bool browser;  // the system browser starts
    bool page;     // the help page is there
    Lines transcript;
    std::size_t helpWindowPages;
};

TEST(HelpMenu, BrowserThenOwnHelpWindowThenNotAvailable) {
    const std::vector<HelpCase> cases{
        {"browser", true, true, {}, 0},
        {"no browser", false, true, {"window opened \"1xEV Forward Link - Help\""}, 1},
        {"no page", true, false,
         {"dialog message \"Option unavailable\": HTML help is not available in this version. [OK]"}, 0},
        {"neither", false, false,
         {"dialog message \"Option unavailable\": HTML help is not available in this version. [OK]"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WorkFolder folder;
        ScenarioPlatform platform{{TOLVANE_LAYOUT_DIR}};
        ApplicationOptions options;
        options.resourceFolder = resourcesIn(fs::path(folder.path()) / "resources", c.page).string();
        Application app(platform, options);
        ScriptRunner runner(platform, [&](const std::string& name) -> WindowId {
            if (const WindowId w = app.scriptWindow(name)) return w;
            throw ScriptFault("there is no window '" + name + "'");
        });
        runner.address(app.start());
        platform.setBrowserAvailable(c.browser);
        const std::size_t before = platform.transcript().size();
        std::istringstream script("menu menuHelpHelp\n");
        runner.run(readScript(script));
        const auto& t = platform.transcript();
        EXPECT_EQ(Lines(t.begin() + static_cast<std::ptrdiff_t>(before), t.end()), c.transcript);
        EXPECT_EQ(platform.browserRequests().size(), c.page ? 1u : 0u) << "the browser is the first choice";
        const std::vector<std::string>& shown = platform.helpPages();
        ASSERT_EQ(shown.size(), c.helpWindowPages);
        if (!shown.empty()) {
            EXPECT_TRUE(fs::equivalent(shown[0], options.resourceFolder + "/WebHelp/802.htm"));
        }
    }
}

}  // namespace
}  // namespace tolvane::app::test
