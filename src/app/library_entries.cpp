#include "app/library_entries.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <set>
#include <utility>
#include <vector>

#include "app/application.hpp"
#include "app/window_utils.hpp"
#include "app/windows/display_entries.hpp"
#include "app/windows/display_windows.hpp"
#include "app/windows/framework.hpp"
#include "app/windows/splash_about.hpp"
#include "app/windows/window_functions.hpp"
#include "display/eye_diagram.hpp"
#include "display/scatter_diagram.hpp"
#include "base/diagnostics.hpp"
#include "runtime/convert.hpp"
#include "runtime/library.hpp"

namespace tolvane::app {

namespace {

// The host's platform and, once OneX_Fwd_GUI_c() has started it there, the
// application on it. Kept for the life of the process: the platform may be
// referred to by windows that outlive one library initialisation.
struct HostState {
    LibraryHost host;
    std::unique_ptr<Platform> platform;
    std::unique_ptr<Application> application;
    bool registrarAdded = false;
};

HostState& state() {
    // Never destroyed: an application on the host platform must not be torn
    // down after the window modules it registered at exit.
    static HostState* s = new HostState;
    return *s;
}

// The running application's platform (the desktop's widgets, or the
// headless platform of a scripted run), else the host's own.
Platform& hostPlatform(const std::string& function) {
    if (const WindowModules* m = runningWindowModules(); m && m->platform) return *m->platform;
    HostState& s = state();
    if (!s.platform) {
        if (!s.host.makePlatform)
            throw Error(function + " needs a window platform, and this host provides none.");
        s.platform = s.host.makePlatform();
    }
    return *s.platform;
}

// A window handle: a handle value or a whole number.
WindowId windowArg(const Value& v, const std::string& name) {
    if (v.isHandle() && v.numel() == 1) return static_cast<WindowId>(v.realAt(0));
    return static_cast<WindowId>(valueWhole(v, name, 0, 1LL << 30));
}

WindowId windowArg(const Call& c, std::size_t i, WindowId fallback = 0) {
    return c.has(i) ? windowArg(c.in(i), inputName(c, i)) : fallback;
}

std::string textArg(const Call& c, std::size_t i) {
    const Value& v = c.in(i);
    if (!v.isText()) throw Error("The input \"" + inputName(c, i) + "\" must be a text.");
    return v.str();
}

Value windowResult(WindowId w) { return w != 0 ? Value::handle(w) : Value::empty(); }

void add(Registry& reg, std::string name, int inputs, int outputs, std::vector<std::string> inputNames,
         std::vector<std::string> outputNames, Body body) {
    define(reg, std::move(name), inputs, outputs, std::move(inputNames), std::move(outputNames), std::move(body));
}

// ---- window utilities

void addWindowUtilities(Registry& reg) {
    add(reg, "compareStruct", 2, 1, {"a", "b"}, {"result"}, [](Call& c) {
        c.setOut(0, Value::scalar(compareStruct(c.in(0), c.in(1)) ? 1 : 0));
    });
    add(reg, "getTagIndex", 1, 1, {"str"}, {"index"},
        [](Call& c) { c.setOut(0, Value::scalar(getTagIndex(textArg(c, 0)))); });
    // The help viewer is the system web browser, opened through the
    // platform's desktop services (xdg-open on Linux); there is no built-in
    // help browser and no separate document path.
    add(reg, "docopt", 0, 3, {}, {"doccmd", "options", "docpath"}, [](Call& c) {
        c.setOut(0, Value::text("xdg-open"));
        if (c.nargout() > 1) c.setOut(1, Value::text(""));
        if (c.nargout() > 2) c.setOut(2, Value::text(""));
    });
    add(reg, "web", 2, 1, {"url", "option"}, {"stat"}, [](Call& c) {
        const std::string url = textArg(c, 0);
        if (c.has(1) && (!c.in(1).isText() || c.in(1).str() != "-browser"))
            throw Error("web: the only viewer is the system web browser (\"-browser\").");
        // 0: opened; 1: the browser could not be opened.
        c.setOut(0, Value::scalar(hostPlatform("web").openInBrowser(url) ? 0 : 1));
    });
    add(reg, "loadFigure", 2, 1, {"filename", "parentHandle"}, {"fig"}, [](Call& c) {
        Platform& p = hostPlatform("loadFigure");
        c.setOut(0, windowResult(loadFigure(p, textArg(c, 0), windowArg(c, 1))));
    });
    add(reg, "positionChildWindow", 2, 0, {"parent", "child"}, {}, [](Call& c) {
        Platform& p = hostPlatform("positionChildWindow");
        positionChildWindow(p, windowArg(c, 0), windowArg(c, 1));
    });
    // Controls are reached by tag within their window, so the handles listed
    // here are windows: a window handle, or a record whose fields hold
    // window handles (each window scaled once).
    add(reg, "resizeAllFonts", 1, 0, {"h"}, {}, [](Call& c) {
        Platform& p = hostPlatform("resizeAllFonts");
        std::set<WindowId> windows;
        const Value& h = c.in(0);
        if (h.isRecord()) {
            for (const auto& [name, v] : h.rec().fields()) {
                if (!v.isNumeric() && !v.isHandle()) continue;
                for (std::size_t i = 0; i < v.numel(); ++i) windows.insert(static_cast<WindowId>(v.realAt(i)));
            }
        } else {
            windows.insert(windowArg(h, "h"));
        }
        for (WindowId w : windows) {
            if (!p.isWindow(w)) throw Error("resizeAllFonts: " + std::to_string(w) + " is not a window.");
            resizeAllFonts(p, w);
        }
    });
    add(reg, "QV_AddMenu", 1, 1, {"hFigure"}, {"menuHeaders"}, [](Call& c) {
        Platform& p = hostPlatform("QV_AddMenu");
        const WindowId w = windowArg(c, 0);
        if (!p.isWindow(w)) throw Error("QV_AddMenu: " + std::to_string(w) + " is not a window.");
        const Value appInfo = library().globals().get("appInfo");
        const bool current = appInfo.hasField("Platform") && appInfo.field("Platform").isText() &&
                             appInfo.field("Platform").str() == "c";
        // The platform reaches menus by tag: each header is its menu's tag.
        const MenuHeaders m = addStandardMenus(p, w, current);
        Record r;
        r.set("File", Value::text(m.File));
        r.set("Plot", Value::text(m.Plot));
        r.set("Config", Value::text(m.Config));
        r.set("Special", Value::text(m.Special));
        r.set("Help", Value::text(m.Help));
        c.setOut(0, Value::record(std::move(r)));
    });
    add(reg, "QV_Splash", 0, 1, {}, {"fig"}, [](Call& c) {
        Platform& p = hostPlatform("QV_Splash");
        c.setOut(0, windowResult(QV_Splash(p, state().host.resourceFolder)));
    });
    add(reg, "QV_About", -1, 0, {"varargin"}, {}, [](Call& c) {
        const auto& args = c.varargin();
        if (!args.empty() && args[0].isText())
            throw Error("QV_About: the About window's operation \"" + args[0].str() +
                        "\" runs from its own controls while the window is open.");
        Platform& p = hostPlatform("QV_About");
        const WindowId parent = args.empty() ? 0 : windowArg(args[0], "parentHandle");
        const Value app = args.size() > 1 && args[1].isRecord() ? args[1] : Value();
        QV_About(p, parent, app, state().host.resourceFolder);
    });
}

// ---- displays

void addDisplays(Registry& reg) {
    registerDisplayEntries(reg, [](const std::string& name) -> Platform& { return hostPlatform(name); });

    // The zoom and rotate modes belong to a display window's Tools menu,
    // which switches them on that window itself.
    for (const char* tool : {"QV_Zoom", "QV_Rotate"}) {
        const std::string name = tool;
        const std::string item = name == "QV_Zoom" ? "Zoom" : "Rotate";
        add(reg, name, 0, 0, {}, {}, [name, item](Call&) {
            throw Error(name + " is the Tools > " + item +
                        " item of a display window: use it from the menu of the window it acts on.");
        });
    }

    // The drawing routines behind the eye and scatter displays, each in a
    // window of its own.
    add(reg, "eyediagram", 4, 1, {"x", "n", "period", "offset"}, {"h"}, [](Call& c) {
        Platform& p = hostPlatform("eyediagram");
        const DisplayInputs in{c};
        c.setOut(0, windowResult(p.showFigure(display::eyeDiagramFigure(
                        display::Placement{}, "", in.wave(0), argScalar(c, 1), in.number(2, 1), in.number(3, 0)))));
    });
    add(reg, "scatterplot", 3, 1, {"x", "n", "offset"}, {"h"}, [](Call& c) {
        Platform& p = hostPlatform("scatterplot");
        const DisplayInputs in{c};
        c.setOut(0, windowResult(p.showFigure(display::scatterDiagramFigure(
                        display::Placement{}, "", in.wave(0), in.number(1, 1), in.number(2, 0), false))));
    });
    // waterfall(Z) or waterfall(X, Y, Z): Z's rows drawn one behind the other
    // over the columns' X coordinates (X's first row, or 1..n) and the rows'
    // Y coordinates (Y's first column, or 1..m).
    add(reg, "waterfall", 3, 1, {"X", "Y", "Z"}, {"h"}, [](Call& c) {
        if (c.nargin() != 1 && c.nargin() != 3) throw Error("waterfall takes Z, or X, Y and Z.");
        const Value& z = c.in(c.nargin() == 1 ? 0 : 2);
        const std::vector<double> zData = valueReal(z, "Z");
        const std::size_t m = z.rows(), n = z.cols();
        if (m == 0 || n == 0) throw Error("waterfall: Z is empty.");
        display::Surface s;
        s.x.resize(n);
        s.y.resize(m);
        for (std::size_t j = 0; j < n; ++j) s.x[j] = static_cast<double>(j + 1);
        for (std::size_t i = 0; i < m; ++i) s.y[i] = static_cast<double>(i + 1);
        if (c.nargin() == 3) {
            const Value& x = c.in(0);
            const Value& y = c.in(1);
            const std::vector<double> xData = valueReal(x, "X");
            const std::vector<double> yData = valueReal(y, "Y");
            // A vector gives the coordinates as they are; a matrix of Z's size
            // its first row (X) or first column (Y), as stored column-major.
            if (xData.size() == n) s.x = xData;
            else if (x.rows() == m && x.cols() == n)
                for (std::size_t j = 0; j < n; ++j) s.x[j] = xData[j * m];
            else throw Error("waterfall: X must have one value per column of Z.");
            if (yData.size() == m) s.y = yData;
            else if (y.rows() == m && y.cols() == n)
                for (std::size_t i = 0; i < m; ++i) s.y[i] = yData[i];
            else throw Error("waterfall: Y must have one value per row of Z.");
        }
        s.z.resize(m * n);
        for (std::size_t i = 0; i < m; ++i)
            for (std::size_t j = 0; j < n; ++j) s.z[i * n + j] = zData[j * m + i];
        auto range = [](const std::vector<double>& v) {
            display::Range r{0, 1};
            bool any = false;
            for (double x : v) {
                if (!std::isfinite(x)) continue;
                r.min = any ? std::min(r.min, x) : x;
                r.max = any ? std::max(r.max, x) : x;
                any = true;
            }
            if (r.max <= r.min) r.max = r.min + 1;
            return r;
        };
        display::Axes axes;
        axes.tag = "waterfall";
        axes.x = range(s.x);
        axes.y = range(s.y);
        axes.z = range(s.z);
        axes.surface = std::move(s);
        display::Figure f;
        f.name = "Waterfall";
        f.displayMenus = false;
        f.axes.push_back(std::move(axes));
        c.setOut(0, windowResult(hostPlatform("waterfall").showFigure(f)));
    });
}

// ---- the application and its window modules

std::string startFirst(const std::string& module, const std::string& what) {
    return module + ": " + what +
           " needs the application's windows, and the application is not running: start it with "
           "OneX_Fwd_GUI_c().";
}

// A window module outside the running application: its operations that need
// no window run; the others refuse. The application's own registration
// replaces this one while it runs.
void addModule(Registry& reg, const std::string& name,
               std::function<bool(Call& c, const std::string& op, const std::vector<Value>& rest)> windowFree = {}) {
    add(reg, name, -1, 1, {"varargin"}, {"varargout"}, [name, windowFree](Call& c) {
        const auto& args = c.varargin();
        if (args.empty()) {
            c.setOut(0, Value::empty());
            return;
        }
        if (!args[0].isText()) throw Error(startFirst(name, "opening its window"));
        const std::string op = args[0].str();
        const std::vector<Value> rest(args.begin() + 1, args.end());
        if (windowFree && windowFree(c, op, rest)) return;
        throw Error(startFirst(name, "the operation \"" + op + "\""));
    });
}

void addApplication(Registry& reg) {
    // OneX_Fwd_GUI_c(): the application started on the host's platform; its
    // main window is returned. With an operation name: the operations that
    // need no window (registered as the module's locals) run by name.
    add(reg, "OneX_Fwd_GUI_c", -1, 1, {"varargin"}, {"varargout"}, [](Call& c) {
        const auto& args = c.varargin();
        if (args.empty()) {
            HostState& s = state();
            Platform& p = hostPlatform("OneX_Fwd_GUI_c");
            if (!s.application) {
                ApplicationOptions options;
                options.resourceFolder = s.host.resourceFolder;
                s.application = std::make_unique<Application>(p, options);
            }
            c.setOut(0, windowResult(s.application->start()));
            return;
        }
        if (!args[0].isText()) {
            c.setOut(0, Value::empty());
            return;
        }
        const std::string local = "OneX_Fwd_GUI_c/" + args[0].str();
        const FunctionSpec* def = library().registry().find(local);
        if (!def) throw Error(startFirst("OneX_Fwd_GUI_c", "the operation \"" + args[0].str() + "\""));
        // The operation is asked for the outputs it has, as the module's
        // dispatch by operation name does.
        const int nargout = def->outputs >= 0 ? std::min(c.nargout(), def->outputs) : c.nargout();
        std::vector<Value> rest(args.begin() + 1, args.end());
        std::vector<Value> out = library().registry().call(local, nargout, std::move(rest));
        c.setOut(0, out.empty() ? Value::empty() : std::move(out[0]));
        if (!c.outputs()[0].isSet()) c.setOut(0, Value::empty());
    });

    addModule(reg, "rfCommonUI", [](Call& c, const std::string& op, const std::vector<Value>& rest) {
        if (op != "addFileExtention") return false;
        if (rest.size() != 2 || !rest[0].isText() || !rest[1].isText())
            throw Error("rfCommonUI: addFileExtention takes a file name and an extension, both texts.");
        c.setOut(0, Value::text(Framework::addFileExtention(rest[0].str(), rest[1].str())));
        return true;
    });
    for (const char* module :
         {"KLTconfig_c", "KltConfigAdv_c", "OneX_Fwd_GUI_SlotSetup", "OneX_Fwd_GUI_RPCsetup", "QV_SigGen"})
        addModule(reg, module);

    // The user data file prompt belongs to the running application's
    // framework (it remembers the folder of the last file).
    add(reg, "loadUserDataFile", 2, 2, {"maxLengthInBits", "bitorder"}, {"status", "bits"}, [](Call& c) {
        WindowModules* m = runningWindowModules();
        if (!m || !m->framework)
            throw Error("loadUserDataFile asks for the file in the application's windows, and the application is "
                        "not running: start it with OneX_Fwd_GUI_c().");
        const double maxBits = c.has(0) ? argScalar(c, 0) : 0;
        const std::string order = c.has(1) ? textArg(c, 1) : "right-msb";
        auto [status, bits] = m->framework->loadUserDataFile(maxBits, order);
        c.setOut(0, Value::scalar(status));
        if (c.nargout() > 1) c.setOut(1, std::move(bits));
    });

    // The desktop's entry replaces this one where the desktop front end is
    // built into the host.
    if (!reg.contains("OneX_Fwd_c")) {
        add(reg, "OneX_Fwd_c", 0, 0, {}, {}, [](Call&) { throw RuntimeError(state().host.noDesktop); });
    }
}

}  // namespace

void registerLibraryEntries(Library& lib) {
    HostState& s = state();
    // A new initialisation starts without the application a host started
    // on the previous one (its window modules were registered there).
    s.application.reset();
    Registry& reg = lib.registry();
    addWindowUtilities(reg);
    addDisplays(reg);
    addApplication(reg);
}

void addLibraryEntries(LibraryHost host) {
    HostState& s = state();
    s.host = std::move(host);
    if (s.registrarAdded) return;
    s.registrarAdded = true;
    library().addExtension(registerLibraryEntries);
}

}  // namespace tolvane::app
