// Correction of a waveform for the connected instrument: the I/Q correction
// (a filter on the quadrature component), the RF-channel flatness
// correction (a complex filter on the waveform), the correction file's name
// from the instrument's identification, and DAC quantisation.
#pragma once

#include <complex>
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

// One correction record (`KltIqCorrectionData`); only these fields are used.
struct CorrectionRecord {
    double rev = 1;
    std::vector<double> F;                     // frequency points, Hz
    std::vector<std::complex<double>> H;       // I/Q response at F (a NaN: no I/Q correction)
    std::vector<std::complex<double>> rfChannel;  // RF response at F (a NaN: none); rev 2 and 3
};

// A corrected waveform and the status: empty on success, otherwise the
// error text (the waveform is then the input, unchanged).
struct Corrected {
    std::vector<std::complex<double>> waveform;
    std::string status;
};

// I/Q correction: the quadrature component filtered circularly by the real
// part of the 31-tap inverse of H; the in-phase component unchanged.
Corrected applyIqCorrection(std::vector<std::complex<double>> s, const CorrectionRecord& c, double sampleRate);
// RF-channel correction (rev > 1 and no NaN in rfChannel): the waveform
// filtered circularly by the complex 31-tap inverse of rfChannel.
Corrected applyRfChannelCorrection(std::vector<std::complex<double>> s, const CorrectionRecord& c, double sampleRate);

// True when any value is NaN (in either part).
bool holdsNaN(const std::vector<std::complex<double>>& v);

// The download handler's corrections in order: every RF-channel correction
// (unless noFlatness), then every I/Q correction, skipping records whose
// response holds a NaN. The status of the last correction applied.
Corrected applyCorrections(std::vector<std::complex<double>> s, const std::vector<CorrectionRecord>& records,
                           bool noFlatness, double sampleRate);

// The 1-based position of the first `pattern` in `text`, if any.
std::optional<std::size_t> strfindpt(const std::string& text, const std::string& pattern);
// From "US" up to (not including) the next comma of the identification.
// Throws Error when there is no "US" or no comma after it.
std::string serialNumberOf(const std::string& identification);
// "2.1 GHz" for 2.14e9; the tenth may round up to 10 ("2.10 GHz").
std::string formatFreq(double hz);
// <folder> + serial number + " " + frequency text + ".mat".
std::string correctionFileName(const std::string& folder, const std::string& identification, double hz);
// The folder of the correction files: "C:\Temp\" on Windows; elsewhere
// $TOLVANE_CORRECTION_DIR, or $XDG_DATA_HOME/tolvane/corrections/, or
// ~/.local/share/tolvane/corrections/. Ends with the path separator.
std::string correctionFolder();

// Quantises to the grid of a DAC of `bits` bits: the largest component
// becomes +-(2^(bits-1) - 1), every component is rounded half away from zero
// on that grid and scaled back. Unchanged for bits <= 2 or an all-zero
// waveform; bits above 32 count as 32.
std::vector<std::complex<double>> applyDacRes(std::vector<std::complex<double>> wave, double bits);

}  // namespace tolvane
