#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cmath>
#include <complex>
#include <vector>

#include "base/diagnostics.hpp"
#include "numerics/freq2fir.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

std::vector<double> axis(double low, double high, int points) {
    std::vector<double> f(points);
    for (int i = 0; i < points; ++i) f[i] = low + (high - low) * i / (points - 1);
    return f;
}

TEST(Freq2fir, RecoversTheTapsOfAKnownResponse) {
    const std::vector<cplx> g{cplx(0.1, 0.05), 0.2, cplx(1.0, -0.1), -0.3, cplx(0.05, 0.02)};  // k = -2 .. 2
    const double sr = 10e6;
    const std::vector<double> f = axis(-4e6, 4e6, 200);
    std::vector<cplx> H;
    const double pi = std::acos(-1.0);
    for (double fp : f) {
        cplx z{};
        for (int k = -2; k <= 2; ++k) z += g[k + 2] * std::polar(1.0, -2 * pi * fp * k / sr);
        H.push_back(std::conj(z));
    }
    const auto h = freq2fir(5, f, H, sr);
    ASSERT_EQ(h.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_LT(std::abs(h[i] - g[i]), 1e-12) << i;
}

TEST(CreateRealFir, FlatResponsesGiveAScaledImpulse) {
    struct Case {
        long long n;
        std::size_t taps;
    } cases[] = {{30, 31}, {31, 31}, {1, 3}, {4, 5}};
    for (const auto& c : cases) {
        // Absolute frequencies around a carrier: only differences matter.
        const std::vector<double> f = axis(2.14e9 - 5e6, 2.14e9 + 5e6, 101);
        const std::vector<cplx> H(f.size(), cplx(2.0, 0.0));
        const auto h = createRealFIR(c.n, f, H, 12.288e6);
        ASSERT_EQ(h.size(), c.taps) << c.n;
        for (std::size_t i = 0; i < h.size(); ++i)
            EXPECT_LT(std::abs(h[i] - (i == h.size() / 2 ? cplx(0.5) : cplx(0.0))), 1e-9) << c.n << " " << i;
    }
}

TEST(CreateRealFir, PointsBeyondHalfTheSampleRateAreCutOff) {
    const std::vector<double> f = axis(-100e6, 100e6, 401);
    std::vector<cplx> H;
    for (double fp : f) H.push_back(std::fabs(fp) <= 50e6 ? cplx(1.0) : cplx(100.0, 30.0));
    const auto h = createRealFIR(31, f, H, 100e6);
    ASSERT_EQ(h.size(), 31u);
    for (std::size_t i = 0; i < h.size(); ++i) EXPECT_LT(std::abs(h[i] - (i == 15 ? 1.0 : 0.0)), 1e-9) << i;
}

TEST(CreateRealFir, Errors) {
    const std::vector<double> f = axis(-1e6, 1e6, 11);
    EXPECT_THROW(createRealFIR(31, f, std::vector<cplx>(10, 1.0), 10e6), Error);
    try {
        createRealFIR(31, f, std::vector<cplx>(11, 1.0), 0.0);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "SR > 0 The sample rate must be greater than zero.");
    }
    try {
        freq2fir(4, f, std::vector<cplx>(11, 1.0), 10e6);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "N must be an odd integer");
    }
    try {
        freq2fir(5, f, std::vector<cplx>(11, 1.0), 1e6);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "SR must be greater than 2*max{F}.");
    }

    auto message = [](std::vector<Value> in) {
        try {
            callByName("createRealFIR", 1, std::move(in));
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_THAT(message({Value::scalar(31), Value::row(f), Value::row(std::vector<double>(11, 1.0))}),
                ::testing::EndsWith("You must have 4 inputs to createRealFIR."));
    EXPECT_THAT(message({Value::scalar(31), Value::row(f), Value::row(std::vector<double>(10, 1.0)), Value::scalar(1e7)}),
                ::testing::EndsWith("F must be the same size as H"));
    // Shapes are checked one input at a time, each refusal naming its input.
    EXPECT_THAT(message({Value::scalar(3), Value::matrix(2, 2, {1, 2, 3, 4}), Value::matrix(2, 2, {1, 1, 1, 1}),
                         Value::scalar(1e7)}),
                ::testing::EndsWith("\"F\" must be either a 1xN or a Nx1 matrix, not 2 x 2."));
    EXPECT_THAT(message({Value::scalar(3), Value::row({1, 2, 3, 4}), Value::matrix(2, 4, std::vector<double>(8, 1.0)),
                         Value::scalar(1e7)}),
                ::testing::EndsWith("\"H\" must be either a 1xN or a Nx1 matrix, not 2 x 4."));
    const Value h = callByName("createRealFIR", 1,
                               {Value::scalar(30), Value::row(f), Value::row(std::vector<double>(11, 1.0)), Value::scalar(1e7)})[0];
    EXPECT_EQ(h.numel(), 31u);
}

}  // namespace
}  // namespace tolvane
