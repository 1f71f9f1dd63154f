// tolvane analyze: reads a recording and prints the verification receiver's
// report (a table, or the JSON document with --json).
#include <CLI/CLI.hpp>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "commands.hpp"
#include "parse_options.hpp"
#include "session/analysis_job.hpp"

namespace tolvane::cli {

namespace {

// The whole text as a finite number; nothing for anything else.
std::optional<double> numberOf(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double x = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(x)) return std::nullopt;
    return x;
}

// The whole text as a whole number from `low` to `high`.
std::optional<int> wholeOf(const std::string& text, int low, int high) {
    const std::optional<double> x = numberOf(text);
    if (!x || *x != std::floor(*x) || *x < low || *x > high) return std::nullopt;
    return static_cast<int>(*x);
}

struct Texts {
    std::string file;
    std::string pnOffset = "auto";
    std::optional<std::string> filter, phaseEq, frameSlots, carrierOffset, slots, sampleRate, oversampling,
        iterations;
    bool json = false;
};

// Builds the request from the option texts; false (after a message naming
// the option) for a text that is not what the option takes.
bool makeRequest(const Texts& t, AnalysisRequest& r) {
    auto bad = [](const std::string& option, const std::string& text, const std::string& what) {
        std::cerr << "tolvane analyze: " << option << " \"" << text << "\" " << what << "\n";
        return false;
    };
    if (t.pnOffset != "auto") {
        const auto v = wholeOf(t.pnOffset, 0, 511);
        if (!v) return bad("--pn-offset", t.pnOffset, "must be a PN offset index from 0 to 511, or auto.");
        r.options.pnOffset = *v;
    }
    if (t.filter) {
        const auto v = wholeOf(*t.filter, 1, 4);
        if (!v) return bad("--filter", *t.filter, "must be a filter type: 1, 2, 3 or 4.");
        r.filter = static_cast<FilterShape>(*v);
    }
    if (t.phaseEq) {
        const auto v = wholeOf(*t.phaseEq, 0, 1);
        if (!v) return bad("--phase-eq", *t.phaseEq, "must be 0 (off) or 1 (on).");
        r.phaseEq = *v == 1;
    }
    if (t.frameSlots) {
        const auto v = wholeOf(*t.frameSlots, 16, 128);
        if (!v || *v % 16 != 0)
            return bad("--frame-slots", *t.frameSlots, "must be a whole multiple of 16 from 16 to 128.");
        r.frameSlots = *v;
    }
    if (t.carrierOffset) {
        const auto v = numberOf(*t.carrierOffset);
        if (!v) return bad("--carrier-offset", *t.carrierOffset, "must be a finite number of hertz.");
        r.options.carrierOffsetHz = *v;
    }
    if (t.slots) {
        const std::size_t colon = t.slots->find(':');
        const std::optional<int> a =
            colon == std::string::npos ? std::nullopt : wholeOf(t.slots->substr(0, colon), 1, 1 << 20);
        const std::optional<int> b =
            colon == std::string::npos ? std::nullopt : wholeOf(t.slots->substr(colon + 1), 1, 1 << 20);
        if (!a || !b || *a > *b) return bad("--slots", *t.slots, "must be A:B, whole slot numbers with 1 <= A <= B.");
        r.options.firstSlot = *a;
        r.options.lastSlot = *b;
    }
    if (t.sampleRate && t.oversampling) {
        std::cerr << "tolvane analyze: give --sample-rate or --oversampling, not both.\n";
        return false;
    }
    if (t.sampleRate) {
        const auto v = numberOf(*t.sampleRate);
        if (!v || *v <= 0 || *v > kMaxRecordingSampleRate)
            return bad("--sample-rate", *t.sampleRate, "must be a sample rate in hertz above 0 (up to 1e10).");
        r.read.sampleRate = *v;
    }
    if (t.oversampling) {
        const auto v = wholeOf(*t.oversampling, 1, 64);
        if (!v) return bad("--oversampling", *t.oversampling, "must be a whole number of samples per chip from 1 to 64.");
        r.read.oversampling = *v;
    }
    if (t.iterations) {
        const auto v = wholeOf(*t.iterations, 1, 16);
        if (!v) return bad("--iterations", *t.iterations, "must be a whole number from 1 to 16.");
        r.options.maxIterations = *v;
    }
    return true;
}

}  // namespace

int runAnalyze(int argc, char** argv) {
    CLI::App app{"Analyses a recorded forward-link waveform: synchronisation, modulation quality, code-domain power, "
                 "slot content and traffic packets.",
                 "tolvane analyze"};
    Texts t;
    app.add_option("file", t.file, "The recording: .mat, .bin (with --sample-rate or --oversampling) or .sigmf-meta")
        ->required();
    app.add_option("--pn-offset", t.pnOffset, "PN offset index 0 to 511, or auto (search all; the default)");
    app.add_option("--filter", t.filter, "Filter type 1 to 4 the recording was made with, when the file does not say");
    app.add_option("--phase-eq", t.phaseEq, "Phase equaliser 0 or 1, when the file does not say");
    app.add_option("--frame-slots", t.frameSlots, "Frame length in slots (16 to 128), when the file does not say");
    app.add_option("--carrier-offset", t.carrierOffset, "Analyse the carrier this many Hz from the centre");
    app.add_option("--slots", t.slots, "Analyse slots A to B only (A:B, from 1)");
    app.add_option("--sample-rate", t.sampleRate, "Sample rate in Hz (for a .bin file)");
    app.add_option("--oversampling", t.oversampling, "Samples per chip (for a .bin file)");
    app.add_option("--iterations", t.iterations, "Turbo decoder iterations at most, 1 to 16 (default 8)");
    app.add_flag("--json", t.json, "Print only the JSON report on standard output");
    if (const auto status = parseOptions(app, argc, argv)) return *status;
    AnalysisRequest request;
    if (!makeRequest(t, request)) return 2;
    return runAnalyzeJob(t.file, request, t.json, std::cout, std::cerr);
}

}  // namespace tolvane::cli
