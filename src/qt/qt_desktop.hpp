// The desktop run of the application on the Qt widgets.
#pragma once

#include "app/application.hpp"

namespace tolvane::qt {

// Starts the application (when it has not started) and runs the event loop
// until File > Exit has closed its main window. Needs a QApplication.
void runApplication(app::Application& application);

}  // namespace tolvane::qt
