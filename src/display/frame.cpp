#include "display/frame.hpp"

namespace tolvane::display {

std::array<double, 4> framePosition(const Placement& placement, const std::array<double, 4>& pixelDefault) {
    if (placement.parent) {
        const auto& p = *placement.parent;
        const double width = p[2] * 0.8, height = p[3] * 0.8;
        return {p[0] + 0.1 * width, p[1] - 0.1 * height, width, height};
    }
    if (placement.units == "pixels") return pixelDefault;
    return {0.1, 0.1, 0.5, 0.5};
}

std::array<double, 4> adjustAxesPosition(const std::array<double, 4>& p, double bottomFactor) {
    return {p[0] * 1.2, p[1] * bottomFactor, p[2], p[3] / 1.1};
}

Figure frameFigure(const std::string& namePrefix, const std::string& label, const Placement& placement,
                   const std::array<double, 4>& pixelDefault) {
    Figure figure;
    figure.name = namePrefix + label;
    figure.units = placement.units;
    figure.position = framePosition(placement, pixelDefault);
    figure.displayMenus = true;
    return figure;
}

}  // namespace tolvane::display
