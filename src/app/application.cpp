#include "app/application.hpp"

#include <filesystem>

#include "app/window_utils.hpp"
#include "app/windows/advanced_settings.hpp"
#include "app/windows/app_globals.hpp"
#include "app/windows/framework.hpp"
#include "app/windows/main_window.hpp"
#include "app/windows/packet_setup.hpp"
#include "app/windows/rpc_setup.hpp"
#include "app/windows/sig_gen_connection.hpp"
#include "app/windows/slot_setup.hpp"
#include "app/windows/sig_gen_panel.hpp"
#include "app/windows/splash_about.hpp"
#include "app/windows/window_functions.hpp"
#include "base/diagnostics.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/library.hpp"
#include "session/by_name.hpp"

#ifndef TOLVANE_RESOURCE_DIR
#define TOLVANE_RESOURCE_DIR ""
#endif

namespace tolvane::app {

struct Application::State {
    Platform& platform;
    ApplicationOptions options;
    WindowId main = 0;
    std::unique_ptr<AdvancedSettingsWindow> advanced;
    std::unique_ptr<RpcSetup> rpc;
    std::unique_ptr<PacketSetup> packets;
    std::unique_ptr<SlotSetup> slot;
    std::unique_ptr<SigGenConnection> connection;
    std::unique_ptr<SigGenPanel> panel;
    std::unique_ptr<Framework> framework;
    std::unique_ptr<MainWindow> mainWindow;
    bool started = false;

    State(Platform& p, ApplicationOptions o) : platform(p), options(std::move(o)) {}

    // The main window's controls call the part that owns them: the
    // generator panel, the framework, or the forward-link window itself.
    void mainCallback(const CallbackEvent& e) {
        reportErrors(platform, [&] {
            if (e.kind == CallbackEvent::Kind::CloseRequest) return framework->AppShutDown();
            if (SigGenPanel::ownsControl(e.tag)) return panel->dispatch(e);
            if (Framework::ownsControl(e.tag)) return framework->dispatch(e);
            mainWindow->dispatch(e);
        });
    }

    WindowModules modules() {
        WindowModules m;
        m.platform = &platform;
        m.mainWindow = mainWindow.get();
        m.framework = framework.get();
        m.panel = panel.get();
        m.advanced = advanced.get();
        m.slot = slot.get();
        m.rpc = rpc.get();
        m.connection = connection.get();
        return m;
    }
};

Application::Application(Platform& platform, ApplicationOptions options)
    : state_(std::make_unique<State>(platform, std::move(options))) {
    if (state_->options.resourceFolder.empty()) state_->options.resourceFolder = TOLVANE_RESOURCE_DIR;
}

Application::~Application() {
    setWindowModules(nullptr);
    setDownloadQuestion(nullptr);
}

WindowId Application::start() {
    State& s = *state_;
    if (s.started) return s.main;
    Platform& p = s.platform;
    installSession();
    if (!library().initialised()) library().initialize();

    // 1. The splash, and the stopwatch that keeps it up three seconds.
    const WindowId splash = QV_Splash(p, s.options.resourceFolder);
    p.startStopwatch();

    // 2. The records' defaults; the generator settings follow the frame's.
    MainWindow::InitializeAppInfo();
    MainWindow::InitializeConfiguration();
    MainWindow::InitializeParameters();
    MainWindow::InitializeSigGenSettings();
    // The spectrum analyser's connection: a record only its dialog edits and
    // no job reads, kept as the global callers by name see.
    global("configurationSA") = Value::empty();

    // 3. The main window with its menus; then the child windows, hidden,
    // each placed over the main window and initialised once.
    s.main = loadFigure(p, "OneX_Fwd_GUI_c", 0);
    // `appInfo` is the windows' own record, read by name as well (below).
    addStandardMenus(p, s.main, textField(global("appInfo"), "Platform") == "c");
    s.rpc = std::make_unique<RpcSetup>(p);
    s.slot = std::make_unique<SlotSetup>(p, *s.rpc);
    s.connection = std::make_unique<SigGenConnection>(p);
    s.packets = std::make_unique<PacketSetup>(p);
    s.mainWindow = std::make_unique<MainWindow>(p, s.main);
    FrameworkHooks hooks;
    hooks.applicationFunction = [&s](const std::string& op) { s.mainWindow->dispatch(op); };
    hooks.connectionDialog = [&s](WindowId parent, const Value& record, const std::string& generation) {
        return s.connection->run(parent, record, generation);
    };
    hooks.resourceFolder = s.options.resourceFolder;
    s.framework = std::make_unique<Framework>(p, s.main, std::move(hooks));
    p.setDispatcher(s.main, [&s](const CallbackEvent& e) { s.mainCallback(e); });
    s.framework->InitializeFigure();

    const WindowId slotWindow = SlotSetup::load(p, s.main);
    s.slot->InitializeFigure(slotWindow);
    const WindowId rpcWindow = RpcSetup::load(p, s.main);
    s.rpc->InitializeFigure(rpcWindow);
    const WindowId advanced = loadFigure(p, "KltConfigAdv_c", s.main);
    s.advanced = std::make_unique<AdvancedSettingsWindow>(p, advanced);
    s.advanced->InitializeFigure();
    const WindowId packetWindow = PacketSetup::load(p, s.main);
    s.packets->InitializeFigure(packetWindow);
    Record figures;
    figures.set("figSlotSetup", Value::handle(slotWindow));
    figures.set("figRPCsetup", Value::handle(rpcWindow));
    figures.set("AdvSettings", Value::handle(advanced));
    figures.set("figPacketSetup", Value::handle(packetWindow));
    // The child windows' handles, which calls by name look up.
    global("figureList") = Value::record(std::move(figures));

    s.panel = std::make_unique<SigGenPanel>(p, s.main, *s.advanced);
    s.mainWindow->connect(s.framework.get(), s.panel.get(),
                          [&s](const Value& slot, bool dataApplies) { return s.slot->run(slot, dataApplies); },
                          [&s](double bits) { return s.framework->loadUserDataFile(bits); },
                          [&s](const std::vector<PacketRow>& packets, double frameSlots) {
                              return s.packets->run(packets, frameSlots);
                          });

    // 4.-5. The main window's tooltips and fonts, then everything drawn.
    s.mainWindow->InitializeFigure();
    s.mainWindow->redraw();

    // A long serial download asks first.
    setDownloadQuestion([&p](const std::string& title, const std::string& text) {
        return p.questionDialog(title, text, {"OK", "Cancel"}, "Cancel") == "OK";
    });
    setWindowModules(std::make_unique<WindowModules>(s.modules()));

    // 6. The splash stays up three seconds in all.
    const double elapsed = p.elapsedSeconds();
    if (elapsed < 3) p.pause(3 - elapsed);
    p.deleteWindow(splash);
    p.set(s.main, p.windowTag(s.main), "Visible", Value::text("on"));
    s.started = true;
    return s.main;
}

bool Application::running() const {
    const State& s = *state_;
    return s.started && s.framework && !s.framework->shutDown() && s.platform.isWindow(s.main);
}

WindowId Application::scriptWindow(const std::string& name) const {
    const State& s = *state_;
    if (!s.started) return 0;
    WindowId w = 0;
    if (name == "main") w = s.main;
    if (name == "advanced" && s.advanced) w = s.advanced->window();
    if (name == "slot" && s.slot) w = s.slot->window();
    if (name == "rpc" && s.rpc) w = s.rpc->window();
    if (name == "connection" && s.connection) w = s.connection->window();
    if (name == "packets" && s.packets) w = s.packets->window();
    // A hidden window is not there for a person to use.
    if (w == 0 || !s.platform.isWindow(w)) return 0;
    const Value visible = s.platform.get(w, s.platform.windowTag(w), "Visible");
    return visible.isText() && visible.str() == "on" ? w : 0;
}

}  // namespace tolvane::app
