// The verification receiver: synchronises to a forward-link waveform or a
// capture of one, measures modulation quality, code-domain power and the
// per-slot content, and decodes the traffic packets it finds.
//
// Typed and pure like the chain it checks: samples and numbers in, a report
// out; it reads no file and knows no window or run-time value. Readers of
// recordings (files) and the report's JSON and table forms live above it.
#pragma once

#include <array>
#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/choices.hpp"

namespace tolvane {

struct AnalysisOptions {
    // PN offset index 0 .. 511 when known; nothing: search all 512.
    std::optional<int> pnOffset;
    // The reference's pulse shape and equaliser (what the recording was made
    // with, when its file says so; otherwise the user's choice).
    FilterShape filter = FilterShape::Acp;
    bool phaseEq = true;
    // Frame length in slots (16 .. 128, a whole multiple of 16) when known;
    // 0: as many whole slots as the recording holds, up to 128.
    int frameSlots = 0;
    // Analyse the carrier this far from the recording's centre (multi-carrier
    // recordings): mixed down and low-pass filtered first.
    double carrierOffsetHz = 0;
    // Slots to analyse, 1-based and inclusive (--slots A:B); 0: from the
    // first / to the last whole slot.
    int firstSlot = 0;
    int lastSlot = 0;
    // Turbo decoder: at most this many iterations (stopping early when the
    // frame check sequence checks).
    int maxIterations = 8;
    // The samples per chip the waveform was generated at, when known (2 ..
    // 64): a recording at another rate is resampled to it, so that the
    // reference uses the very filter design of the waveform (the designs
    // differ from ratio to ratio). 0: the nearest whole ratio to the
    // recording's rate.
    int generatedOversampling = 0;
};

// One RPC sub-channel (MAC index 5 .. 63) of one slot.
struct RpcReport {
    int macIndex = 0;
    bool active = false;
    int bit = 0;          // 0 or 1 (meaningful when active)
    double gainDb = 0;    // relative to the pilot's amplitude (as the slot record's gains)
};

struct SlotReport {
    int index = 0;                       // from 1, as the generator numbers slots
    double pilotPowerDb = 0;             // relative to the recording's mean power
    std::optional<double> macPowerDb;    // relative to the pilot; nothing when the MAC is idle
    std::optional<double> dataPowerDb;   // relative to the pilot; nothing when the data is idle
    std::string data;                    // "idle", "QPSK", "8PSK", "16QAM", "packet" or "unmodulated" (Mode 2)
    std::optional<double> evmPercent;    // of this slot's data symbols
    std::optional<double> idlePowerDb;   // an idle data portion's power, relative to the pilot
    bool raActive = false;
    int raBit = 0;
    double raGainDb = 0;
    std::vector<RpcReport> rpc;          // 59 entries, MAC index 5 .. 63
};

struct PreambleReport {
    int slot = 0;        // the slot the packet starts in
    int macIndex = 0;
    int chips = 0;       // preamble length found
    double powerDb = 0;  // relative to the pilot
};

struct CodeDomainReport {
    std::array<double, 64> macI{};  // each MAC Walsh code, dB relative to the total MAC power
    std::array<double, 64> macQ{};
    std::array<double, 16> data{};  // each 16-chip data Walsh code, dB relative to the data power
    std::vector<PreambleReport> preamble;
};

struct PacketReport {
    int startSlot = 0;
    std::vector<int> occupiedSlots;  // the slots it occupies, 1-based ("slots" in the JSON)
    int drc = 0;
    int macIndex = 0;
    bool fcsOk = false;
    std::string payloadHex;  // payload bits, first bit as the most significant, zero-padded to whole digits
    int iterations = 0;
};

struct RhoReport {
    std::optional<double> pilot, mac, data;
    double overall = 0;
};

struct AnalysisReport {
    // What was analysed.
    double sampleRate = 0;
    int samplesPerChip = 0;   // after resampling
    int frameSlots = 0;
    int firstSlot = 0, lastSlot = 0;
    // Synchronisation.
    int pnOffset = 0;
    double timingOffsetChips = 0;
    double frequencyErrorHz = 0;
    double phaseErrorDeg = 0;
    double chipRateErrorPpm = 0;
    // The spectrum orientation found: false when the recording is the
    // conjugate of the chain's output (the generator's MirrorSpectrum 0, its
    // default), true when it is the output itself. Frequency errors and I/Q
    // figures are given as the recording has them.
    bool mirrorSpectrum = false;
    // Modulation quality.
    RhoReport rho;
    std::optional<double> evmRmsPercent, evmPeakPercent;
    double originOffsetDb = 0;
    double iqGainDb = 0, iqQuadratureDeg = 0;
    double snrDb = 0;
    std::vector<SlotReport> slotReports;  // "slots" in the JSON (Qt reserves the word slots)
    CodeDomainReport codeDomain;
    std::vector<PacketReport> packets;
};

// Thrown when the recording holds no pilot the receiver can lock to (all
// zeros, noise, another air interface): the report would be made up.
class NoPilotFound : public Error {
public:
    using Error::Error;
};

// Refuses options out of range, naming the option: a PN offset outside
// 0 .. 511, a filter outside 1 .. 4, a frame length that is neither 0 nor a
// whole multiple of 16 from 16 to 128, a carrier offset that is not finite,
// a slot range that is negative or runs backwards, iterations outside
// 1 .. 16. Throws Error.
void checkAnalysisOptions(const AnalysisOptions& options);

// Analyses `samples` taken at `sampleRate` (1.2288 MHz or more). Throws
// Error for input it cannot take (a rate below the chip rate, too few
// samples for one slot, more than kMaxSamples, a sample that is not finite,
// options out of range) and NoPilotFound as above.
//
// Slots: with the PN offset searched, the recording's first whole slot is
// slot 1 and the offset is the one that makes it so; with the offset given,
// slots are numbered by the PN phase (1 .. 16, counting on). Where the
// recording cannot tell (every slot alike, or the same MAC in every slot
// leaving the boundary half a slot in doubt) a warning says so. Powers that
// are zero to the arithmetic are given as -150 dB.

AnalysisReport analyzeWaveform(const std::vector<std::complex<double>>& samples, double sampleRate,
                               const AnalysisOptions& options);

}  // namespace tolvane
