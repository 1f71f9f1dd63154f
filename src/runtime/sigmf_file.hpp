// The exported waveform file: a SigMF recording, so that common SDR tools
// open it. NAME.sigmf-data holds the samples as 16-bit two's-complement I
// then Q per sample, scaled so the largest component magnitude is 32767 (the
// instrument's own words); by default little-endian (datatype "ci16_le",
// the byte order SDR tools read), or, on request, big-endian as the
// instrument receives them ("ci16_be"). NAME.sigmf-meta holds the sample
// rate, the carrier frequency, a description, the generator settings, and
// the frame's settings as annotations (one over the whole frame, one per
// slot of the frame; a slot that carries a traffic packet names it); every
// field that depends on the oversampling describes the exported samples.
#pragma once

#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "runtime/value.hpp"

namespace tolvane {

class FileGroup;

// The byte order of the sample words in NAME.sigmf-data.
enum class SigmfDatatype {
    Ci16Le,  // "ci16_le", the default
    Ci16Be,  // "ci16_be", the instrument's own byte order
};

// "ci16_le" or "ci16_be".
const char* sigmfDatatypeName(SigmfDatatype t);
// The datatype of a name as above; nothing for any other text.
std::optional<SigmfDatatype> sigmfDatatypeNamed(const std::string& name);

struct SigmfExport {
    std::vector<std::complex<double>> waveform;
    Value parameters;      // the configuration record of the exported frame
    Value sigGenSettings;  // the generator settings record
    std::string isoTime;   // "2026-12-10T16:38:10Z", the capture's time
    SigmfDatatype datatype = SigmfDatatype::Ci16Le;
};

// The current time in the form of `SigmfExport::isoTime` (UTC).
std::string sigmfTimeNow();

// The recording's base path for a name the user chose: a trailing
// ".sigmf-meta", ".sigmf-data" or ".sigmf" is dropped.
std::string sigmfBase(const std::string& chosen);

// The metadata document (JSON text) for the export. The sample rate, the
// description and the generator record's OverSampling and SamplingRate
// follow the oversampling of `parameters` (the frame's), whatever the
// generator settings say.
std::string sigmfMetadata(const SigmfExport& e);

// The sample words of NAME.sigmf-data. Throws Error when a sample is not
// a finite number.
std::string sigmfData(const SigmfExport& e);

// Stages BASE.sigmf-data and BASE.sigmf-meta into `group`, to be committed
// with the group's other files.
void stageSigmf(FileGroup& group, const std::string& base, const SigmfExport& e);

// Writes BASE.sigmf-data and BASE.sigmf-meta together (both or neither).
// Throws Error naming the file at fault.
void writeSigmf(const std::string& base, const SigmfExport& e);

}  // namespace tolvane
