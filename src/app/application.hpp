// The application on a window platform: start-up, the main window with its
// child windows, and shutdown.
#pragma once

#include <memory>
#include <string>

#include "app/platform/platform.hpp"

namespace tolvane::app {

struct ApplicationOptions {
    // The folder holding the images and the help pages ("splash.jpg",
    // "Veltran.jpg", "WebHelp/802.htm"); empty: the installed resources.
    std::string resourceFolder;
};

class Application {
public:
    explicit Application(Platform& platform, ApplicationOptions options = {});
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up: splash, default records, the main window and its hidden child
    // windows; returns the main window, shown. Initialises the library when
    // it is not yet initialised.
    WindowId start();
    // True from start until File > Exit has closed the main window.
    bool running() const;
    // The window that scripts call by this name ("main", "slot", "rpc",
    // "advanced", "connection"), or 0 when it is not open.
    WindowId scriptWindow(const std::string& name) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tolvane::app
