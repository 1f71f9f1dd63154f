#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
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
        Modulation type;
        std::vector<double> bits;
        cplx point;
    } cases[] = {
        {Modulation::Qpsk, {0, 0}, {1, 1}},      {Modulation::Qpsk, {0, 1}, {1, -1}},     {Modulation::Qpsk, {1, 0}, {-1, 1}},
        {Modulation::Qpsk, {1, 1}, {-1, -1}},    {Modulation::Psk8, {0, 0, 0}, {C, S}},   {Modulation::Psk8, {0, 0, 1}, {C, -S}},
        {Modulation::Psk8, {0, 1, 0}, {-C, S}},  {Modulation::Psk8, {0, 1, 1}, {-C, -S}}, {Modulation::Psk8, {1, 0, 0}, {S, C}},
        {Modulation::Psk8, {1, 0, 1}, {S, -C}},  {Modulation::Psk8, {1, 1, 0}, {-S, C}},  {Modulation::Psk8, {1, 1, 1}, {-S, -C}},
        {Modulation::Qam16, {0, 0, 0, 0}, {B, B}},   {Modulation::Qam16, {1, 1, 1, 1}, {-A, -A}},
        {Modulation::Qam16, {0, 1, 1, 0}, {-B, A}},  {Modulation::Qam16, {1, 0, 0, 1}, {A, -B}},
    };
    for (const Case& c : cases) {
        // Exact: the stated double values, not merely close to them.
        EXPECT_EQ(iqMap(c.bits.data(), c.bits.size(), c.type), c.point) << static_cast<int>(c.type);
    }
    const double one[] = {0};
    EXPECT_THROW(iqMap(one, 1, Modulation::Qpsk), Error);
    EXPECT_EQ(bitsPerSymbol(Modulation::Qpsk), 2);
    EXPECT_EQ(bitsPerSymbol(Modulation::Psk8), 3);
    EXPECT_EQ(bitsPerSymbol(Modulation::Qam16), 4);
}

TEST(Modulator, PadsTheLastGroupWithZeros) {
    const std::vector<double> five = {1, 0, 0, 1, 1};
    EXPECT_EQ(fwdTrfModulator(five, Modulation::Qpsk), (std::vector<cplx>{{-1, 1}, {1, -1}, {-1, 1}}));
    EXPECT_EQ(fwdTrfModulator(std::vector<double>(3073, 1.0), Modulation::Psk8).size(), 1025u);
    EXPECT_EQ(fwdTrfModulator(std::vector<double>(3073, 1.0), Modulation::Psk8).back(), cplx(S, C));  // bits 1 0 0
    EXPECT_EQ(fwdTrfModulator({1, 1, 1, 1, 1}, Modulation::Qam16).back(), cplx(A, B));  // bits 1 0 0 0
    EXPECT_TRUE(fwdTrfModulator({}, Modulation::Qam16).empty());
    EXPECT_EQ(signalMap({0, 1, 1, 0}), (std::vector<double>{1, -1, -1, 1}));
}

TEST(ModulatorByName, FormatsShapesAndUnsupportedValues) {
    EXPECT_EQ(callByName("OneX_FwdTrfModulator", 1, {Value::row({0, 0, 0}), Value::scalar(2)}).at(0),
              Value::complexRow({{C, S}}));
    EXPECT_EQ(callByName("OneX_FwdTrfModulator", 1, {Value::row({}), Value::scalar(1)}).at(0).numel(), 0u);
    // Only 1, 2 and 3 are formats; the refusal names the input and the formats.
    for (double format : {0.0, 1.5, 4.0, std::nan("")}) {
        try {
            callByName("OneX_FwdTrfModulator", 1, {Value::row({0, 0}), Value::scalar(format)});
            ADD_FAILURE() << "no error for " << format;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("\"format\""), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("1 (QPSK), 2 (8PSK) or 3 (16QAM)"), std::string::npos) << e.what();
        }
    }
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
