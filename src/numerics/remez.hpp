// Equiripple linear-phase FIR design by the Parks-McClellan exchange
// algorithm (symmetric impulse response, types I and II).
//
// Inputs, as the design routine's callers state them:
//   order       N >= 3; the result has N + 1 taps. An odd order gives an
//               even length, whose response is forced to zero at Nyquist.
//   edges       band-edge pairs as fractions of the Nyquist frequency,
//               non-decreasing within 0 ... 1 (e.g. {0, 0.48, 0.6, 1}).
//   amplitudes  desired amplitude at each edge; inside a band the desired
//               response runs linearly between the band's two values.
//   weights     one positive weight per band (empty: all 1).
//
// The dense grid has `gridDensity` points per approximating function
// (16 is the usual value) and is built band by band from the lower edge in
// equal steps, the last point of a band moved onto its upper edge.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

struct RemezDesign {
    std::vector<double> taps;                 // N + 1 symmetric coefficients
    double deviation = 0.0;                   // weighted ripple at the extremals
    std::vector<double> extremalFrequencies;  // fractions of Nyquist
    int iterations = 0;
    bool converged = false;                   // false: iteration limit or loss of precision
};

RemezDesign remezDesign(int order, const std::vector<double>& edges, const std::vector<double>& amplitudes,
                        const std::vector<double>& weights = {}, int gridDensity = 16, int maxIterations = 25);

// The taps of a design. One that did not converge is still returned (its
// taps are the best the exchange reached), after a warning naming `what`:
// "<what>: the equiripple design did not converge ...".
std::vector<double> designTaps(const RemezDesign& design, const std::string& what);

// The taps only, through designTaps, `what` being "Parks-McClellan design
// of order N".
std::vector<double> remez(int order, const std::vector<double>& edges, const std::vector<double>& amplitudes,
                          const std::vector<double>& weights = {}, int gridDensity = 16);

// Amplitude of the zero-phase response of symmetric taps h at frequency f
// (fraction of Nyquist): sum_k h[k] cos(pi f (k - (L-1)/2)).
double symmetricAmplitude(const std::vector<double>& h, double f);

}  // namespace tolvane
