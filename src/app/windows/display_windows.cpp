#include "app/windows/display_windows.hpp"

#include "numerics/diagnostics.hpp"

namespace tolvane::app {

WindowId openDisplayWindow(Platform&, const DisplayRequest&, const std::vector<std::complex<double>>&) {
    throw Error("The displays are not yet available.");
}

}  // namespace tolvane::app
