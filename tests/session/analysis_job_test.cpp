// The analysis jobs around the receiver (replaced here by a stand-in that
// records what it was given): which settings reach it, from the file or the
// user or the session; how its outcomes become exit codes and messages.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../support/temp_dir.hpp"
#include "instrument/waveform_file.hpp"
#include "onex/constants.hpp"
#include "runtime/mat_file.hpp"
#include "runtime/parameters_value.hpp"
#include "session/analysis_job.hpp"

namespace tolvane {
namespace {

using testing_support::TempDir;

struct Seen {
    int calls = 0;
    std::size_t samples = 0;
    double rate = 0;
    AnalysisOptions options;
};

WaveformAnalyzer recorder(Seen& seen) {
    return [&seen](const std::vector<std::complex<double>>& s, double rate, const AnalysisOptions& o) {
        ++seen.calls;
        seen.samples = s.size();
        seen.rate = rate;
        seen.options = o;
        AnalysisReport r;
        r.sampleRate = rate;
        r.pnOffset = 42;
        r.rho.overall = 0.999;
        return r;
    };
}

// Collects the warnings of one test.
struct Warnings {
    std::vector<std::string> lines;
    WarningSink previous;
    Warnings() : previous(setWarningSink([this](const std::string& w) { lines.push_back(w); })) {}
    ~Warnings() { setWarningSink(previous); }
};

std::string writeMat(const TempDir& dir, const FrameConfig& config, std::size_t n) {
    Record vars;
    vars.set("waveform", Value::complexRow(std::vector<std::complex<double>>(n, {0.5, -0.5})));
    vars.set("sampleRate", Value::scalar(kChipRate * config.OverSampling));
    vars.set("parameters", parametersToValue(config));
    writeMatFile(dir.file("rec.mat"), vars);
    return dir.file("rec.mat");
}

// The file's filter, equaliser and frame length win over the user's (who
// is told); a file that states none takes the user's; the user's PN offset,
// carrier offset, slot range and iterations always pass.
TEST(AnalysisJob, SettingsComeFromTheFileElseTheUser) {
    TempDir dir;
    FrameConfig config = defaultFrameConfig();
    config.FilterType = 2;
    config.PhaseEq = 0;
    config.FrameSlots = 32;
    config.OverSampling = 4;
    const std::string mat = writeMat(dir, config, 1000);
    writeInstrumentWaveformFile(dir.file("rec.bin"), std::vector<std::complex<double>>(500, {1, 0}), 1.0);

    AnalysisRequest user;
    user.filter = FilterShape::Rectangular;
    user.phaseEq = true;
    user.frameSlots = 64;
    user.options.pnOffset = 7;
    user.options.carrierOffsetHz = 2.5e6;
    user.options.firstSlot = 2;
    user.options.lastSlot = 5;
    user.options.maxIterations = 3;
    user.read.oversampling = 3;  // for the .bin; the .mat states 4 and would refuse 3
    {
        Warnings w;
        Seen seen;
        AnalysisRequest forMat = user;
        forMat.read = {};
        (void)analyzeRecordingFile(mat, forMat, recorder(seen));
        EXPECT_EQ(seen.samples, 1000u);
        EXPECT_EQ(seen.rate, kChipRate * 4);
        EXPECT_EQ(seen.options.filter, FilterShape::Std);
        EXPECT_FALSE(seen.options.phaseEq);
        EXPECT_EQ(seen.options.frameSlots, 32);
        EXPECT_EQ(seen.options.generatedOversampling, 4);
        EXPECT_EQ(seen.options.pnOffset, 7);
        EXPECT_EQ(seen.options.carrierOffsetHz, 2.5e6);
        EXPECT_EQ(seen.options.firstSlot, 2);
        EXPECT_EQ(seen.options.lastSlot, 5);
        EXPECT_EQ(seen.options.maxIterations, 3);
        ASSERT_EQ(w.lines.size(), 3u);
        EXPECT_EQ(w.lines[0], "The recording \"" + mat +
                                  "\" was made with filter type 2; the filter type 1 asked for is not used.");
        EXPECT_NE(w.lines[1].find("phase equaliser off; the equaliser on asked for is not used."), std::string::npos);
        EXPECT_NE(w.lines[2].find("holds a frame of 32 slots; the 64 slots asked for are not used."),
                  std::string::npos);
    }
    {
        Warnings w;
        Seen seen;
        (void)analyzeRecordingFile(dir.file("rec.bin"), user, recorder(seen));
        EXPECT_EQ(seen.samples, 500u);
        EXPECT_EQ(seen.rate, kChipRate * 3);
        EXPECT_EQ(seen.options.filter, FilterShape::Rectangular);
        EXPECT_TRUE(seen.options.phaseEq);
        EXPECT_EQ(seen.options.frameSlots, 64);
        EXPECT_EQ(seen.options.generatedOversampling, 3);
        EXPECT_TRUE(w.lines.empty());
    }
    {
        // The file states PN offset 0 (the default configuration's); a
        // search that finds 42 says so, a given offset does not.
        Warnings w;
        Seen seen;
        AnalysisRequest search;
        (void)analyzeRecordingFile(mat, search, recorder(seen));
        ASSERT_EQ(w.lines.size(), 1u);
        EXPECT_EQ(w.lines[0], "The recording \"" + mat + "\" states PN offset 0; the search found 42 at a timing offset of 0 chips.");
        search.options.pnOffset = 9;
        (void)analyzeRecordingFile(mat, search, recorder(seen));
        EXPECT_EQ(w.lines.size(), 1u);
    }
    {
        // Neither says: the receiver's defaults.
        Seen seen;
        AnalysisRequest plain;
        plain.read.sampleRate = 5e6;
        (void)analyzeRecordingFile(dir.file("rec.bin"), plain, recorder(seen));
        EXPECT_EQ(seen.rate, 5e6);
        EXPECT_EQ(seen.options.filter, AnalysisOptions{}.filter);
        EXPECT_EQ(seen.options.phaseEq, AnalysisOptions{}.phaseEq);
        EXPECT_EQ(seen.options.frameSlots, 0);
        EXPECT_EQ(seen.options.generatedOversampling, 0);
        EXPECT_FALSE(seen.options.pnOffset);
    }
}

// Exit codes and where the words go: the report alone on standard output;
// bad input (the file, an option, what the receiver refuses) 2; no pilot 1;
// the message names the file; the receiver never runs on refused input.
TEST(AnalysisJob, ExitCodesAndMessages) {
    TempDir dir;
    FrameConfig config = defaultFrameConfig();
    config.OverSampling = 2;
    const std::string mat = writeMat(dir, config, 4096);
    const std::string quotedMat = "\"" + mat + "\"";

    struct Case {
        const char* what;
        std::string path;
        AnalysisRequest request;
        WaveformAnalyzer analyzer;
        bool json;
        int code;
        std::string err;     // part of the message
        bool analyzerRuns;
    };
    int calls = 0;
    auto counting = [&calls](const WaveformAnalyzer& f) {
        return [&calls, f](const std::vector<std::complex<double>>& s, double r, const AnalysisOptions& o) {
            ++calls;
            return f(s, r, o);
        };
    };
    Seen seen;
    AnalysisRequest badPn;
    badPn.options.pnOffset = 600;
    AnalysisRequest badRate;
    badRate.read.sampleRate = 1e6;  // the file states 2457600
    const WaveformAnalyzer noPilot = [](const std::vector<std::complex<double>>&, double,
                                        const AnalysisOptions&) -> AnalysisReport {
        throw NoPilotFound("the strongest PN offset is 9 dB below the noise.");
    };
    const WaveformAnalyzer refuses = [](const std::vector<std::complex<double>>&, double,
                                        const AnalysisOptions&) -> AnalysisReport {
        throw Error("The recording holds 4096 samples, fewer than one slot.");
    };
    const Case cases[] = {
        {"json", mat, {}, recorder(seen), true, 0, "", true},
        {"table", mat, {}, recorder(seen), false, 0, "", true},
        {"no pilot", mat, {}, noPilot, true, 1, quotedMat + ": no pilot found: the strongest PN offset is 9 dB", true},
        {"receiver refuses", mat, {}, refuses, true, 2, quotedMat + ": The recording holds 4096 samples", true},
        {"missing file", dir.file("none.mat"), {}, recorder(seen), true, 2, "none.mat\": no such file.", false},
        {"PN offset", mat, badPn, recorder(seen), true, 2, "PN offset 600 is not an offset index", false},
        {"rate", mat, badRate, recorder(seen), true, 2, "states a sample rate of 2457600 Hz", false},
    };
    for (const Case& c : cases) {
        calls = 0;
        std::ostringstream out, err;
        const int code = runAnalyzeJob(c.path, c.request, c.json, out, err, counting(c.analyzer));
        EXPECT_EQ(code, c.code) << c.what << ": " << err.str();
        EXPECT_EQ(calls, c.analyzerRuns ? 1 : 0) << c.what;
        if (c.code == 0) {
            EXPECT_EQ(err.str(), "") << c.what;
            if (c.json) {
                const auto j = nlohmann::json::parse(out.str());
                EXPECT_EQ(j["pnOffset"], 42) << c.what;
                EXPECT_EQ(j["rho"]["overall"], 0.999) << c.what;
            } else {
                EXPECT_NE(out.str().find("PN offset           42\n"), std::string::npos) << out.str();
            }
        } else {
            EXPECT_EQ(out.str(), "") << c.what;  // never a report made up
            EXPECT_NE(err.str().find(c.err), std::string::npos) << c.what << ": " << err.str();
        }
    }
}

// The session's frame is analysed with the configuration it was calculated
// with; a changed configuration or no frame at all is refused.
TEST(AnalysisJob, SessionWaveformWithItsConfiguration) {
    Session session;
    Seen seen;
    EXPECT_THROW((void)analyzeSessionWaveform(session, {}, recorder(seen)), AnalysisInputError);
    FrameConfig config = defaultFrameConfig();
    config.OverSampling = 2;
    config.FilterType = 1;
    config.PhaseEq = 0;
    config.FrameSlots = 32;
    config.ProjectedLength = projectedLength(config);
    session.setConfig(config);
    session.resetSettings();
    session.calculate(1);
    AnalysisRequest request;
    request.filter = FilterShape::Acp;  // not used: the session knows
    request.options.pnOffset = 3;
    (void)analyzeSessionWaveform(session, request, recorder(seen));
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.samples, 32u * 2048 * 2);
    EXPECT_EQ(seen.rate, kChipRate * 2);
    EXPECT_EQ(seen.options.filter, FilterShape::Rectangular);
    EXPECT_FALSE(seen.options.phaseEq);
    EXPECT_EQ(seen.options.frameSlots, 32);
    EXPECT_EQ(seen.options.generatedOversampling, 2);
    EXPECT_EQ(seen.options.pnOffset, 3);

    session.config().OverSampling = 3;  // changed after the calculation
    try {
        (void)analyzeSessionWaveform(session, request, recorder(seen));
        ADD_FAILURE() << "a changed configuration was taken";
    } catch (const AnalysisInputError& e) {
        EXPECT_NE(std::string(e.what()).find("calculate it again"), std::string::npos) << e.what();
    }
    EXPECT_EQ(seen.calls, 1);
}

// A search that lands half a slot away from the offset the frame was made
// with is checked at the known offset; the known one is kept when it fits
// at least as well, the search's when it does not fit or finds no pilot.
TEST(AnalysisJob, SessionWaveformPrefersTheKnownOffsetOnATie) {
    Session session;
    FrameConfig config = defaultFrameConfig();
    config.OverSampling = 2;
    config.PilotOffsetIndex = 211;
    config.ProjectedLength = projectedLength(config);
    session.setConfig(config);
    session.resetSettings();
    session.calculate(1);
    struct Case {
        double rhoAtKnown;  // < 0: no pilot at the known offset
        int expected;
        int calls;
    };
    for (const Case c : {Case{0.999, 211, 2}, Case{0.9995, 211, 2}, Case{0.5, 195, 2}, Case{-1, 195, 2}}) {
        int calls = 0;
        const WaveformAnalyzer stand = [&](const std::vector<std::complex<double>>&, double,
                                           const AnalysisOptions& o) {
            ++calls;
            AnalysisReport r;
            if (!o.pnOffset) {
                r.pnOffset = 195;
                r.rho.overall = 0.999;
                return r;
            }
            if (c.rhoAtKnown < 0) throw NoPilotFound("none");
            r.pnOffset = *o.pnOffset;
            r.rho.overall = c.rhoAtKnown;
            return r;
        };
        EXPECT_EQ(analyzeSessionWaveform(session, {}, stand).pnOffset, c.expected) << c.rhoAtKnown;
        EXPECT_EQ(calls, c.calls);
    }
    // A search that finds the known offset is not repeated.
    int calls = 0;
    const WaveformAnalyzer agrees = [&](const std::vector<std::complex<double>>&, double, const AnalysisOptions&) {
        ++calls;
        AnalysisReport r;
        r.pnOffset = 211;
        return r;
    };
    EXPECT_EQ(analyzeSessionWaveform(session, {}, agrees).pnOffset, 211);
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace tolvane
