#include "app/window_utils.hpp"

#include <cmath>

#include "base/diagnostics.hpp"

namespace tolvane::app {

double getTagIndex(const std::string& tag) {
    std::size_t start = tag.size();
    while (start > 0 && tag[start - 1] >= '0' && tag[start - 1] <= '9') --start;
    double index = 0;
    for (std::size_t i = start; i < tag.size(); ++i) index = index * 10 + (tag[i] - '0');
    return index;
}

std::string tagStem(const std::string& tag) {
    std::size_t end = tag.size();
    while (end > 0 && tag[end - 1] >= '0' && tag[end - 1] <= '9') --end;
    return tag.substr(0, end);
}

namespace {

bool endsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::optional<std::string> callbackTag(const std::string& operation) {
    constexpr std::string_view suffix = "_Callback";
    if (operation.size() <= suffix.size() || !endsWith(operation, suffix)) return std::nullopt;
    return operation.substr(0, operation.size() - suffix.size());
}

std::optional<CallbackEvent> callbackEvent(const std::string& operation, WindowId window,
                                           const std::string& windowTag) {
    if (operation == windowTag + "_CloseRequestFcn")
        return CallbackEvent{operation, window, windowTag, CallbackEvent::Kind::CloseRequest};
    if (auto tag = callbackTag(operation)) return CallbackEvent{operation, window, *tag, CallbackEvent::Kind::Control};
    return std::nullopt;
}

namespace {

bool sameNumbers(const Value& a, const Value& b) {
    if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
    if (a.isComplex() || b.isComplex()) {
        for (std::size_t i = 0; i < a.numel(); ++i) {
            const cplx x = a.complexAt(i), y = b.complexAt(i);
            const bool nx = std::isnan(x.real()) || std::isnan(x.imag());
            const bool ny = std::isnan(y.real()) || std::isnan(y.imag());
            if (nx != ny) return false;
            if (!nx && x != y) return false;
        }
        return true;
    }
    for (std::size_t i = 0; i < a.numel(); ++i) {
        const double x = a.realAt(i), y = b.realAt(i);
        if (std::isnan(x) != std::isnan(y)) return false;
        if (!std::isnan(x) && x != y) return false;
    }
    return true;
}

bool sameField(const Value& a, const Value& b) {
    const bool emptyA = !a.isSet() || a.isEmpty();
    const bool emptyB = !b.isSet() || b.isEmpty();
    if (emptyA && emptyB) return true;
    if (a.isRecord() && b.isRecord()) return compareStruct(a, b);
    if (a.isNumeric() && b.isNumeric()) return sameNumbers(a, b);
    if (a.isText() && b.isText()) return a.str() == b.str();
    return true;
}

}  // namespace

bool compareStruct(const Value& a, const Value& b) {
    if (!a.isRecord() || !b.isRecord()) return false;
    const auto& fa = a.rec().fields();
    const auto& fb = b.rec().fields();
    if (fa.size() != fb.size()) return false;
    for (std::size_t i = 0; i < fa.size(); ++i) {
        if (fa[i].first != fb[i].first) return false;
        if (!sameField(fa[i].second, fb[i].second)) return false;
    }
    return true;
}

void positionChildWindow(Platform& platform, WindowId parent, WindowId child) {
    std::vector<double> ref;
    if (parent == 0) {
        const ScreenFacts s = platform.screen();
        ref = {0, 0, s.width, s.height};
    } else {
        const Value p = platform.get(parent, platform.windowTag(parent), "Position");
        if (!p.isReal() || p.numel() != 4) throw Error("The parent window has no position.");
        ref = p.realData();
    }
    const std::string tag = platform.windowTag(child);
    const Value c = platform.get(child, tag, "Position");
    if (!c.isReal() || c.numel() != 4) throw Error("The window has no position.");
    const double width = c.realAt(2), height = c.realAt(3);
    platform.set(child, tag, "Position",
                 Value::row({ref[0] + (ref[2] - width) / 2, ref[1] + (ref[3] - height) / 2, width, height}));
}

MenuHeaders addStandardMenus(Platform& platform, WindowId window, bool withBasebandGenerator) {
    struct Item {
        const char* parent;
        const char* label;
        const char* tag;
        bool separator;
        bool visible;
        bool enabled;
    };
    static const Item standard[] = {
        {"", "&File", "menuFile", false, true, true},
        {"menuFile", "&New", "menuFileNew", false, true, true},
        {"menuFile", "&Open...", "menuFileOpen", false, true, true},
        {"menuFile", "&Save", "menuFileSave", false, true, true},
        {"menuFile", "Save &As...", "menuFileSaveAs", false, true, true},
        {"menuFile", "&Export Data...", "menuFileExportData", false, true, true},
        {"menuFile", "&Export Raw Data...", "menuFileExportRawData", false, false, true},
        {"menuFile", "A&nalyze Recording...", "menuFileAnalyzeRecording", false, true, true},
        {"menuFile", "E&xit", "menuFileExit", true, true, true},
        {"", "&Plot", "menuPlot", false, true, true},
        {"menuPlot", "&Spectrum", "menuPlotSpectrum", false, true, true},
        {"menuPlot", "&Waterfall", "menuPlotWaterfall", false, false, true},
        {"menuPlot", "I(t) Q(t)", "menuPlotIQTime", true, true, true},
        {"menuPlot", "I(t) Q(t) Overlayed", "menuPlotIQTimeSameAxes", false, true, true},
        {"menuPlot", "&Eye Diagram", "menuPlotEyeDiagram", false, false, true},
        {"menuPlot", "S&catter Diagram", "menuPlotScatterDiagram", false, false, true},
        {"menuPlot", "&CCDF", "menuPlotCCDF", true, true, true},
        {"menuPlot", "Code &Domain Power", "menuPlotCodeDomainPower", false, true, true},
        {"", "&Configuration", "menuConfig", false, true, true},
        {"menuConfig", "&Sig Gen I/O", "menuConfigSigGenIO", false, true, true},
        {"menuConfig", "Spec &An I/O", "menuConfigSpecAnIO", false, false, true},
    };
    static const Item basebandGenerator[] = {
        {"menuConfig", "&Baseband Generator", "menuConfigBBG1", true, true, true},
        {"menuConfigBBG1", "Option 00&1 (8 Msamples)", "menuConfigBBG1Opt1", false, true, true},
        {"menuConfigBBG1", "Option 00&2 (32 Msamples)", "menuConfigBBG1Opt2", false, true, true},
    };
    static const Item rest[] = {
        {"", "&Special", "menuSpecial", false, false, true},
        {"menuSpecial", "Save &Wave...", "menuSpecialSaveWave", false, true, true},
        {"menuSpecial", "&Impairments", "menuSpecialImpairments", false, false, false},
        {"", "&Help", "menuHelp", false, true, true},
        {"menuHelp", "&Help", "menuHelpHelp", false, true, true},
        {"menuHelp", "&About", "menuHelpAbout", false, true, true},
    };
    const auto add = [&](const Item& i) {
        platform.addMenuItem(window, MenuItem{i.parent, i.label, i.tag, i.separator, i.visible, i.enabled});
    };
    for (const Item& i : standard) add(i);
    if (withBasebandGenerator)
        for (const Item& i : basebandGenerator) add(i);
    for (const Item& i : rest) add(i);
    return {};
}

Value defaultControlBackground() { return Value::row({0.94, 0.94, 0.94}); }

void resizeAllFonts(Platform& platform, WindowId window) {
    constexpr double baseDpi = 96;
    if (platform.screen().dpi != baseDpi) return;
    for (const std::string& tag : platform.controlTags(window)) {
        const Value size = platform.get(window, tag, "FontSize");
        if (!size.isReal() || size.numel() != 1) continue;  // menu items have none
        platform.set(window, tag, "FontSize", Value::scalar(std::round(size.realAt(0) * 1.1)));
    }
}

WindowId loadFigure(Platform& platform, const std::string& layoutName, WindowId parent) {
    const WindowId window = platform.openLayout(layoutName);
    platform.set(window, platform.windowTag(window), "Color", defaultControlBackground());
    positionChildWindow(platform, parent, window);
    return window;
}

}  // namespace tolvane::app
