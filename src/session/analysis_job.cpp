#include "session/analysis_job.hpp"

#include <exception>
#include <new>

#include "onex/constants.hpp"
#include "onex/frame_config.hpp"
#include "session/analysis_report.hpp"

namespace tolvane {

namespace {

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

const char* onOff(bool on) { return on ? "on" : "off"; }

// Runs the receiver, sorting its refusals: NoPilotFound stays what it is,
// any other Error is input it cannot take (named after `subject`).
AnalysisReport runAnalyzer(const WaveformAnalyzer& analyze, const std::vector<std::complex<double>>& samples,
                           double sampleRate, const AnalysisOptions& options, const std::string& subject) {
    try {
        checkAnalysisOptions(options);
    } catch (const Error& e) {
        throw AnalysisInputError(e.what());
    }
    try {
        return analyze(samples, sampleRate, options);
    } catch (const NoPilotFound& e) {
        throw NoPilotFound(subject + ": no pilot found: " + e.what());
    } catch (const AnalysisInputError&) {
        throw;
    } catch (const Error& e) {
        throw AnalysisInputError(subject + ": " + e.what());
    }
}

}  // namespace

AnalysisOptions recordingAnalysisOptions(const Recording& recording, const AnalysisRequest& request,
                                         const std::string& path) {
    AnalysisOptions o = request.options;
    const std::string file = "The recording " + quoted(path);
    if (recording.filter) {
        if (request.filter && *request.filter != *recording.filter)
            warn(file + " was made with filter type " + std::to_string(static_cast<int>(*recording.filter)) +
                 "; the filter type " + std::to_string(static_cast<int>(*request.filter)) + " asked for is not used.");
        o.filter = *recording.filter;
    } else if (request.filter) {
        o.filter = *request.filter;
    }
    if (recording.phaseEq) {
        if (request.phaseEq && *request.phaseEq != *recording.phaseEq)
            warn(file + " was made with the phase equaliser " + onOff(*recording.phaseEq) +
                 "; the equaliser " + onOff(*request.phaseEq) + " asked for is not used.");
        o.phaseEq = *recording.phaseEq;
    } else if (request.phaseEq) {
        o.phaseEq = *request.phaseEq;
    }
    if (recording.frameSlots) {
        if (request.frameSlots && *request.frameSlots != *recording.frameSlots)
            warn(file + " holds a frame of " + std::to_string(*recording.frameSlots) + " slots; the " +
                 std::to_string(*request.frameSlots) + " slots asked for are not used.");
        o.frameSlots = *recording.frameSlots;
    } else if (request.frameSlots) {
        o.frameSlots = *request.frameSlots;
    }
    // The ratio the frame was made at picks the receiver's filter design
    // (a ratio below 2 has none of its own: the receiver chooses).
    o.generatedOversampling = recording.oversampling && *recording.oversampling >= 2 ? *recording.oversampling : 0;
    return o;
}

AnalysisReport analyzeRecordingFile(const std::string& path, const AnalysisRequest& request,
                                    const WaveformAnalyzer& analyze) {
    Recording recording;
    try {
        recording = readRecording(path, request.read);
    } catch (const Error& e) {
        throw AnalysisInputError(e.what());
    }
    const AnalysisOptions options = recordingAnalysisOptions(recording, request, path);
    AnalysisReport report = runAnalyzer(analyze, recording.samples, recording.sampleRate, options, quoted(path));
    // A search that found another offset than the file states is worth a
    // word: the recording may not start where the file's frame starts.
    if (recording.pnOffset && !options.pnOffset && report.pnOffset != *recording.pnOffset)
        warn("The recording " + quoted(path) + " states PN offset " + std::to_string(*recording.pnOffset) +
             "; the search found " + std::to_string(report.pnOffset) + " at a timing offset of " +
             numberText(report.timingOffsetChips) + " chips.");
    return report;
}

AnalysisReport analyzeSessionWaveform(Session& session, const AnalysisRequest& request,
                                      const WaveformAnalyzer& analyze) {
    if (!session.hasWaveform() || !session.hasConfig())
        throw AnalysisInputError("There is no calculated waveform to analyse: calculate one first.");
    FrameConfig config;
    try {
        config = session.config();
    } catch (const Error& e) {
        throw AnalysisInputError(e.what());
    }
    const std::vector<std::complex<double>>* samples = nullptr;
    try {
        samples = &session.waveform();
    } catch (const Error& e) {
        throw AnalysisInputError(e.what());
    }
    // The configuration must still describe the samples: changed since the
    // calculation, it would give the receiver the wrong rate or frame.
    if (static_cast<double>(samples->size()) != projectedLength(config) || !isFrameSlots(config.FrameSlots) ||
        config.FilterType < 1 || config.FilterType > 4)
        throw AnalysisInputError("The waveform (" + std::to_string(samples->size()) +
                                 " samples) is not the frame the settings describe (" +
                                 numberText(projectedLength(config)) + " samples): calculate it again.");
    AnalysisOptions o = request.options;
    o.filter = static_cast<FilterShape>(static_cast<int>(config.FilterType));
    o.phaseEq = config.PhaseEq != 0;
    o.frameSlots = static_cast<int>(config.FrameSlots);
    o.generatedOversampling = static_cast<int>(config.OverSampling);
    const double rate = kChipRate * config.OverSampling;
    AnalysisReport found = runAnalyzer(analyze, *samples, rate, o, "The calculated waveform");
    // The search cannot tell a frame whose half slots look alike from the
    // same frame half a slot later with the PN offset 16 further on. The
    // session knows the offset it calculated with: when the search landed
    // elsewhere, the frame is analysed at that offset too, and the better
    // fit is kept (the known offset on a tie), so the settings' offset wins
    // exactly when the samples agree with it.
    const int configured = static_cast<int>(config.PilotOffsetIndex);
    if (!o.pnOffset && found.pnOffset != configured && configured >= 0 && configured <= 511) {
        AnalysisOptions known = o;
        known.pnOffset = configured;
        try {
            AnalysisReport atKnown = analyze(*samples, rate, known);
            if (atKnown.rho.overall >= found.rho.overall) return atKnown;
        } catch (const Error&) {
            // No pilot at the configured offset: the search's answer stands.
        }
    }
    return found;
}

int runAnalyzeJob(const std::string& path, const AnalysisRequest& request, bool json, std::ostream& out,
                  std::ostream& err, const WaveformAnalyzer& analyze) {
    try {
        const AnalysisReport report = analyzeRecordingFile(path, request, analyze);
        out << (json ? analysisReportJsonText(report) : analysisReportTable(report));
        out.flush();
        return 0;
    } catch (const AnalysisInputError& e) {
        err << e.what() << '\n';
        return 2;
    } catch (const NoPilotFound& e) {
        err << e.what() << '\n';
        return 1;
    } catch (const std::bad_alloc&) {
        err << "The analysis of " << quoted(path) << " ran out of memory.\n";
        return 1;
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
}

}  // namespace tolvane
