// The download and play jobs, the generator settings they send, and the
// time-stamp text of window titles.
#pragma once

#include <complex>
#include <functional>
#include <string>
#include <vector>

#include "instrument/connection.hpp"

namespace tolvane {

// The signal generator's play-back settings (`SigGenSettings`), with the
// start-up defaults; SamplingRate follows the oversampling (1228800 x
// OverSampling).
struct SigGenSettings {
    std::string Title = "OneX-Fwd";
    double Frequency = 2200000000.0;  // Hz
    double Amplitude = -30;           // dBm
    double OverSampling = 5;
    double SamplingRate = 1228800.0 * 5;  // Hz
    double BBfilter = 1;                  // 1 = 2.1 MHz, 2 = 40 MHz, other = through
    double Scaling = 95;                  // percent
    double ModAtten = 0;                  // dB
    double RFblanking = 0;                // 1 = on
    double ALC = 0;                       // 0 = off
    double ArbRefSource = 0;              // 0 = internal
    double MarkerPolarity = 0;            // 0 = positive
    double ReconFilter = 4;               // other platform: 1 = 250 kHz, 2 = 2.5 MHz, 3 = 8 MHz, other = through
};

// A setting as the instrument reads it: a whole number in full
// (2200000000, -30), any other value in plain decimal form without trailing
// zeros, as short as still reads back as the same number (2.5, 0.0001).
std::string decimalText(double value);

// The commands of the play job, in order (16 for the current platform,
// 11 for the other).
std::vector<std::string> playCommands_c(const std::string& fileName, const SigGenSettings& setting);
std::vector<std::string> playCommands(const std::string& fileName, const SigGenSettings& setting);

// Sends the commands one by one, then returns the instrument to local.
// Every command is sent even after a failure; the result is the first
// failure with its text, or the last send's result when all succeeded.
IoResult playJob(InstrumentIo& io, const Connection& c, const std::vector<std::string>& commands);

// The question asked before a long serial download: true to go on. It gets
// the title ("RS-232 Download") and the text.
using QuestionCallback = std::function<bool(const std::string& title, const std::string& text)>;

// Estimated minutes of a serial download of `samples` samples.
double serialDownloadMinutes(std::size_t samples, double baudrate, double segments);

// The download job: time-out 10000 ms; on a serial line a question when the
// estimate exceeds 0.75 minutes; then the ARB state is read, the ARB player
// stopped, samples and markers downloaded, a line feed sent, the ARB player
// restarted if it was on and the modulation switched on.
//
// The transfer steps stop at the first failure, whose result is returned;
// the steps that restore the instrument (ARB player, modulation) run in any
// case. A successful run returns the line feed's result.
// `segments` <= 0 counts as 1.
IoResult downloadJob(InstrumentIo& io, const Connection& c, const std::vector<std::complex<double>>& iq,
                     const MarkerMatrix& markers, const std::string& name, double segments,
                     const QuestionCallback& question);

// "05MAR2002 9:07:03" from year, month, day, hour, minute, seconds.
std::string clock2str(const std::vector<double>& clock);

}  // namespace tolvane
