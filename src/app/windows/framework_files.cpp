// The framework's file operations: parameter files (File > Open, Save,
// Save As), the connection file kept between runs, the waveform files
// (File > Export Data, Special > Save Wave, the special save), and the user
// data file of the traffic channel.
#include <filesystem>
#include <fstream>

#include "app/windows/app_globals.hpp"
#include "app/windows/framework.hpp"
#include "base/atomic_file.hpp"
#include "base/diagnostics.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/library.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/parameter_file.hpp"
#include "runtime/parameters_value.hpp"
#include "runtime/sigmf_file.hpp"
#include "runtime/user_data_file.hpp"

namespace tolvane::app {

namespace {

const char* const kConfigFile = "rfIOConfig.mat";
// A Save As name with this prefix runs the special waveform save.
const std::string kSpecialPrefix = "mivolta.";

// The application's record (name, generation, calculation bookkeeping,
// client windows): the windows' own state, which scripts and calls by name
// read and change under its global's name, so it stays a dynamic value.
Value& appInfo() { return global("appInfo"); }

// The waveform as one complex row, or an Error when nothing was calculated.
const std::vector<std::complex<double>>& calculatedWaveform() { return session().waveform(); }

// N x 2 real matrix [I Q] of the waveform, column-major.
Value iqColumns(const std::vector<std::complex<double>>& wave) {
    const std::size_t n = wave.size();
    std::vector<double> data(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        data[i] = wave[i].real();
        data[n + i] = wave[i].imag();
    }
    return Value::matrix(n, 2, std::move(data));
}

Value complexColumn(const std::vector<std::complex<double>>& wave) {
    return Value::complexMatrix(wave.size(), 1, wave);
}

// The export dialog's two filters: the recording in the byte order SDR
// tools read (the first, chosen unless the person picks the other), or in
// the instrument's own.
const char* const kExportFilters =
    "SigMF recording, 16-bit little-endian (*.sigmf-meta)\n"
    "SigMF recording, 16-bit big-endian as the instrument takes it (*.sigmf-meta)";

}  // namespace

std::string Framework::extension() const { return textField(appInfo(), "ParameterFileExtension"); }

std::string Framework::addFileExtention(const std::string& name, const std::string& ext) {
    if (name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0) return name;
    return name + ext;
}

Value Framework::loadConfig() {
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(kConfigFile, ec)) return Value();
        const Record vars = readMatFile(kConfigFile);
        if (!vars.has("fileParameters")) return Value();
        Value config = vars.at("fileParameters");
        if (!config.isRecord()) return Value();
        // A record that the instrument layer cannot read would fail every
        // later download; the defaults serve better.
        (void)connectionFromValue(config);
        config.setField("LastParameterFilename", Value::text(""));
        return config;
    } catch (const Error&) {
        return Value();
    }
}

void Framework::saveConfig(const Value& configuration) {
    try {
        Record vars;
        vars.set("fileParameters", configuration);
        writeMatFile(kConfigFile, vars);
    } catch (const Error&) {
        // The connection is saved as a convenience; the run ends regardless.
    }
}

void Framework::saveParameters(const std::string& filename) {
    try {
        session().saveParameters(filename);
    } catch (const Error& e) {
        p_.errorDialog("Error Saving " + filename, e.what());
    }
}

int Framework::loadParameters(const std::string& filename) {
    const std::string title = "Error Loading File";
    Record vars;
    try {
        vars = readMatFile(filename);
    } catch (const Error& e) {
        p_.errorDialog(title, e.what());
        return 0;
    }
    if (!vars.has("fileParameters")) {
        p_.errorDialog(title, filename + "\nhas an Invalid File Format.");
        return 0;
    }
    const Value& record = vars.at("fileParameters");
    if (!record.hasField("ParameterFileFormat_ID")) {
        p_.errorDialog(title, filename + "\nhas an Invalid File Structure.");
        return 0;
    }
    const Value& id = record.field("ParameterFileFormat_ID");
    const std::string current = session().config().ParameterFileFormat_ID;
    if (!id.isText() || id.str() != current) {
        p_.errorDialog(title, filename + "\nhas an Invalid File Parameter ID.");
        return 0;
    }
    // A record that passes the three checks must still be one the
    // calculation can use: every field present, of its shape, in range. The
    // dialog says the structure is invalid; the console says what is wrong.
    FrameConfig config;
    Value settings;
    try {
        config = parametersFromValue(record);
        checkParameterRanges(config);
        if (vars.has("sigGenParameters")) {
            settings = vars.at("sigGenParameters");
            if (!settings.isRecord()) throw Error("sigGenParameters is not a record.");
            (void)sigGenSettingsFromValue(settings, false);
        }
    } catch (const Error& e) {
        p_.console(filename + ": " + e.what());
        p_.errorDialog(title, filename + "\nhas an Invalid File Structure.");
        return 0;
    }
    // A file without generator settings keeps the current ones.
    session().applyParameterFile(std::move(config), settings);
    hooks_.applicationFunction("redraw");
    return 1;
}

void Framework::menuFileOpen() {
    const FileChoice f = p_.openFileDialog("Open Parameter File", "*" + extension());
    if (f.cancelled) return;
    const std::string full = f.folder + f.file;
    if (loadParameters(full) == 1) {
        session().connection().lastParameterFile = full;
        redrawAppTitle();
    }
}

void Framework::menuFileSave(bool askName) {
    const std::string current = session().connection().lastParameterFile.value_or("");
    if (!askName && !current.empty()) {
        saveParameters(current);
        return;
    }
    const FileChoice f = p_.saveFileDialog(askName ? "Save Parameter File As" : "Save Parameter File",
                                           "*" + extension(), "");
    if (f.cancelled) return;
    if (askName && f.file.size() >= kSpecialPrefix.size() + 1 && f.file.compare(0, kSpecialPrefix.size(), kSpecialPrefix) == 0) {
        saveWaveform(f.folder + f.file.substr(kSpecialPrefix.size()));
        return;
    }
    const std::string full = addFileExtention(f.folder + f.file, extension());
    session().connection().lastParameterFile = full;
    saveParameters(full);
    redrawAppTitle();
}

void Framework::saveWaveform(const std::string& filename) {
    const std::string choice =
        p_.questionDialog("Special Save", "Select file format.", {"ASCII", "Ironmoth", "MAT"}, "ASCII");
    if (choice.empty()) return;
    try {
        const auto wave = calculatedWaveform();
        if (choice == "ASCII" || choice == "MAT") {
            Record vars;
            vars.set("samples", choice == "ASCII" ? iqColumns(wave) : complexColumn(wave));
            writeMatFile(filename, vars);
        } else {
            // The function by name tells only whether it wrote the file;
            // the reason a target cannot be written is found here.
            checkWritable(filename);
            const auto ok = library().registry().call("saveIronmothWaveform", 1,
                                                      {session().waveformValue(), Value::text(filename)});
            if (!(ok[0].isNumeric() && ok[0].numel() == 1 && ok[0].realAt(0) != 0))
                throw Error("The waveform could not be written to " + filename + ".");
        }
    } catch (const Error& e) {
        p_.errorDialog("Error Saving " + filename, e.what());
    }
}

void Framework::menuFileExportData() {
    const FileChoice f = p_.saveFileDialog("Export Data", kExportFilters, "");
    if (f.cancelled) return;
    const std::string base = sigmfBase(f.folder + f.file);
    if (checkWaveformReady("Export") == 1) {
        try {
            SigmfExport e;
            e.waveform = calculatedWaveform();
            e.parameters = appInfo().field("LastCaluclatedParameterSet");
            if (!e.parameters.isRecord()) e.parameters = session().parametersValue();
            e.sigGenSettings = session().settingsValue();
            e.isoTime = sigmfTimeNow();
            e.datatype = f.filter == 1 ? SigmfDatatype::Ci16Be : SigmfDatatype::Ci16Le;
            writeSigmf(base, e);
            showStatus("Exported " + groupedCount(e.waveform.size()) + " samples (" +
                       (e.datatype == SigmfDatatype::Ci16Be ? "ci16_be" : "ci16_le") + ") to " + base +
                       ".sigmf-data");
        } catch (const Error& ex) {
            p_.errorDialog("Error Saving " + base + ".sigmf-meta", ex.what());
        }
    }
    redrawAppTitle();
}

void Framework::menuSpecialSaveWave() {
    if (checkWaveformReady("Save") == 0) return;
    const FileChoice f = p_.saveFileDialog("Save Wave", "*.txt", "");
    if (f.cancelled) return;
    BusyPointer busy(p_, w_);
    const std::string full = f.folder + f.file;
    try {
        const auto wave = calculatedWaveform();
        Record vars;
        vars.set("samplePoints", Value::scalar(static_cast<double>(wave.size())));
        vars.set("sampleRate", Value::scalar(session().settings().values.SamplingRate));
        vars.set("wave", iqColumns(wave));
        writeMatFile(full, vars);
    } catch (const Error& e) {
        p_.errorDialog("Error Saving " + f.file, e.what());
    }
}

std::pair<int, Value> Framework::loadUserDataFile(double maxLengthInBits, const std::string& bitorder) {
    FrameConfig& parameters = session().config();
    const std::string lastPath = parameters.LastPath;
    const FileChoice f = p_.openFileDialog("Select data source file.", "*.*", lastPath);
    if (f.cancelled) return {-1, Value::empty()};
    const std::string full = f.folder + f.file;
    std::error_code ec;
    const auto size = std::filesystem::file_size(full, ec);
    if (ec || !std::filesystem::is_regular_file(full, ec)) {
        p_.errorDialog("File Error", "Could not open\n" + full);
        return {-1, Value::empty()};
    }
    // An empty file has no bits to repeat: taken as the source, every later
    // calculation would fail. It is refused here, where the user chose it.
    if (size == 0) {
        p_.errorDialog("File Error", full + "\nis empty: a data source file needs at least one byte.");
        return {-1, Value::empty()};
    }
    std::vector<double> bits;
    try {
        bits = readUserDataBits(full, static_cast<long long>(std::max(0.0, maxLengthInBits)), bitorder);
    } catch (const Error&) {
        p_.errorDialog("File Error", "Could not open\n" + full);
        return {-1, Value::empty()};
    }
    parameters.LastPath = f.folder;
    return {1, Value::row(std::move(bits))};
}

}  // namespace tolvane::app
