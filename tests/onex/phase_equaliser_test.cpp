#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <utility>
#include <vector>

#include "base/diagnostics.hpp"
#include "numerics/fft.hpp"
#include "onex/phase_equaliser.hpp"
#include "runtime/library.hpp"
#include "../support/signal_checks.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;
using cvec = std::vector<cplx>;

cvec testRow(std::size_t n) {
    cvec x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = {std::sin(0.61 * i + 0.4 * std::cos(0.01 * i * i)), std::cos(1.7 * i * i)};
    return x;
}

using testing_support::directForm;

// The equaliser's circular application written out: extend with the last
// filtlen - 1 samples, filter, keep N, rotate left by 2 os - 1.
cvec reference(const cvec& x, const std::vector<double>& b, const std::vector<double>& a, std::size_t filtlen, int os) {
    const std::size_t n = x.size();
    cvec ext(x.end() - static_cast<std::ptrdiff_t>(filtlen - 1), x.end());
    ext.insert(ext.end(), x.begin(), x.end());
    const cvec f = directForm(b, a, ext);
    cvec y(n);
    for (std::size_t i = 0; i < n; ++i) y[i] = f[filtlen - 1 + (i + 2 * os - 1) % n];
    return y;
}

using testing_support::relativeError;

cplx response(const std::vector<double>& b, const std::vector<double>& a, double f, double fs) {
    const cplx zinv = std::polar(1.0, -2.0 * std::acos(-1.0) * f / fs);
    cplx num{}, den{};
    for (std::size_t k = b.size(); k-- > 0;) num = num * zinv + b[k];
    for (std::size_t k = a.size(); k-- > 0;) den = den * zinv + a[k];
    return num / den;
}

class WarningCapture {
public:
    WarningCapture() : previous_(setWarningSink([this](const std::string& w) { warnings.push_back(w); })) {}
    ~WarningCapture() { setWarningSink(previous_); }
    std::vector<std::string> warnings;

private:
    WarningSink previous_;
};

TEST(Eqlrfilt, IsTheDigitisedAllPass) {
    const double pi = std::acos(-1.0);
    for (int os : {2, 4, 5, 30}) {
        const double fs = os * 1228800.0;
        const IirCoefficients f = eqlrfilt(fs);
        ASSERT_EQ(f.b.size(), 3u);
        ASSERT_EQ(f.a.size(), 3u);
        EXPECT_EQ(f.a[0], 1.0);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(f.b[k], f.a[2 - k], 1e-12);
        for (double hz : {0.0, 1e5, 5e5, 1.2e6}) EXPECT_NEAR(std::abs(response(f.b, f.a, hz, fs)), 1.0, 1e-12);
        // Analog and digital agree at the 500 kHz warping frequency.
        const double w0 = 2 * pi * 315000.0, alpha = 1.36;
        const cplx s(0, 2 * pi * 500000.0);
        const cplx analog = (s * s - alpha * w0 * s + w0 * w0) / (s * s + alpha * w0 * s + w0 * w0);
        EXPECT_LT(std::abs(response(f.b, f.a, 500000.0, fs) - analog), 1e-10) << os;
    }
    const auto out = callByName("eqlrfilt", 2, {Value::scalar(4915200.0)});
    EXPECT_EQ(out[0], Value::row(eqlrfilt(4915200.0).b));
    EXPECT_EQ(out[1], Value::row(eqlrfilt(4915200.0).a));
}

TEST(PhaseEqFir, StoredResponseAdaptedToTheRatio) {
    const auto& stored = phaseEqStoredTaps();
    ASSERT_EQ(stored.size(), 85u);
    EXPECT_EQ(stored[39], 0.9008826452539883);
    double sum = 0.0;
    for (double v : stored) sum += v;
    EXPECT_NEAR(sum, 4.0023, 5e-5);

    struct Case {
        int os;
        std::size_t taps, filtlen;
        int designRatio;
    } cases[] = {
        {1, 22, 22, 1}, {2, 43, 43, 2}, {4, 85, 85, 4}, {3, 64, 64, 3},
        {8, 170, 171, 8}, {5, 107, 107, 5}, {6, 128, 128, 6}, {15, 319, 319, 15},
    };
    WarningCapture capture;
    for (const auto& c : cases) {
        const FirEqualiser fir = phaseEqFir(c.os);
        EXPECT_EQ(fir.b.size(), c.taps) << c.os;
        EXPECT_EQ(fir.filtlen, c.filtlen) << c.os;
        EXPECT_EQ(fir.designRatio, c.designRatio) << c.os;
        EXPECT_GE(fir.filtlen, fir.b.size());
    }
    EXPECT_TRUE(capture.warnings.empty());
    // Interpolation keeps the stored taps where the sample grids meet.
    const FirEqualiser r1 = phaseEqFir(1), r8 = phaseEqFir(8), r3 = phaseEqFir(3);
    for (std::size_t i = 0; i < 22; ++i) EXPECT_EQ(r1.b[i], stored[4 * i]);
    for (std::size_t i = 0; i < 85; ++i) EXPECT_EQ(r8.b[2 * i], stored[i]);
    for (std::size_t m = 0; 3 * m < r3.b.size(); ++m) EXPECT_EQ(r3.b[3 * m], stored[4 * m]);
}

TEST(PhaseEqFir, RatiosAboveFifteenWarnAndUseFifteen) {
    WarningCapture capture;
    const FirEqualiser fir = phaseEqFir(20);
    ASSERT_EQ(capture.warnings.size(), 1u);
    EXPECT_EQ(capture.warnings[0], "Oversampling Ratio should be in [2, 15]. Oversampling Ratio was forced to 15.");
    EXPECT_EQ(fir.designRatio, 15);
    EXPECT_EQ(fir.b, phaseEqFir(15).b);
    EXPECT_EQ(capture.warnings.size(), 1u);
}

TEST(FwdPhaseEq, StoredResponseIsACircularConvolution) {
    const cvec x = testRow(1500);
    // Ratio 4: the 85 stored taps, advanced by 7 samples.
    const auto& stored = phaseEqStoredTaps();
    cvec want(x.size());
    for (std::size_t n = 0; n < x.size(); ++n)
        for (std::size_t k = 0; k < stored.size(); ++k) want[n] += stored[k] * x[(n + 7 + x.size() - k) % x.size()];
    EXPECT_LT(relativeError(fwdPhaseEq(x, 4, FilterShape::None), want), 1e-12);
    // Other ratios: the written-out procedure with the adapted taps.
    for (int os : {1, 2, 3, 8}) {
        const FirEqualiser fir = phaseEqFir(os);
        EXPECT_LT(relativeError(fwdPhaseEq(x, os, FilterShape::None), reference(x, fir.b, {1.0}, fir.filtlen, os)), 1e-12) << os;
        EXPECT_EQ(fwdPhaseEq(cvec(x), os, FilterShape::None), fwdPhaseEq(x, os, FilterShape::None));
    }
}

TEST(FwdPhaseEq, AllPassBranchWarmsUpOverTheRowEnd) {
    const cvec x = testRow(2000);
    for (int os : {2, 5}) {
        for (FilterShape type : {FilterShape::Rectangular, FilterShape::Std, FilterShape::Acp}) {
            const IirCoefficients f = eqlrfilt(os * 1228800.0);
            const cvec y = fwdPhaseEq(x, os, type);
            EXPECT_LT(relativeError(y, reference(x, f.b, f.a, 25 * os, os)), 1e-12)
                << os << " " << static_cast<int>(type);
            cvec moved = x;
            EXPECT_EQ(fwdPhaseEq(std::move(moved), os, type), y);  // in place, same result
        }
    }
}

TEST(FwdPhaseEq, AllPassKeepsTheMagnitudeSpectrum) {
    const cvec x = testRow(4096);
    const cvec y = fwdPhaseEq(x, 4, FilterShape::Acp);
    const cvec X = fft(x), Y = fft(y);
    double peak = 0.0, worst = 0.0;
    for (std::size_t k = 0; k < X.size(); ++k) {
        peak = std::max(peak, std::abs(X[k]));
        worst = std::max(worst, std::fabs(std::abs(Y[k]) - std::abs(X[k])));
    }
    EXPECT_LT(worst / peak, 1e-6);
    // ... while the phase does change.
    EXPECT_GT(relativeError(y, x), 0.1);
}

TEST(FwdPhaseEq, ByNameReadsTheConfiguredFilterType) {
    const cvec x = testRow(600);
    callByName("eqlrfilt", 1, {Value::scalar(2457600.0)});  // initialises the library
    Value& parameters = library().globals().stored("parameters");
    const Value saved = parameters;
    auto byName = [&] {
        const Value out = callByName("OneX_FwdPhaseEq", 1, {Value::complexRow(x), Value::scalar(2)})[0];
        return out.toComplex();
    };
    parameters = Value();  // unset: the default filter type 3, the all-pass
    EXPECT_EQ(byName(), fwdPhaseEq(x, 2, FilterShape::Acp));
    parameters = Value::record();
    parameters.setField("FilterType", Value::scalar(4));
    const cvec stored = fwdPhaseEq(x, 2, FilterShape::None);
    const cvec allPass = fwdPhaseEq(x, 2, FilterShape::Acp);
    EXPECT_EQ(byName(), stored);
    // Only 4 (no baseband filter) selects the stored response.
    for (double type : {1.0, 2.0, 3.0, 7.0, 4.5}) {
        parameters.setField("FilterType", Value::scalar(type));
        EXPECT_EQ(byName(), allPass) << type;
    }
    parameters = saved;
}

}  // namespace
}  // namespace tolvane
