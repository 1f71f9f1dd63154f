// Impairments of the calculated waveform and multi-carrier composites.
//
// The configuration's impairment fields (onex/frame_config.hpp) act on the
// frame the chain built (after the baseband filter, the phase equaliser and
// the spectrum orientation), in this order:
//   I/Q imbalance -> origin offset -> clipping -> frequency offset -> noise.
// With every field off and at most one row of Carriers the waveform is the
// chain's, bit for bit. With two or more rows of Carriers, each carrier is
// the configured frame with its own PN offset, data bits (the data source
// continues from carrier to carrier) and idle noise, delayed cyclically,
// shifted in frequency and scaled; the carriers are summed and the
// impairments act on the sum. The markers are carrier 1's (delayed with
// it), never changed by an impairment.
#pragma once

#include <complex>
#include <cstdint>
#include <optional>
#include <vector>

#include "onex/frame_config.hpp"
#include "onex/frame_workspace.hpp"

namespace tolvane {

// Half the bandwidth a carrier occupies, for the span checks.
inline constexpr double kCarrierHalfWidthHz = 0.7e6;
// The channel bandwidth the carrier-to-noise ratio is defined in.
inline constexpr double kNoiseChannelHz = 1.2288e6;

// Two or more rows of Carriers.
bool isMultiCarrier(const FrameConfig& config);
// Any stage of the impairment chain on (noise, frequency offset, I/Q
// imbalance, origin offset, clipping).
bool impairmentsOn(const FrameConfig& config);

// The checks that depend on more than one field, after the field ranges
// (checkParameterRanges): the frequency offset within +-(sampleRate / 2 -
// 0.7 MHz), and the carriers' span (outermost offset + 0.7 MHz) within half
// the sample rate; a span too wide is refused with the oversampling that
// would hold it ("Carriers need ±2.58 MHz; use OverSampling 5 or more
// (6.144 MHz)."). Throws Error naming the field.
void checkImpairments(const FrameConfig& config);

// The generator of the added noise: its own stream, apart from the idle
// noise of numerics/noise, so switching the noise on never changes the
// idle noise of a seed. Unseeded it starts from std::random_device.
class AwgnStream {
public:
    AwgnStream();
    void seed(std::uint64_t seed);
    // Adds complex white Gaussian noise of `power` per sample (split equally
    // between I and Q) to every sample of `w`.
    void add(std::vector<std::complex<double>>& w, double power);
    // One standard normal number (the ziggurat method, exact to the
    // arithmetic).
    double normal();

private:
    double uniformOpen();  // in (0, 1)
    std::uint64_t next();
    std::uint64_t s_[4]{};
};

struct ImpairmentReport {
    // The mean power (per sample) entering the clipping stage: the carrier
    // power the noise is set against.
    double carrierPower = 0;
    // Peak over mean power of the waveform after clipping, in dB (when
    // clipping is on).
    std::optional<double> crestFactorDb;
    // The total power of the noise added per sample (when noise is on).
    std::optional<double> noisePower;
};

// Applies the impairment chain to `w`, samples at `sampleRate`. `noise`
// draws the added noise (untouched when noise is off).
ImpairmentReport applyImpairments(std::vector<std::complex<double>>& w, const FrameConfig& config,
                                  double sampleRate, AwgnStream& noise);

// Multiplies sample n by exp(j 2 pi f n / sampleRate).
void shiftFrequency(std::vector<std::complex<double>>& w, double frequencyHz, double sampleRate);

// What the impaired calculation keeps from run to run: the other carriers'
// frames and the data bits of all carriers, and the noise stream.
struct ImpairWorkspace {
    FrameWorkspace carrier;        // carriers 2 .. M, one after another
    std::vector<double> bits;      // the data bits of every carrier, in carrier order
    AwgnStream noise;
};

// The calculate step with carriers and impairments, into `workspace` (whose
// result then holds the impaired waveform and carrier 1's markers and
// packets). With all impairments off and one carrier this is
// calculateFrame(config, workspace). The idle noise is drawn from the
// process generator (numerics/noise), carrier after carrier; a seed, when
// given, restarts the added noise's own stream (the caller seeds the idle
// noise). Throws Error as calculateFrame and checkImpairments do, before
// the workspace's result changes.
ImpairmentReport calculateImpairedFrame(const FrameConfig& config, FrameWorkspace& workspace,
                                        ImpairWorkspace& impair, std::optional<std::uint64_t> seed);

}  // namespace tolvane
