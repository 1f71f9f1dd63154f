#include "session/session.hpp"

#include <cmath>

#include "instrument/corrections.hpp"
#include "instrument/driver.hpp"
#include "base/diagnostics.hpp"
#include "numerics/noise.hpp"
#include "runtime/instrument_values.hpp"
#include "runtime/parameter_file.hpp"
#include "runtime/parameters_value.hpp"

namespace tolvane {

namespace {

std::string requiredText(const Value& record, const char* field) {
    if (!record.hasField(field) || !record.field(field).isText())
        throw Error(std::string("The connection record's \"") + field + "\" must be text.");
    return record.field(field).str();
}

}  // namespace

GeneratorSettings defaultGeneratorSettings(const FrameConfig& config) { return {sigGenSettingsFor(config), false}; }

Value generatorSettingsToValue(const GeneratorSettings& s) {
    return sigGenSettingsToValue(s.values, s.hasReconFilter);
}

GeneratorSettings generatorSettingsFromValue(const Value& record) {
    GeneratorSettings s;
    s.values = sigGenSettingsFromValue(record, false);
    s.hasReconFilter = record.hasField("ReconFilter");
    return s;
}

InstrumentConnection connectionTo(const Connection& bus) {
    InstrumentConnection c;
    c.bus = bus;
    return c;
}

Value instrumentConnectionToValue(const InstrumentConnection& c) {
    Value v = connectionToValue(c.bus);
    v.setField("BBGtype", Value::text(c.basebandOption));
    v.setField("LastParameterFilename", c.lastParameterFile ? Value::text(*c.lastParameterFile) : Value::empty());
    return v;
}

InstrumentConnection instrumentConnectionFromValue(const Value& record) {
    InstrumentConnection c;
    c.bus = connectionFromValue(record);
    c.basebandOption = requiredText(record, "BBGtype");
    if (!record.hasField("LastParameterFilename"))
        throw Error("The connection record has no field \"LastParameterFilename\".");
    const Value& last = record.field("LastParameterFilename");
    if (last.isText())
        c.lastParameterFile = last.str();
    else if (!last.isEmpty())
        throw Error("The connection record's \"LastParameterFilename\" must be text.");
    return c;
}

Session::Session()
    : config_(parametersToValue, parametersFromValue),
      settings_(generatorSettingsToValue, generatorSettingsFromValue),
      connection_(instrumentConnectionToValue, instrumentConnectionFromValue) {}

void Session::reset() {
    config_.reset();
    settings_.reset();
    connection_.reset();
    hasWaveform_ = hasMarkers_ = waveformNamed_ = markersNamed_ = false;
    rawWaveform_ = rawMarkers_ = Value();
    named_ = FrameResult{};
    work_.release();
    impairWork_.carrier.release();
    impairWork_.bits = {};
    impairReport_ = {};
}

void Session::resetSettings() {
    setSettings(defaultGeneratorSettings(hasConfig() ? checkedConfig() : defaultFrameConfig()));
}

FrameConfig Session::checkedConfig() const {
    FrameConfig config = config_.copy();
    checkParameterRanges(config);
    return config;
}

void Session::calculate(std::optional<std::uint64_t> seed) {
    const FrameConfig config = checkedConfig();
    checkImpairments(config);
    if (seed) seedNoise(*seed);
    impairReport_ = calculateImpairedFrame(config, work_, impairWork_, seed);
    hasWaveform_ = hasMarkers_ = true;
    waveformNamed_ = markersNamed_ = false;
    rawWaveform_ = rawMarkers_ = Value();
    named_ = FrameResult{};
}

const std::vector<std::complex<double>>& Session::waveformRow() const {
    return waveformNamed_ ? named_.waveform : work_.result().waveform;
}

const FrameResult& Session::markerRows() const { return markersNamed_ ? named_ : work_.result(); }

const std::vector<std::complex<double>>& Session::waveform() {
    if (rawWaveform_.isSet()) {
        if (!rawWaveform_.isNumeric()) throw Error("There is no calculated waveform.");
        named_.waveform = rawWaveform_.toComplex();
        rawWaveform_ = Value();
        waveformNamed_ = hasWaveform_ = true;
    }
    if (!hasWaveform_) throw Error("There is no calculated waveform.");
    return waveformRow();
}

MarkerMatrix Session::markerMatrix() {
    if (rawMarkers_.isSet()) {
        const Value& m = rawMarkers_;
        if (!m.isReal() || m.rows() != 2) throw Error("The markers must be a 2 x N real matrix.");
        const std::size_t n = m.cols();
        named_.marker1.resize(n);
        named_.marker2.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            named_.marker1[k] = m.realAt(2 * k);
            named_.marker2[k] = m.realAt(2 * k + 1);
        }
        rawMarkers_ = Value();
        markersNamed_ = hasMarkers_ = true;
    }
    if (!hasMarkers_) throw Error("There are no calculated markers.");
    const FrameResult& rows = markerRows();
    const std::size_t n = rows.marker1.size();
    MarkerMatrix out{2, n, std::vector<double>(2 * n)};
    for (std::size_t k = 0; k < n; ++k) {
        out.data[2 * k] = rows.marker1[k];
        out.data[2 * k + 1] = rows.marker2[k];
    }
    return out;
}

Value Session::waveformValue() const {
    if (rawWaveform_.isSet()) return rawWaveform_;
    return hasWaveform_ ? Value::complexRow(waveformRow()) : Value();
}

void Session::setWaveformValue(Value v) {
    hasWaveform_ = waveformNamed_ = false;
    rawWaveform_ = Value();
    named_.waveform.clear();
    if (!v.isSet()) return;
    if (v.isNumeric() && v.rows() <= 1) {
        std::vector<std::complex<double>> samples = v.toComplex();
        if (Value::complexRow(samples) == v) {
            named_.waveform = std::move(samples);
            hasWaveform_ = waveformNamed_ = true;
            return;
        }
    }
    rawWaveform_ = std::move(v);
    hasWaveform_ = true;
}

Value Session::markersValue() const {
    if (rawMarkers_.isSet()) return rawMarkers_;
    return hasMarkers_ ? markersToValue(markerRows()) : Value();
}

void Session::setMarkersValue(Value v) {
    hasMarkers_ = markersNamed_ = false;
    rawMarkers_ = Value();
    named_.marker1.clear();
    named_.marker2.clear();
    if (!v.isSet()) return;
    if (v.isReal() && v.rows() == 2) {
        FrameResult rows;
        rows.marker1.resize(v.cols());
        rows.marker2.resize(v.cols());
        for (std::size_t k = 0; k < v.cols(); ++k) {
            rows.marker1[k] = v.realAt(2 * k);
            rows.marker2[k] = v.realAt(2 * k + 1);
        }
        if (markersToValue(rows) == v) {
            named_.marker1 = std::move(rows.marker1);
            named_.marker2 = std::move(rows.marker2);
            hasMarkers_ = markersNamed_ = true;
            return;
        }
    }
    rawMarkers_ = std::move(v);
    hasMarkers_ = true;
}

DownloadOutcome Session::download(InstrumentIo& io, const DownloadOptions& options) {
    const InstrumentConnection connection = connection_.copy();
    const GeneratorSettings settings = settings_.copy();
    const MarkerMatrix markers = markerMatrix();
    const std::vector<std::complex<double>>& calculated = waveform();
    // The corrections work on a copy: the calculated waveform stays.
    std::optional<std::vector<std::complex<double>>> correctedWave;

    DownloadOutcome out;
    out.samples = calculated.size();
    if (options.corrections) {
        try {
            const LoadedCorrections found =
                getCorrectionData(io, connection.bus, settings.values.Frequency, options.correctionFolder);
            if (found.status.empty()) {
                const auto records = correctionRecordsFromValue(found.records);
                Corrected corrected = applyCorrections(calculated, records, false, settings.values.SamplingRate);
                correctedWave = std::move(corrected.waveform);
                out.correctionNote = corrected.status.empty()
                                         ? "Corrections applied (" + std::to_string(records.size()) + " record" +
                                               (records.size() == 1 ? ")." : "s).")
                                         : "A correction failed: " + corrected.status;
            } else {
                out.correctionNote = "No corrections applied: " + found.status;
            }
        } catch (const std::exception& e) {
            if (options.stopOnCorrectionFailure) throw;
            out.correctionNote = std::string("No corrections applied: ") + e.what();
        }
    }

    // The transfer reports its progress for the length of this call only.
    // Both callbacks are watched so that a cancel the user chose is told
    // apart from a failure, with how far the transfer got.
    bool stopped = false;
    std::function<bool(std::size_t, std::size_t)> progress;
    if (options.progress)
        progress = [&](std::size_t sent, std::size_t total) {
            out.bytesSent = sent;
            out.bytesTotal = total;
            const bool goOn = options.progress(sent, total);
            stopped = stopped || !goOn;
            return goOn;
        };
    QuestionCallback question;
    if (options.question)
        question = [&](const std::string& title, const std::string& text) {
            const bool goOn = options.question(title, text);
            stopped = stopped || !goOn;
            return goOn;
        };
    struct ProgressGuard {
        explicit ProgressGuard(const std::function<bool(std::size_t, std::size_t)>& p) {
            if (p) instrumentDriver().setProgress(p);
        }
        ~ProgressGuard() { instrumentDriver().setProgress({}); }
    } guard(progress);
    const std::vector<std::complex<double>>& wave = correctedWave ? *correctedWave : calculated;
    out.title = settings.values.Title;
    out.download = downloadJob(io, connection.bus, wave, markers, settings.values.Title, 1, question);
    out.cancelled = stopped && !out.download.ok();
    if (out.download.ok()) out.play = play(io, options.currentPlatform);
    return out;
}

std::string cancelledDownloadText(const DownloadOutcome& outcome) {
    const std::string name = "\"" + outcome.title + "\"";
    if (outcome.bytesTotal > 0 && outcome.bytesSent == outcome.bytesTotal)
        return "Download cancelled.\nAll " + std::to_string(outcome.bytesTotal) + " bytes of " + name +
               " were sent, but the instrument did not confirm them: download it again before relying on it.";
    if (outcome.bytesSent == 0)
        return "Download cancelled.\nNothing of " + name +
               " was sent: the instrument holds the waveforms it held before.";
    return "Download cancelled.\nIt stopped after " + std::to_string(outcome.bytesSent) + " of " +
           std::to_string(outcome.bytesTotal) + " bytes of " + name + " were sent, so the instrument holds no " +
           "complete copy of " + name + " from this download: download it again before playing it.";
}

IoResult Session::check(InstrumentIo& io) { return io.ping(connection_.copy().bus); }

IoResult Session::play(InstrumentIo& io, bool currentPlatform) {
    const GeneratorSettings settings = settings_.copy();
    const InstrumentConnection connection = connection_.copy();
    if (!currentPlatform && !settings.hasReconFilter)
        throw Error("The settings record has no field \"ReconFilter\".");
    const SigGenSettings& s = settings.values;
    return playJob(io, connection.bus, currentPlatform ? playCommands_c(s.Title, s) : playCommands(s.Title, s));
}

void Session::saveParameters(const std::string& path) {
    saveParameterFile(path, config_.copy(), settingsValue());
}

void Session::applyParameterFile(FrameConfig config, const Value& sigGenParameters) {
    setConfig(std::move(config));
    if (sigGenParameters.isSet()) setSettingsValue(sigGenParameters);
}

Session& processSession() {
    static Session session;
    return session;
}

}  // namespace tolvane
