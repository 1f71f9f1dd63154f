#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "numerics/diagnostics.hpp"
#include "onex/modulator.hpp"
#include "runtime/library.hpp"

namespace tolvane {
namespace {

using cplx = std::complex<double>;

constexpr double C = 0.9238795325112867;
constexpr double S = 0.3826834323650898;
constexpr double A = 0.31622776601683794;  // 1/sqrt(10)
constexpr double B = 0.9486832980505138;   // 3/sqrt(10)

TEST(IqMap, EveryConstellationPoint) {
    struct Case {
        int type;
        std::vector<double> bits;
        cplx point;
    } cases[] = {
        {MOD_QPSK, {0, 0}, {1, 1}},      {MOD_QPSK, {0, 1}, {1, -1}},     {MOD_QPSK, {1, 0}, {-1, 1}},
        {MOD_QPSK, {1, 1}, {-1, -1}},    {MOD_8PSK, {0, 0, 0}, {C, S}},   {MOD_8PSK, {0, 0, 1}, {C, -S}},
        {MOD_8PSK, {0, 1, 0}, {-C, S}},  {MOD_8PSK, {0, 1, 1}, {-C, -S}}, {MOD_8PSK, {1, 0, 0}, {S, C}},
        {MOD_8PSK, {1, 0, 1}, {S, -C}},  {MOD_8PSK, {1, 1, 0}, {-S, C}},  {MOD_8PSK, {1, 1, 1}, {-S, -C}},
        {MOD_16QAM, {0, 0, 0, 0}, {B, B}},   {MOD_16QAM, {1, 1, 1, 1}, {-A, -A}},
        {MOD_16QAM, {0, 1, 1, 0}, {-B, A}},  {MOD_16QAM, {1, 0, 0, 1}, {A, -B}},
    };
    for (const Case& c : cases) {
        // Exact: the stated double values, not merely close to them.
        EXPECT_EQ(iqMap(c.bits.data(), c.bits.size(), c.type), c.point) << c.type;
    }
    const double one[] = {0};
    EXPECT_THROW(iqMap(one, 1, MOD_QPSK), Error);
    EXPECT_THROW(bitsPerSymbol(4), Error);
}

TEST(Modulator, PadsTheLastGroupWithZeros) {
    const std::vector<double> five = {1, 0, 0, 1, 1};
    EXPECT_EQ(fwdTrfModulator(five, MOD_QPSK), (std::vector<cplx>{{-1, 1}, {1, -1}, {-1, 1}}));
    EXPECT_EQ(fwdTrfModulator(std::vector<double>(3073, 1.0), MOD_8PSK).size(), 1025u);
    EXPECT_EQ(fwdTrfModulator(std::vector<double>(3073, 1.0), MOD_8PSK).back(), cplx(S, C));  // bits 1 0 0
    EXPECT_EQ(fwdTrfModulator({1, 1, 1, 1, 1}, MOD_16QAM).back(), cplx(A, B));  // bits 1 0 0 0
    EXPECT_TRUE(fwdTrfModulator({}, MOD_16QAM).empty());
    EXPECT_EQ(signalMap({0, 1, 1, 0}), (std::vector<double>{1, -1, -1, 1}));
}

TEST(ModulatorByName, FormatsShapesAndUnsupportedValues) {
    EXPECT_EQ(callByName("OneX_FwdTrfModulator", 1, {Value::row({0, 0, 0}), Value::scalar(2)}).at(0),
              Value::complexRow({{C, S}}));
    EXPECT_EQ(callByName("OneX_FwdTrfModulator", 1, {Value::row({}), Value::scalar(1)}).at(0).numel(), 0u);
    EXPECT_THROW(callByName("OneX_FwdTrfModulator", 1, {Value::row({0, 0}), Value::scalar(1.5)}), Error);
    EXPECT_EQ(callByName("OneX_IQmap", 1, {Value::row({1, 0, 0, 7}), Value::scalar(2)}).at(0),
              Value::complexScalar({S, C}));

    std::vector<std::string> warnings;
    WarningSink previous = setWarningSink([&](const std::string& w) { warnings.push_back(w); });
    const Value none = callByName("OneX_IQmap", 1, {Value::row({0, 0}), Value::scalar(4)}).at(0);
    setWarningSink(previous);
    EXPECT_FALSE(none.isSet());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("iqvalue"), std::string::npos);

    // The antipodal map keeps the shape; its second input is ignored.
    const Value m = Value::matrix(2, 2, {0, 1, 1, 0});
    EXPECT_EQ(callByName("OneX_SignalMap", 1, {m, Value::text("anything")}).at(0),
              Value::matrix(2, 2, {1, -1, -1, 1}));
    EXPECT_EQ(callByName("OneX_SignalMap", 1, {Value::column({1, 0})}).at(0), Value::column({-1, 1}));
}

}  // namespace
}  // namespace tolvane
