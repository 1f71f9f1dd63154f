// The application framework of the main window (`rfCommonUI`): Calculate,
// Download and Refresh, the File, Plot, Configuration, Special and Help
// menus, the window title, the calculation bookkeeping in `appInfo` and the
// shutdown. It knows the signal standard only through the application
// function (the main window's operations by name).
//
// The file operations (parameter files, the connection file, waveform
// files, user data files) are in framework_files.cpp.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "app/platform/platform.hpp"
#include "receiver/analysis.hpp"
#include "runtime/value.hpp"

namespace tolvane::app {

// The instrument connection dialog: parent window, record, instrument
// generation -> answer ("OK"/"Cancel") and the edited record.
using ConnectionDialogRun =
    std::function<std::pair<std::string, Value>(WindowId parent, const Value& record, const std::string& generation)>;

struct FrameworkHooks {
    // The application function: runs the main window's operation of that
    // name ("Calculate", "InitializeParameters", "InitializeSigGenSettings",
    // "redraw"); errors pass to the caller.
    std::function<void(const std::string& operation)> applicationFunction;
    // The third argument is the instrument generation ("b", "c"), or
    // "Spectrum Analyzer" for the analyser's connection.
    ConnectionDialogRun connectionDialog;
    // The folder of the images and help pages.
    std::string resourceFolder;
};

// A count as a person reads it in the status line: thousands apart
// ("983 040").
std::string groupedCount(std::size_t n);

class Framework {
public:
    Framework(Platform& platform, WindowId mainWindow, FrameworkHooks hooks);

    // True when the control belongs to the framework (buttons, menu items).
    static bool ownsControl(const std::string& tag);
    // Runs the operation of that name; throws Error for one it lacks.
    void dispatch(const std::string& operation);
    // Runs the callback of the event's control; throws Error for a control
    // the framework has no callback for.
    void dispatch(const CallbackEvent& event);

    void InitializeFigure();
    void redrawAppTitle();
    // A short line in the main window's status area saying how the last job
    // ended (layouts without that area show none).
    void showStatus(const std::string& text);
    void executeCalculation(WindowId caller);
    // 1 = go on, 0 = stop.
    int checkWaveformReady(const std::string& action);
    void AppShutDown();
    // True once AppShutDown has closed the main window.
    bool shutDown() const { return shutDown_; }

    // --- files
    static std::string addFileExtention(const std::string& name, const std::string& ext);
    // The saved connection ("rfIOConfig.mat" in the working directory) with
    // its parameter file name cleared, or unset when there is none.
    static Value loadConfig();
    // Writes the connection file; failures are ignored.
    static void saveConfig(const Value& configuration);
    void saveParameters(const std::string& filename);
    int loadParameters(const std::string& filename);
    void saveWaveform(const std::string& filename);
    // [status, bits]: 1 and the bits, or -1 and empty (cancelled or failed).
    std::pair<int, Value> loadUserDataFile(double maxLengthInBits, const std::string& bitorder = "right-msb");

private:
    // The callback of the control of that tag; false when there is none.
    bool runCallback(const std::string& tag);
    void menuFileNew();
    void menuFileOpen();
    void menuFileSave(bool askName);
    void menuFileExportData();
    void menuSpecialSaveWave();
    void download();
    void refresh();
    void plot(const std::string& which);
    void menuFileAnalyzeRecording();
    // Runs an analysis with the busy pointer and shows its code-domain
    // window (or the reason there is none) and a status line.
    void showAnalysis(const std::function<AnalysisReport()>& analyse, const std::string& label);
    void configureConnection(bool spectrumAnalyser);
    void chooseBasebandOption(const std::string& tag);
    void help();
    std::string extension() const;
    void appendClientWindow(WindowId w);

    Platform& p_;
    WindowId w_;
    FrameworkHooks hooks_;
    bool shutDown_ = false;
};

}  // namespace tolvane::app
