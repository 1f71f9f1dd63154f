#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "numerics/bilinear.hpp"
#include "base/diagnostics.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

cplx polyval(const std::vector<double>& p, cplx x) {
    cplx r{};
    for (double c : p) r = r * x + c;
    return r;
}

// Digital response at f Hz: sum b[k] z^-k / sum a[k] z^-k.
cplx digital(const DigitalFilter& f, double hz, double fs) {
    const cplx zinv = std::polar(1.0, -2.0 * std::acos(-1.0) * hz / fs);
    cplx num{}, den{};
    for (std::size_t k = f.b.size(); k-- > 0;) num = num * zinv + f.b[k];
    for (std::size_t k = f.a.size(); k-- > 0;) den = den * zinv + f.a[k];
    return num / den;
}

TEST(Bilinear, PrewarpedResponsesCoincideAtTheWarpFrequency) {
    const double pi = std::acos(-1.0);
    const double w0 = 2 * pi * 315000.0;
    const std::vector<double> num{0.0, w0 * 0.7, w0 * w0}, den{1.0, 1.36 * w0, w0 * w0};
    const double fs = 4915200.0, fp = 500000.0;
    const DigitalFilter f = bilinear(num, den, fs, fp);
    ASSERT_EQ(f.b.size(), 3u);
    ASSERT_EQ(f.a.size(), 3u);
    EXPECT_EQ(f.a[0], 1.0);
    const cplx analog = polyval(num, cplx(0, 2 * pi * fp)) / polyval(den, cplx(0, 2 * pi * fp));
    EXPECT_LT(std::abs(digital(f, fp, fs) - analog), 1e-12);
    // DC maps to DC.
    EXPECT_NEAR(std::abs(digital(f, 0.0, fs)), 1.0, 1e-12);
}

TEST(Bilinear, FirstOrderWithoutPrewarpingHasTheTextbookForm) {
    // H(s) = 1 / (s + 1) at fs = 0.5: K = 1, H(z) = (1 + z^-1) / 2.
    const DigitalFilter f = bilinear({1.0}, {1.0, 1.0}, 0.5);
    ASSERT_EQ(f.b.size(), 2u);
    EXPECT_NEAR(f.b[0], 0.5, 1e-15);
    EXPECT_NEAR(f.b[1], 0.5, 1e-15);
    EXPECT_NEAR(f.a[0], 1.0, 1e-15);
    EXPECT_NEAR(f.a[1], 0.0, 1e-15);
}

TEST(Bilinear, RejectsImproperInput) {
    EXPECT_THROW(bilinear({1.0, 2.0, 3.0}, {1.0, 1.0}, 1000.0), Error);
    EXPECT_THROW(bilinear({1.0}, {1.0, 1.0}, 0.0), Error);
    EXPECT_THROW(bilinear({1.0}, {1.0, 1.0}, 1000.0, 600.0), Error);
}

}  // namespace
}  // namespace tolvane
