#include "onex/phase_equaliser.hpp"

#include <cmath>
#include <numeric>
#include <string>

#include "numerics/bilinear.hpp"
#include "numerics/circular_filter.hpp"
#include "base/diagnostics.hpp"
#include "numerics/interp.hpp"
#include "onex/constants.hpp"

namespace tolvane {

namespace {

// All-pass prototype: (s^2 - alpha w0 s + w0^2) / (s^2 + alpha w0 s + w0^2),
// w0 = 2 pi 315 kHz, digitised with prewarping at 500 kHz.
constexpr double kOmega0 = 1979203.3717615698;
constexpr double kAlpha = 1.36;
constexpr double kPrewarpHz = 500000.0;
constexpr int kMaxFirRatio = 15;

void checkOversampling(int oversampling) {
    if (oversampling < 1 || oversampling > kMaxOversampling)
        throw Error("OneX_FwdPhaseEq: the oversampling ratio must be a whole number from 1 to " +
                    numberText(kMaxOversampling) + " (was " + numberText(oversampling) + ").");
}

std::vector<double> everyNth(const std::vector<double>& v, std::size_t step) {
    std::vector<double> out;
    for (std::size_t i = 0; i < v.size(); i += step) out.push_back(v[i]);
    return out;
}

}  // namespace

const std::vector<double>& phaseEqStoredTaps() {
    static const std::vector<double> taps{
        2.550817464495411e-07, -4.026820007760369e-08, -3.743967969159282e-06, -1.096148913972741e-05,
        -1.286263354919319e-05, 9.398073297178887e-06, 0.0004443412206729665, 0.0004296840408342798,
        -0.005652145740506417, -0.01011267822315272, -0.002387097972985409, 0.01049885001429858,
        0.02108874009853652, 0.02258264731782763, 0.007203335746581838, -0.02245734748306959,
        -0.05243381694269624, -0.06295277640207633, -0.04034062182928751, 0.01193000869251742,
        0.07069889149554119, 0.1032680270670497, 0.08636566050929616, 0.02334855859453759,
        -0.05224548453590194, -0.09188134132317181, -0.0599127823197554, 0.04117458228854214,
        0.1645460909330816, 0.2389893092558833, 0.2071666879985972, 0.06208534509954906,
        -0.1397274866066479, -0.2987179140265297, -0.3186402195093453, -0.1557686098544884,
        0.1550404628438208, 0.5120908434515244, 0.7912719820123063, 0.9008826452539883,
        0.8195353606527748, 0.5994111229441171, 0.3356733116076873, 0.1199549804585785,
        0.002206284616486103, -0.02171626424669602, 0.005327189055291081, 0.03252931067782774,
        0.02892928594225484, -0.005480529996441916, -0.04782752972876473, -0.0711693120407248,
        -0.06165883064672683, -0.02468948831509041, 0.02034244661593603, 0.05322301301479673,
        0.06618336617747136, 0.05621335078522723, 0.0305468460524692, 0.009571323842232053,
        -0.001716603717140917, -0.008336249500004096, -0.01131623141830786, -0.01178058226055194,
        -0.01061261151375529, -0.008611770279288517, -0.006341153851554098, -0.004197227912002684,
        -0.00239493529353824, -0.00103608022715168, -0.0001154792820293092, 0.0004186507759204851,
        0.0006565071492498185, 0.0006988777008077523, 0.0006345812967324982, 0.0005270284010483401,
        0.0004118703728540343, 0.0003040843844533982, 0.0001699093504485934, -1.719758499837834e-05,
        1.018040738187576e-06, 1.108369955448464e-06, 3.777075340268628e-07, 1.114767195055725e-08,
        -5.112991700774691e-08,
    };
    return taps;
}

FirEqualiser phaseEqFir(int oversampling) {
    checkOversampling(oversampling);
    const std::vector<double>& stored = phaseEqStoredTaps();
    FirEqualiser fir;
    switch (oversampling) {
    case 1:
        fir.b = everyNth(stored, 4);
        break;
    case 2:
        fir.b = everyNth(stored, 2);
        break;
    case 4:
        fir.b = stored;
        break;
    default: {
        int ratio = oversampling;
        if (ratio > kMaxFirRatio) {
            warn("Oversampling Ratio should be in [2, 15]. Oversampling Ratio was forced to 15.");
            ratio = kMaxFirRatio;
        }
        const int common = std::lcm(4, ratio);
        const int rate = common / 4;
        const std::vector<double> dense = interpolate(stored, rate).y;  // 85 * rate taps
        const std::size_t step = static_cast<std::size_t>(common / ratio);
        fir.b = everyNth(dense, step);
        fir.filtlen = dense.size() / step + 1;
        fir.designRatio = ratio;
        return fir;
    }
    }
    fir.filtlen = fir.b.size();
    fir.designRatio = oversampling;
    return fir;
}

IirCoefficients eqlrfilt(double fs) {
    if (!(fs > 2.0 * kPrewarpHz) || !std::isfinite(fs))
        throw Error("eqlrfilt: the sample rate Fs = " + numberText(fs) + " must be a finite number above " +
                    numberText(2.0 * kPrewarpHz) + " Hz, twice the prewarping frequency.");
    const DigitalFilter f = bilinear({1.0, -kAlpha * kOmega0, kOmega0 * kOmega0},
                                     {1.0, kAlpha * kOmega0, kOmega0 * kOmega0}, fs, kPrewarpHz);
    return {f.b, f.a};
}

std::vector<std::complex<double>> fwdPhaseEq(const std::vector<std::complex<double>>& input, int oversampling,
                                            FilterShape shape) {
    checkOversampling(oversampling);
    if (shape == FilterShape::None) {
        // Stored FIR response: exactly the circular convolution with b,
        // advanced by 2 * ratio - 1 samples (the ratio it was made for).
        const FirEqualiser fir = phaseEqFir(oversampling);
        return circularConvolve(input, fir.b, 2LL * fir.designRatio - 1);
    }
    return fwdPhaseEq(std::vector<std::complex<double>>(input), oversampling, shape);
}

void fwdPhaseEqInPlace(std::vector<std::complex<double>>& row, int oversampling, FilterShape shape,
                       std::vector<std::complex<double>>& scratch) {
    checkOversampling(oversampling);
    if (shape == FilterShape::None) {
        // Stored FIR response: exactly the circular convolution with b,
        // advanced by 2 * ratio - 1 samples (the ratio it was made for).
        const FirEqualiser fir = phaseEqFir(oversampling);
        circularConvolve(row, fir.b, 2LL * fir.designRatio - 1, scratch);
        row.swap(scratch);
        return;
    }
    // All-pass section; 25 samples per chip of the row's end run the
    // recursion in before the first output is kept.
    const IirCoefficients iir = eqlrfilt(oversampling * kChipRate);
    const std::size_t filtlen = 25 * static_cast<std::size_t>(oversampling);
    circularIirInPlace(row, iir.b, iir.a, filtlen, 2LL * oversampling - 1);
}

std::vector<std::complex<double>> fwdPhaseEq(std::vector<std::complex<double>>&& input, int oversampling,
                                            FilterShape shape) {
    std::vector<std::complex<double>> output = std::move(input);
    std::vector<std::complex<double>> scratch;
    fwdPhaseEqInPlace(output, oversampling, shape, scratch);
    return output;
}

}  // namespace tolvane
