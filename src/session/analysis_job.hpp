// The analysis jobs every front end runs: a recording file, or the
// session's last calculated frame, through the verification receiver.
#pragma once

#include <complex>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "receiver/analysis.hpp"
#include "runtime/recording_file.hpp"
#include "session/session.hpp"

namespace tolvane {

// What the user asked for. `options` carries the PN offset (nothing:
// search), the carrier offset, the slot range and the iterations; its
// filter, equaliser and frame length are replaced by the ones below.
struct AnalysisRequest {
    AnalysisOptions options;
    // The user's choices of what the recording was made with, used when the
    // recording does not say; nothing: the receiver's defaults (filter 3,
    // the equaliser on, as many slots as the recording holds).
    std::optional<FilterShape> filter;
    std::optional<bool> phaseEq;
    std::optional<int> frameSlots;
    // For a file that states no sample rate (.bin).
    RecordingReadOptions read;
};

// The receiver, replaceable so that the jobs' own part can be tested alone.
using WaveformAnalyzer =
    std::function<AnalysisReport(const std::vector<std::complex<double>>&, double, const AnalysisOptions&)>;

// Input the analysis cannot take: a file that cannot be read, an option out
// of range, a recording the receiver refuses (too short, too slow). The
// message names the file or the option.
class AnalysisInputError : public Error {
public:
    using Error::Error;
};

// The receiver's options for a recording: the file's filter, equaliser and
// frame length where it states them (a different choice of the user's is
// reported through warn() and not used), else the user's; the oversampling
// the frame was generated at when the file (or, for a .bin, the user)
// states it.
AnalysisOptions recordingAnalysisOptions(const Recording& recording, const AnalysisRequest& request,
                                         const std::string& path);

// Reads the recording at `path` and analyses it. When the file states a PN
// offset and the search (no offset asked for) finds another, a warning says
// so. Throws AnalysisInputError (naming the file or the option) and
// NoPilotFound (its message naming the file).
AnalysisReport analyzeRecordingFile(const std::string& path, const AnalysisRequest& request,
                                    const WaveformAnalyzer& analyze = analyzeWaveform);

// Analyses the session's calculated frame with the configuration it was
// calculated with (filter, equaliser, frame length, oversampling); the
// request's filter, equaliser and frame length are not used. Throws
// AnalysisInputError when there is no frame or the configuration no longer
// describes it, and NoPilotFound.
AnalysisReport analyzeSessionWaveform(Session& session, const AnalysisRequest& request,
                                      const WaveformAnalyzer& analyze = analyzeWaveform);

// `tolvane analyze`: analyses the file and prints the report to `out` (the
// JSON document alone when `json`, else the table). Returns the exit code:
// 0 done, 1 no pilot found or a run-time failure, 2 bad input; messages go
// to `err`.
int runAnalyzeJob(const std::string& path, const AnalysisRequest& request, bool json, std::ostream& out,
                  std::ostream& err, const WaveformAnalyzer& analyze = analyzeWaveform);

}  // namespace tolvane
