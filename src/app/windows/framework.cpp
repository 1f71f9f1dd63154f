#include "app/windows/framework.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "base/text.hpp"
#include "app/number_entry.hpp"
#include "app/window_utils.hpp"
#include "app/windows/app_globals.hpp"
#include "app/windows/display_windows.hpp"
#include "app/windows/splash_about.hpp"
#include "instrument/corrections.hpp"
#include "runtime/instrument_values.hpp"
#include "instrument/jobs.hpp"
#include "base/diagnostics.hpp"
#include "runtime/library.hpp"
#include "session/analysis_job.hpp"

namespace tolvane::app {

namespace {

// The application's record (name, generation, calculation bookkeeping,
// client windows): the windows' own state, which scripts and calls by name
// read and change under its global's name, so it stays a dynamic value.
Value& appInfo() { return global("appInfo"); }

}  // namespace

Framework::Framework(Platform& platform, WindowId mainWindow, FrameworkHooks hooks)
    : p_(platform), w_(mainWindow), hooks_(std::move(hooks)) {}

bool Framework::ownsControl(const std::string& tag) {
    return tag == "pbCalculate" || tag == "pbDownload" || tag == "pbRefresh" || tag.rfind("menu", 0) == 0;
}

void Framework::dispatch(const std::string& op) {
    if (op == "InitializeFigure") return InitializeFigure();
    if (op == "redrawAppTitle") return redrawAppTitle();
    if (op == "executeCalculation") return executeCalculation(w_);
    if (op == "AppShutDown") return AppShutDown();
    if (const auto tag = callbackTag(op))
        if (runCallback(*tag)) return;
    throw Error("rfCommonUI has no operation " + op + ".");
}

void Framework::dispatch(const CallbackEvent& event) {
    if (!runCallback(event.tag)) throw Error("rfCommonUI has no operation " + event.operation + ".");
}

bool Framework::runCallback(const std::string& tag) {
    using Callback = void (*)(Framework&);
    static const std::pair<std::string_view, Callback> controls[] = {
        {"pbCalculate", [](Framework& f) { f.executeCalculation(f.w_); }},
        {"pbDownload", [](Framework& f) { f.download(); }},
        {"pbRefresh", [](Framework& f) { f.refresh(); }},
        {"menuFileNew", [](Framework& f) { f.menuFileNew(); }},
        {"menuFileOpen", [](Framework& f) { f.menuFileOpen(); }},
        {"menuFileSave", [](Framework& f) { f.menuFileSave(false); }},
        {"menuFileSaveAs", [](Framework& f) { f.menuFileSave(true); }},
        {"menuFileExportData", [](Framework& f) { f.menuFileExportData(); }},
        {"menuFileAnalyzeRecording", [](Framework& f) { f.menuFileAnalyzeRecording(); }},
        {"menuFileExit", [](Framework& f) { f.AppShutDown(); }},
        {"menuSpecialSaveWave", [](Framework& f) { f.menuSpecialSaveWave(); }},
        {"menuConfigSigGenIO", [](Framework& f) { f.configureConnection(false); }},
        {"menuConfigSpecAnIO", [](Framework& f) { f.configureConnection(true); }},
        {"menuConfigBBG1Opt1", [](Framework& f) { f.chooseBasebandOption("menuConfigBBG1Opt1"); }},
        {"menuConfigBBG1Opt2", [](Framework& f) { f.chooseBasebandOption("menuConfigBBG1Opt2"); }},
        {"menuHelpAbout", [](Framework& f) { QV_About(f.p_, f.w_, appInfo(), f.hooks_.resourceFolder); }},
        {"menuHelpHelp", [](Framework& f) { f.help(); }},
        // The menus themselves and the items without an action.
        {"menuFile", [](Framework&) {}},
        {"menuPlot", [](Framework&) {}},
        {"menuConfig", [](Framework&) {}},
        {"menuConfigBBG1", [](Framework&) {}},
        {"menuSpecial", [](Framework&) {}},
        {"menuHelp", [](Framework&) {}},
        {"menuFileExportRawData", [](Framework&) {}},
        {"menuSpecialImpairments", [](Framework&) {}},
    };
    if (const Callback* f = findByTag(controls, tag)) {
        (*f)(*this);
        return true;
    }
    // The Plot menu's items name their display: menuPlotCCDF, ...
    const std::string plotPrefix = "menuPlot";
    if (tag.size() > plotPrefix.size() && tag.compare(0, plotPrefix.size(), plotPrefix) == 0) {
        plot(tag.substr(plotPrefix.size()));
        return true;
    }
    return false;
}

void Framework::menuFileNew() {
    session().connection().lastParameterFile = "";
    hooks_.applicationFunction("InitializeParameters");
    hooks_.applicationFunction("InitializeSigGenSettings");
    hooks_.applicationFunction("redraw");
}

void Framework::InitializeFigure() {
    const Value saved = loadConfig();
    if (saved.isSet()) session().setConnectionValue(saved);
    setTooltip(p_, w_, "pbCalculate", "Calculates the waveform based\non current settings.");
    setTooltip(p_, w_, "pbDownload", "Downloads the current waveform and\nsettings to the KLT.");
    setTooltip(p_, w_, "pbRefresh", "Downloads just the current settings\nto the KLT.");
    setTooltip(p_, w_, "txtNumberOfSamples", "The number of samples generated\nby the current settings.");
    const std::string event =
        "Description of the signal available on\nthe Event %d Connector of the rear panel.";
    auto eventText = [&](int n) {
        std::string t = event;
        t.replace(t.find("%d"), 2, std::to_string(n));
        return t;
    };
    setTooltip(p_, w_, "txtEvent1", eventText(1));
    setTooltip(p_, w_, "txtEvent2", eventText(2));
    if (textField(appInfo(), "Platform") == "c") {
        setTooltip(p_, w_, "txtNumberOfSamples",
                   "The number of samples generated \nby the current settings.\n(The Z9104K can hold up to 8 or 32 M "
                   "samples.)");
        setTooltip(p_, w_, "txtEvent3", eventText(3));
        setTooltip(p_, w_, "txtEvent4", eventText(4));
        const bool option1 = session().connection().basebandOption == "001";
        p_.set(w_, "menuConfigBBG1Opt1", "Checked", Value::text(option1 ? "on" : "off"));
        p_.set(w_, "menuConfigBBG1Opt2", "Checked", Value::text(option1 ? "off" : "on"));
    } else {
        setTooltip(p_, w_, "txtNumberOfSamples",
                   "The number of samples generated \nby the current settings.\n(An KLT can hold up to 1 M samples.)");
    }
}

void Framework::redrawAppTitle() {
    std::string title = "Veltran Sonvale - " + textField(appInfo(), "Name");
    const std::string file = session().connection().lastParameterFile.value_or("");
    if (!file.empty()) title += " : " + file;
    p_.set(w_, p_.windowTag(w_), "Name", Value::text(title));
}

void Framework::showStatus(const std::string& text) {
    if (p_.hasControl(w_, "txtStatus")) p_.set(w_, "txtStatus", "String", Value::text(text));
}

std::string groupedCount(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, " ");
    return digits;
}

void Framework::executeCalculation(WindowId caller) {
    // The pointer is restored also when the calculation fails: a window left
    // with the busy pointer after an error would look hung.
    BusyPointer busy(p_, caller);
    p_.startStopwatch();
    // The calculation touches only the records, never the windows, so it
    // runs while the windows stay painted (and take no input).
    p_.runBusy("Calculating the waveform", false, [this](Progress&) { hooks_.applicationFunction("Calculate"); });
    const double seconds = p_.elapsedSeconds();
    const auto now = p_.clock();
    appInfo().setField("LastCalcTimeStamp", Value::row(std::vector<double>(now.begin(), now.end())));
    appInfo().setField("LastCaluclatedParameterSet", session().parametersValue());
    char text[160];
    std::snprintf(text, sizeof text, "Calculated %s samples at %.10g MHz in %.2f s",
                  groupedCount(session().waveform().size()).c_str(), session().settings().values.SamplingRate / 1e6,
                  seconds);
    showStatus(text);
}

int Framework::checkWaveformReady(const std::string& action) {
    const Value& stamp = appInfo().field("LastCalcTimeStamp");
    if (!stamp.isSet() || stamp.isEmpty()) {
        const std::string calc = "Calculate & " + action;
        const std::string answer = p_.questionDialog(
            "Waveform Not Calculated",
            "The waveform has not yet been calculated. Do you wish to calculate\nthe waveform and then " +
                asciiLower(action) + " ?",
            {calc, "Cancel"}, calc);
        if (answer == "Cancel") return 0;
        executeCalculation(w_);
        return 1;
    }
    if (!compareStruct(appInfo().field("LastCaluclatedParameterSet"), session().parametersValue())) {
        const std::string recalc = "Recalc & " + action;
        const std::string answer = p_.questionDialog(
            "Waveform Not Recalculated",
            "Settings have changed since last calculating the waveform.\n" + action +
                " will use the last calculated waveform.\nDo you wish to " + asciiLower(action) + " anyway ?",
            {"Yes", recalc, "Cancel"}, recalc);
        if (answer == "Cancel") return 0;
        if (answer == recalc) executeCalculation(w_);
        return 1;
    }
    return 1;
}

void Framework::download() {
    if (checkWaveformReady("Download") == 0) return;
    Session& s = session();

    // A long serial transfer asks first, here on the window thread; the
    // transfer itself then takes that answer.
    bool goOn = true;
    const Connection connection = s.connection().bus;
    if (busOf(connection) == Bus::Rs232) {
        const double minutes = serialDownloadMinutes(s.waveform().size(), connection.rs232.baudrate, 1);
        if (minutes > 0.75) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "This download will take approximately %0.1f minutes. Do you want to continue?", minutes);
            goOn = p_.questionDialog("RS-232 Download", text, {"OK", "Cancel"}, "Cancel") == "OK";
        }
    }

    DownloadOptions options;
    options.correctionFolder = correctionFolder();
    // A correction lookup that fails ends the download with its message.
    options.stopOnCorrectionFailure = true;
    options.currentPlatform = textField(appInfo(), "Platform") == "c";
    options.question = [goOn](const std::string&, const std::string&) { return goOn; };
    // The instrument is reached by name, so that every operand passes hwIO.
    ByNameIo io(s.connectionValue());

    std::optional<DownloadOutcome> outcome;
    BusyPointer busy(p_, w_);
    const bool cancelled = !p_.runBusy("Downloading the waveform", true, [&](Progress& progress) {
        options.progress = [&progress](std::size_t done, std::size_t total) {
            progress.report(total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0);
            return !progress.cancelled();
        };
        outcome = s.download(io, options);
    });
    // A cancel the user chose is no error: it says so, and what the
    // instrument holds now.
    if (outcome && outcome->cancelled) {
        showStatus("Download cancelled");
        p_.messageBox("Download Cancelled", cancelledDownloadText(*outcome));
        return;
    }
    if (!outcome || !outcome->download.ok()) {
        p_.messageBox("Error Occured During Waveform Download",
                      cancelled && !outcome ? std::string("Download cancelled") : outcome->download.response);
        return;
    }
    if (outcome->play && outcome->play->ok()) {
        showStatus("Downloaded \"" + outcome->title + "\" (" + groupedCount(outcome->samples) + " samples) to " +
                   addressText(connection));
        p_.messageBox("Download Completed", "Waveform has been successfully transferred to the instrument");
    } else {
        p_.messageBox("Error Occured During Instrument Setup", outcome->play ? outcome->play->response : "");
    }
}

void Framework::refresh() {
    Session& s = session();
    ByNameIo io(s.connectionValue());
    const IoResult played = s.play(io, textField(appInfo(), "Platform") == "c");
    if (!played.ok()) {
        showStatus("The settings were not sent");
        p_.messageBox("Error Occured During Instrument Setup", played.response);
        return;
    }
    showStatus("Sent the generator settings to " + addressText(s.connection().bus));
}

void Framework::appendClientWindow(WindowId w) {
    Value& list = appInfo().field("ClientWindows");
    std::vector<double> ids;
    if (list.isNumeric())
        for (std::size_t i = 0; i < list.numel(); ++i) ids.push_back(list.realAt(i));
    else if (list.isHandle())
        ids.push_back(list.handleValue());
    ids.push_back(w);
    list = Value::row(std::move(ids));
}

void Framework::showAnalysis(const std::function<AnalysisReport()>& analyse, const std::string& label) {
    AnalysisReport report;
    try {
        BusyPointer busy(p_, w_);
        report = analyse();
    } catch (const NoPilotFound& e) {
        p_.errorDialog("Analysis", e.what());
        return;
    } catch (const Error& e) {
        p_.errorDialog("Analysis Error", e.what());
        return;
    }
    appendClientWindow(openCodeDomainWindow(p_, w_, label, report));
    std::string status = "Analysed " + std::to_string(report.slotReports.size()) + " slots: PN offset " +
                         std::to_string(report.pnOffset) + ", rho " + numberText(std::round(report.rho.overall * 1e5) / 1e5);
    if (!report.packets.empty()) {
        std::size_t decoded = 0;
        for (const PacketReport& packet : report.packets) decoded += packet.fcsOk ? 1 : 0;
        status += ", " + std::to_string(decoded) + " of " + std::to_string(report.packets.size()) + " packets decoded";
    }
    showStatus(status + ".");
}

void Framework::menuFileAnalyzeRecording() {
    const FileChoice f = p_.openFileDialog("Analyze Recording", "*.mat;*.bin;*.sigmf-meta");
    if (f.cancelled) return;
    const std::string path = f.folder + f.file;
    AnalysisRequest request;
    if (lowerExtension(path) == ".bin") {
        // The instrument's file holds no rate: ask for the samples per chip.
        const auto answer = p_.inputDialog("Analyze Recording", {"Oversampling of the recording (1-64):"}, {"8"});
        if (!answer) return;
        const std::vector<double> n = readNumberList(answer->empty() ? "" : (*answer)[0]);
        if (n.size() != 1 || n[0] != std::round(n[0]) || n[0] < 1 || n[0] > 64) {
            p_.errorDialog("Analysis Error", "The oversampling must be a whole number from 1 to 64.");
            return;
        }
        request.read.oversampling = static_cast<int>(n[0]);
    }
    showAnalysis([&] { return analyzeRecordingFile(path, request); }, "(" + f.file + ")");
}

void Framework::plot(const std::string& which) {
    if (checkWaveformReady("Plot") == 0) return;
    Session& s = session();
    if (!s.hasWaveform()) throw Error("There is no calculated waveform to plot.");
    const std::vector<std::complex<double>>& waveform = s.waveform();
    const double samples = static_cast<double>(waveform.size());
    const double oversampling = s.config().OverSampling;
    const double rate = s.settings().values.SamplingRate;
    const auto now = p_.clock();
    std::vector<double> stamp(now.begin(), now.end());
    for (double& v : stamp) v = std::trunc(v);
    const std::string title = textField(appInfo(), "Name") + " (" + clock2str(stamp) + ")";
    if (which == "CodeDomainPower") {
        showAnalysis([&s] { return analyzeSessionWaveform(s, AnalysisRequest{}); }, title);
        return;
    }
    const auto quantised = applyDacRes(waveform, 14);

    DisplayRequest request;
    request.parent = w_;
    request.label = title;
    request.sampleRate = rate;
    if (which == "Spectrum") {
        request.kind = DisplayKind::Spectrum;
    } else if (which == "Waterfall") {
        request.kind = DisplayKind::Waterfall;
        request.period = (samples / rate) / 200;
    } else if (which == "IQTime") {
        request.kind = DisplayKind::IQTime;
    } else if (which == "IQTimeSameAxes") {
        request.kind = DisplayKind::IQTimeOverlay;
    } else if (which == "CCDF") {
        request.kind = DisplayKind::CCDF;
    } else if (which == "EyeDiagram" || which == "ScatterDiagram") {
        const bool eye = which == "EyeDiagram";
        const auto answer =
            eye ? p_.inputDialog("Eye Diagram Configuration", {"Enter number of symbols:", "Enter symbol delay (0-1):"},
                                 {"1", "0"})
                : p_.inputDialog("Scatter Diagram Configuration", {"Trace On (0|1):", "Enter symbol delay (0-1):"},
                                 {"1", "0"});
        if (!answer) return;
        BusyPointer busy(p_, w_);
        // The two answers read as one row of numbers; a missing number reads
        // as 0, so the clamps below still give a usable request.
        std::vector<double> tmp = readNumberList((*answer)[0] + " " + (answer->size() > 1 ? (*answer)[1] : ""));
        tmp.resize(2, 0.0);
        double delay = std::min(1.0, std::max(0.0, tmp[1]));
        delay = std::round(delay * oversampling);
        if (eye) {
            double numSym = std::round(std::max(1.0, tmp[0]));
            numSym = std::min(numSym, samples / oversampling);
            request.kind = DisplayKind::Eye;
            request.samplesPerTrace = numSym * oversampling;
            request.period = numSym * oversampling / rate;
        } else {
            request.kind = DisplayKind::Scatter;
            request.samplesPerTrace = oversampling;
            request.traceOn = std::min(std::round(std::max(0.0, tmp[0])), 1.0) != 0;
        }
        request.offset = delay;
        // An eye or scatter that could not be drawn leaves an empty entry.
        const WindowId w = openDisplayWindow(p_, request, quantised);
        if (w != 0) appendClientWindow(w);
        return;
    } else {
        throw Error("rfCommonUI has no plot " + which + ".");
    }
    appendClientWindow(openDisplayWindow(p_, request, quantised));
}

void Framework::configureConnection(bool spectrumAnalyser) {
    if (!hooks_.connectionDialog) throw Error("The connection dialog is not available.");
    // The spectrum analyser's dialog has its own title and offers every bus;
    // the generator's follows the instrument generation.
    const std::pair<std::string, Value> result =
        // The analyser's record is edited by its dialog alone and read by no
        // job: it stays the global callers by name see.
        spectrumAnalyser ? hooks_.connectionDialog(w_, global("configurationSA"), "Spectrum Analyzer")
                         : hooks_.connectionDialog(w_, session().connectionValue(), textField(appInfo(), "Platform"));
    if (result.first != "OK") return;
    if (spectrumAnalyser) {
        global("configurationSA") = result.second;
        return;
    }
    session().setConnectionValue(result.second);
    // Kept at once, so that a run that ends without File > Exit still
    // starts next time with this connection.
    saveConfig(result.second);
}

void Framework::chooseBasebandOption(const std::string& tag) {
    if (tag == "menuConfigBBG1Opt1") {
        if (session().config().ProjectedLength > 8000000) {
            const std::string answer = p_.questionDialog(
                "Waveform too large",
                "The waveform based on the current settings \nis too large to for Option 001. Changing to\nOption 001 "
                "will reset all settings to the defaults.\nDo you wish to change anyway ?",
                {"Yes", "Cancel"}, "Cancel");
            if (answer == "Cancel") return;
            hooks_.applicationFunction("InitializeParameters");
            hooks_.applicationFunction("redraw");
        }
        session().connection().basebandOption = "001";
    } else {
        session().connection().basebandOption = "002";
    }
    for (const char* item : {"menuConfigBBG1Opt1", "menuConfigBBG1Opt2"})
        p_.set(w_, item, "Checked", Value::text(item == tag ? "on" : "off"));
}

void Framework::help() {
    namespace fs = std::filesystem;
    const fs::path base = hooks_.resourceFolder.empty() ? fs::current_path() : fs::path(hooks_.resourceFolder);
    const fs::path page = base / "WebHelp" / "802.htm";
    std::error_code ec;
    // The system browser first; without one, the application's own help
    // window. Only a page that is missing (or cannot be read) is "not
    // available".
    if (fs::is_regular_file(page, ec) && (p_.openInBrowser(page.string()) || p_.showHelpPage(page.string())))
        return;
    p_.messageBox("Option unavailable", "HTML help is not available in this version.");
}

void Framework::AppShutDown() {
    const Value list = appInfo().field("ClientWindows");
    if (list.isNumeric())
        for (std::size_t i = 0; i < list.numel(); ++i) {
            const auto w = static_cast<WindowId>(list.realAt(i));
            if (p_.isWindow(w)) p_.deleteWindow(w);
        }
    appInfo().setField("ClientWindows", Value::empty());
    saveConfig(session().connectionValue());
    if (p_.isWindow(w_)) p_.deleteWindow(w_);
    shutDown_ = true;
}

}  // namespace tolvane::app
