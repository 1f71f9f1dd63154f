#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cmath>
#include <string>

#include "numerics/noise.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

std::string errorOf(const std::string& name, std::vector<Value> inputs) {
    try {
        callByName(name, 1, std::move(inputs));
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

TEST(NumericsByName, Interp) {
    std::vector<double> x(10);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.3 * i);
    const auto out = callByName("interp", 2, {Value::row(x), Value::scalar(3)});
    ASSERT_EQ(out[0].rows(), 1u);
    ASSERT_EQ(out[0].cols(), 30u);
    EXPECT_EQ(out[0].realAt(3), x[1]);
    EXPECT_EQ(out[1].numel(), 25u);  // 2 * 4 * 3 + 1 taps
    EXPECT_EQ(callByName("interp", 1, {Value::column(x), Value::scalar(2)})[0].cols(), 1u);
    EXPECT_THAT(errorOf("interp", {Value::row({1, 2, 3, 4, 5, 6, 7, 8}), Value::scalar(2)}),
                ::testing::EndsWith("Length of data sequence must be at least 9"));
    EXPECT_THAT(errorOf("interp", {Value::row(x), Value::scalar(1.5)}),
                ::testing::EndsWith("Resampling rate R must be an integer."));
}

TEST(NumericsByName, Bilinear) {
    const auto out = callByName("bilinear", 2, {Value::row({1}), Value::row({1, 1}), Value::scalar(0.5)});
    EXPECT_NEAR(out[0].realAt(0), 0.5, 1e-15);
    EXPECT_NEAR(out[0].realAt(1), 0.5, 1e-15);
    EXPECT_EQ(out[1].realAt(0), 1.0);
}

TEST(NumericsByName, WhiteGaussianNoise) {
    seedNoise(7);
    const Value r = callByName("wgn", 1, {Value::scalar(2), Value::scalar(3), Value::scalar(0)})[0];
    EXPECT_TRUE(r.isReal());
    EXPECT_EQ(r.rows(), 2u);
    EXPECT_EQ(r.cols(), 3u);
    const Value c = callByName("wgn", 1, {Value::scalar(1), Value::scalar(20000), Value::scalar(-10),
                                          Value::text("complex")})[0];
    ASSERT_TRUE(c.isComplex());
    double power = 0.0;
    for (std::size_t i = 0; i < c.numel(); ++i) power += std::norm(c.complexAt(i));
    EXPECT_NEAR(power / c.numel(), 0.1, 0.005);
    // dBm with a 50 ohm load: 10 dBm = 10 mW -> variance 0.5.
    const Value m = callByName("wgn", 1, {Value::scalar(20000), Value::scalar(1), Value::scalar(10),
                                          Value::scalar(50), Value::text("dBm")})[0];
    double var = 0.0;
    for (std::size_t i = 0; i < m.numel(); ++i) var += m.realAt(i) * m.realAt(i);
    EXPECT_NEAR(var / m.numel(), 0.5, 0.02);

    EXPECT_THAT(errorOf("wgn", {Value::scalar(0), Value::scalar(3), Value::scalar(0)}),
                ::testing::EndsWith("The required dimensions must be real, integer scalars > 1."));
    EXPECT_THAT(errorOf("wgn", {Value::scalar(2), Value::scalar(3), Value::row({1, 2})}),
                ::testing::EndsWith("The power value must be a real scalar."));
}

}  // namespace
}  // namespace tolvane
