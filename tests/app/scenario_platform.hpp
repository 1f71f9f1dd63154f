// The platform the window scenarios run on, chosen when the tests are
// compiled: the headless platform, or (with TOLVANE_SCENARIOS_ON_QT) the Qt
// widgets in their scripted mode (which reports the headless platform's
// screen, so that positions read the same). The scenarios expect the same transcripts on
// both. The Qt build needs a QApplication made before the first platform.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/headless/headless_platform.hpp"

#ifdef TOLVANE_SCENARIOS_ON_QT
#include "qt/qt_platform.hpp"
#endif

namespace tolvane::app::test {

#ifdef TOLVANE_SCENARIOS_ON_QT
class ScenarioPlatform : public qt::QtPlatform {
public:
    explicit ScenarioPlatform(std::vector<std::string> layoutFolders)
        : QtPlatform(std::move(layoutFolders), Mode::Scripted) {}
};
#else
using ScenarioPlatform = HeadlessPlatform;
#endif

}  // namespace tolvane::app::test
