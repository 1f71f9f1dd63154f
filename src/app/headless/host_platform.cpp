#include "app/headless/host_platform.hpp"

#include <utility>

#include "app/headless/headless_platform.hpp"
#include "app/library_entries.hpp"
#include "base/diagnostics.hpp"

namespace tolvane::app {

std::unique_ptr<Platform> makeHostPlatform(std::vector<std::string> layoutFolders) {
    auto platform = std::make_unique<HeadlessPlatform>(std::move(layoutFolders));
    platform->setTranscriptSink([](const std::string& line) {
        static const std::string console = "console: ";
        if (line.compare(0, console.size(), console) == 0) warn(line.substr(console.size()));
        else if (line.compare(0, 7, "dialog ") == 0) warn(line);
    });
    HeadlessPlatform* p = platform.get();
    platform->setPump([p](WindowId waiting, bool first) {
        if (!first) return false;
        p->requestClose(waiting);
        return true;
    });
    return platform;
}

void addHeadlessLibraryEntries(std::vector<std::string> layoutFolders, std::string resourceFolder,
                               std::string noDesktop) {
    LibraryHost host;
    host.makePlatform = [folders = std::move(layoutFolders)] { return makeHostPlatform(folders); };
    host.resourceFolder = std::move(resourceFolder);
    host.noDesktop = std::move(noDesktop);
    addLibraryEntries(std::move(host));
}

}  // namespace tolvane::app
