#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "numerics/noise.hpp"
#include "onex/pilot_idle.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

TEST(Pilot, NinetySixOnes) {
    EXPECT_EQ(fwdPilot(), std::vector<double>(96, 1.0));
    EXPECT_EQ(callByName("OneX_FwdPilot", 1, {}).at(0), Value::row(std::vector<double>(96, 1.0)));
}

TEST(IdleSlot, InactiveGivesZerosWhateverTheGain) {
    for (const Value& gain : {Value::scalar(0), Value::scalar(30), Value::row({1, 2}), Value::text("x")}) {
        const Value out = callByName("OneX_FwdIdleSlot", 1, {Value::scalar(0), gain, Value::scalar(256)}).at(0);
        EXPECT_EQ(out, Value::zeros(1, 256));
    }
    // Inactive does not read the gain at all.
    EXPECT_EQ(callByName("OneX_FwdIdleSlot", 1, {Value::empty(), Value(), Value::scalar(3)}).at(0),
              Value::zeros(1, 3));
}

TEST(IdleSlot, NoisePowerSplitsEquallyBetweenBranches) {
    seedNoise(12345);
    const auto noise = fwdIdleSlot(true, 0.0, 200000);
    ASSERT_EQ(noise.size(), 200000u);
    double pi = 0, pq = 0;
    for (const auto& z : noise) {
        pi += z.real() * z.real();
        pq += z.imag() * z.imag();
    }
    pi /= noise.size();
    pq /= noise.size();
    EXPECT_NEAR(pi + pq, 1.0, 0.01);
    EXPECT_NEAR(pi, 0.5, 0.01);
    EXPECT_NEAR(pq, 0.5, 0.01);

    // -10 dB is a tenth of that power; successive calls give fresh noise.
    const auto quiet = fwdIdleSlot(true, -10.0, 200000);
    double p = 0;
    for (const auto& z : quiet) p += std::norm(z);
    EXPECT_NEAR(p / quiet.size(), 0.1, 0.002);
    EXPECT_NE(fwdIdleSlot(true, 0.0, 16), fwdIdleSlot(true, 0.0, 16));
}

TEST(IdleSlot, NoiseArgumentMessages) {
    const std::string dims = "The required dimensions must be real, integer scalars > 1.";
    const std::string power = "The power value must be a real scalar.";
    struct Case {
        Value gain, chips;
        std::string message;
    } cases[] = {
        {Value::scalar(0), Value::scalar(2.5), dims},
        {Value::scalar(0), Value::scalar(0), dims},
        {Value::scalar(0), Value::row({2, 3}), dims},
        {Value::scalar(0), Value::complexScalar({4, 1}), dims},
        {Value::row({1, 2}), Value::scalar(16), power},
        {Value::complexScalar({1, 1}), Value::scalar(16), power},
        {Value::row({1, 2}), Value::scalar(-1), dims},  // dimensions are checked first
    };
    for (const Case& c : cases) {
        try {
            callByName("OneX_FwdIdleSlot", 1, {Value::scalar(1), c.gain, c.chips});
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const Error& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(c.message), std::string::npos) << text;
            EXPECT_NE(text.find("OneX_FwdIdleSlot"), std::string::npos) << text;
        }
    }
}

}  // namespace
}  // namespace tolvane
