// The exported waveform file: a SigMF recording, so that common SDR tools
// open it. NAME.sigmf-data holds the samples exactly as the instrument
// receives them (16-bit big-endian two's-complement I then Q per sample,
// scaled so the largest component magnitude is 32767: datatype "ci16_be");
// NAME.sigmf-meta holds the sample rate, the carrier frequency, a
// description, the generator settings, and the frame's settings as
// annotations (one over the whole frame, one per slot).
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "runtime/value.hpp"

namespace tolvane {

struct SigmfExport {
    std::vector<std::complex<double>> waveform;
    Value parameters;      // the frame configuration record
    Value sigGenSettings;  // the generator settings record
    std::string isoTime;   // "2026-12-10T16:38:10Z", the capture's time
};

// The recording's base path for a name the user chose: a trailing
// ".sigmf-meta", ".sigmf-data" or ".sigmf" is dropped.
std::string sigmfBase(const std::string& chosen);

// The metadata document (JSON text) for the export.
std::string sigmfMetadata(const SigmfExport& e);

// Writes BASE.sigmf-data and BASE.sigmf-meta together (both or neither).
// Throws Error naming the file at fault.
void writeSigmf(const std::string& base, const SigmfExport& e);

}  // namespace tolvane
