// The session: the typed state of one user's work (the frame configuration,
// the generator settings, the instrument connection, the last calculated
// frame) and the jobs on it (calculate, download, play, parameter files,
// export). The command line, the windows, the C entries and the calls by
// name all run these jobs; none of them writes a job of its own.
#pragma once

#include <complex>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "impair/impairments.hpp"
#include "instrument/connection.hpp"
#include "instrument/jobs.hpp"
#include "onex/frame_config.hpp"
#include "onex/frame_workspace.hpp"
#include "session/viewed_state.hpp"

namespace tolvane {

// The generator's play-back settings and whether the record carries the
// reconstruction filter (the older instrument generation's field, absent
// from the current generation's record).
struct GeneratorSettings {
    SigGenSettings values;
    bool hasReconFilter = false;
};
// The defaults, with the fields that follow the frame (sample rate,
// oversampling, RF blanking) set from `config`.
GeneratorSettings defaultGeneratorSettings(const FrameConfig& config);
// The record as `SigGenSettings` holds it (field order of the defaults).
Value generatorSettingsToValue(const GeneratorSettings& s);
// Throws Error naming a missing or non-numeric field.
GeneratorSettings generatorSettingsFromValue(const Value& record);

// The connection record with the two choices kept beside the bus: the
// baseband generator option ("001" or "002") and the parameter file last
// opened or saved (none until one is).
struct InstrumentConnection {
    Connection bus;
    std::string basebandOption = "002";
    std::optional<std::string> lastParameterFile;
};
// The record for a bus, with the start-up choices.
InstrumentConnection connectionTo(const Connection& bus);
Value instrumentConnectionToValue(const InstrumentConnection& c);
// Throws Error naming a field of the wrong kind or a missing choice.
InstrumentConnection instrumentConnectionFromValue(const Value& record);

// What a download does besides the transfer, and how it talks to the user.
struct DownloadOptions {
    bool corrections = true;        // look up and apply the instrument's corrections
    std::string correctionFolder;   // ends in '/'; where the correction files are
    // A failed correction lookup (an identification without a serial
    // number, say) ends the download when true; otherwise it is reported in
    // `correctionNote` and the waveform goes uncorrected.
    bool stopOnCorrectionFailure = false;
    bool currentPlatform = true;    // the play commands of the current instrument generation
    QuestionCallback question;      // the question before a long serial-line download
    // Called with bytes sent and bytes in all; false cancels the transfer.
    std::function<bool(std::size_t, std::size_t)> progress;
};

struct DownloadOutcome {
    IoResult download;              // the transfer
    std::optional<IoResult> play;   // the play-back set-up, when the transfer succeeded
    std::string correctionNote;     // what happened to the corrections
    std::size_t samples = 0;
    // The user stopped it: declined the serial-line question, or the
    // progress callback said no. A cancel is not a failure of the link.
    bool cancelled = false;
    std::size_t bytesSent = 0;      // the last progress report: bytes sent of bytesTotal
    std::size_t bytesTotal = 0;
    std::string title;              // the name the waveform was sent under
    bool ok() const { return download.ok() && play && play->ok(); }
};

// What the person is told after a cancelled download: "Download cancelled."
// and, on a second line, what the instrument holds now.
std::string cancelledDownloadText(const DownloadOutcome& outcome);

class Session {
public:
    Session();

    // Every part uninitialised, as at start.
    void reset();

    // ---- the frame configuration (`parameters`)
    bool hasConfig() const { return config_.isSet(); }
    // The typed configuration; a record written by name that it cannot hold
    // exactly is converted first (throws Error naming the field).
    FrameConfig& config() { return config_.typed(); }
    void setConfig(FrameConfig c) { config_.set(std::move(c)); }
    // A copy of the configuration, range-checked (throws Error naming the
    // field); a record written by name stays as it was written.
    FrameConfig checkedConfig() const;
    void resetConfig() { config_.set(defaultFrameConfig()); }

    // ---- the generator settings (`SigGenSettings`)
    bool hasSettings() const { return settings_.isSet(); }
    GeneratorSettings& settings() { return settings_.typed(); }
    void setSettings(GeneratorSettings s) { settings_.set(std::move(s)); }
    // The defaults for the current configuration (or the default one).
    void resetSettings();

    // ---- the instrument connection (`configuration`)
    bool hasConnection() const { return connection_.isSet(); }
    InstrumentConnection& connection() { return connection_.typed(); }
    void setConnection(InstrumentConnection c) { connection_.set(std::move(c)); }

    // ---- the last calculated frame (`waveform`, `markers`)
    bool hasWaveform() const { return hasWaveform_ || rawWaveform_.isSet(); }
    bool hasMarkers() const { return hasMarkers_ || rawMarkers_.isSet(); }
    // The samples; a waveform written by name is converted first (throws
    // Error when it is not numeric).
    const std::vector<std::complex<double>>& waveform();
    // The marker rows as one 2 x N matrix, column-major (throws Error for
    // markers written by name that are not two rows).
    MarkerMatrix markerMatrix();

    // The packets of the last calculation (Mode 3; none in the other modes
    // or before the first calculation). Rows written by name in place of
    // the waveform do not change them.
    const std::vector<FramePacket>& packets() const { return work_.result().packets; }

    // What the impairments of the last calculation measured (nothing
    // measured when they were off).
    const ImpairmentReport& impairmentReport() const { return impairReport_; }

    // ---- the jobs
    // Checks the configuration's ranges and calculates the frame with its
    // carriers and impairments (impair/impairments.hpp); with a seed, the
    // idle-slot noise starts from it, and so does the added noise's own
    // stream. The frame's buffers are kept
    // and reused by the next calculation. Throws Error naming the field.
    void calculate(std::optional<std::uint64_t> seed = std::nullopt);
    // Looks up and applies the corrections (on a copy: the calculated
    // waveform stays), downloads samples and markers under the settings'
    // title and starts play-back, all through `io` (the driver, or the
    // operations by name). The process driver reports the transfer's
    // progress to `options.progress` for the length of the call.
    DownloadOutcome download(InstrumentIo& io, const DownloadOptions& options);
    // Is an instrument answering at the connection's address (its
    // identification in the response).
    IoResult check(InstrumentIo& io);
    // Sends the play-back settings alone. The older generation's commands
    // need the reconstruction filter (Error when the settings have none).
    IoResult play(InstrumentIo& io, bool currentPlatform);

    // Writes a parameter file of the configuration and the settings.
    void saveParameters(const std::string& path);
    // Takes a loaded parameter file's configuration and, when it holds
    // them, its generator settings (checked like a record written by name).
    void applyParameterFile(FrameConfig config, const Value& sigGenParameters);

    // ---- the by-name view of the state (see viewed_state.hpp)
    Value parametersValue() const { return config_.value(); }
    void setParametersValue(Value v) { config_.setValue(std::move(v)); }
    Value settingsValue() const { return settings_.value(); }
    void setSettingsValue(Value v) { settings_.setValue(std::move(v)); }
    Value connectionValue() const { return connection_.value(); }
    void setConnectionValue(Value v) { connection_.setValue(std::move(v)); }
    Value waveformValue() const;
    void setWaveformValue(Value v);
    Value markersValue() const;
    void setMarkersValue(Value v);

private:
    ViewedState<FrameConfig> config_;
    ViewedState<GeneratorSettings> settings_;
    ViewedState<InstrumentConnection> connection_;
    // The calculated frame lives in the workspace, whose rows the next
    // calculation reuses. Rows written by name take the place of the
    // calculated ones until the next calculation: in `named_` when a row
    // of samples (two rows of markers) holds them exactly, else as written.
    const std::vector<std::complex<double>>& waveformRow() const;
    const FrameResult& markerRows() const;
    FrameWorkspace work_;
    ImpairWorkspace impairWork_;
    ImpairmentReport impairReport_;
    bool hasWaveform_ = false;
    bool hasMarkers_ = false;
    FrameResult named_;
    bool waveformNamed_ = false;
    bool markersNamed_ = false;
    Value rawWaveform_;
    Value rawMarkers_;
};

// The one session of the process, whose state the globals show by name.
Session& processSession();

}  // namespace tolvane
