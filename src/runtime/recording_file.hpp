// Recordings read for analysis: a waveform file this program wrote, or a
// capture an SDR tool or an instrument made, as complex samples with their
// sample rate and whatever the file says about how the frame was made.
//
// Formats, chosen by the file name's extension:
//   .mat          a MAT-file with `waveform` (a complex or real row or
//                 column) and `sampleRate` (Hz), optionally `parameters`
//                 (the frame's configuration record), as `tolvane generate
//                 --out NAME.mat` writes it. Without `sampleRate` the rate
//                 follows `parameters.OverSampling`, else the caller's.
//   .bin          the instrument's words: headerless 16-bit two's-complement
//                 I then Q per sample, most significant byte first. The file
//                 holds no rate: the caller gives a sample rate or an
//                 oversampling (samples per chip).
//   .sigmf-meta / .sigmf-data / .sigmf
//                 a SigMF recording (both files of the same base name): the
//                 metadata's `core:datatype` is one of ci16_le, ci16_be,
//                 cf32_le, ci8 or cu8 (one channel), `core:sample_rate` the
//                 rate; the frame's settings come from an annotation's
//                 `tolvane:parameters` record, as our export writes it.
//
// Every size is bounded before anything of it is allocated: the samples
// (kMaxRecordingSamples), the metadata text (kMaxSigmfMetaBytes) and its
// nesting (kMaxSigmfMetaDepth); MAT-files through the MAT reader's own
// ceilings. A truncated or odd-sized data file, a wrong datatype, a sample
// or rate that is not a finite number, a setting of the wrong kind or out of
// range is refused with an Error that names the file and the reason.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "onex/choices.hpp"

namespace tolvane {

// 16 Mi samples (256 MiB as complex doubles): a 128-slot frame at 30
// samples per chip is 7.9 Mi samples; this leaves room for captures at a
// higher rate or a little longer than one frame.
inline constexpr std::uint64_t kMaxRecordingSamples = 16ull << 20;
// SigMF metadata text: our export of a 128-slot frame is well below 1 MiB.
inline constexpr std::uint64_t kMaxSigmfMetaBytes = 16ull << 20;
// Arrays and objects nested in SigMF metadata; ours nest five deep.
inline constexpr std::size_t kMaxSigmfMetaDepth = 32;
// Sample rates accepted (Hz): a rate past this is no recording we can take.
inline constexpr double kMaxRecordingSampleRate = 10e9;

// What the caller knows that the file may not say (a .bin file says
// neither). At most one of the two; the sample rate is
// 1.2288 MHz x oversampling when the oversampling is given.
struct RecordingReadOptions {
    std::optional<double> sampleRate;
    std::optional<int> oversampling;
};

struct Recording {
    std::vector<std::complex<double>> samples;
    double sampleRate = 0;
    // The frame's settings when the file states them.
    std::optional<FilterShape> filter;
    std::optional<bool> phaseEq;
    std::optional<int> frameSlots;
    std::optional<int> pnOffset;
    // The samples per chip the frame was generated at (its OverSampling),
    // whatever rate it was recorded at.
    std::optional<int> oversampling;
    // "MAT-file", "instrument file" or "SigMF ci16_le" (and so on).
    std::string format;
};

// Reads the recording at `path` (see above). Throws Error naming the file.
// A rate given in `options` is refused when the file states another one.
Recording readRecording(const std::string& path, const RecordingReadOptions& options = {});

// The SigMF reader's core, on the two files' contents: `metaText` is the
// .sigmf-meta document, `data` the .sigmf-data bytes; `metaName` and
// `dataName` are the files named in messages. Throws Error as readRecording
// does.
Recording parseSigmfRecording(const std::string& metaText, const std::string& data, const std::string& metaName,
                              const std::string& dataName, const RecordingReadOptions& options = {});

// The instrument file's core on its bytes, as above.
Recording parseInstrumentRecording(const std::string& data, const std::string& name,
                                   const RecordingReadOptions& options);

}  // namespace tolvane
