#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "onex/scrambler.hpp"
#include "runtime/library.hpp"
#include "../support/signal_checks.hpp"

namespace tolvane {
namespace {

using testing_support::randomBits;

Value recordWithDrc(double drc) {
    Record r;
    r.set("drcValue", Value::scalar(drc));
    r.set("bits", Value::scalar(1024));
    return Value::record(std::move(r));
}

TEST(Scrambler, InitialStateCarriesMacIndexAndDrc) {
    // On zero input the output is the scrambling sequence itself.
    const auto seq = fwdScrambler(std::vector<double>(19, 0.0), 1, 5);
    EXPECT_EQ(seq, (std::vector<double>{1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1, 0, 0}));

    const auto high = fwdScrambler(std::vector<double>(17, 0.0), 12, 63);
    EXPECT_EQ(std::vector<double>(high.begin() + 7, high.end()), (std::vector<double>{1, 1, 1, 1, 1, 1, 1, 1, 0, 0}));
}

TEST(Scrambler, SequenceFollowsTheGeneratorPolynomial) {
    // s(k + 17) = s(k) XOR s(k + 3); h(D) = D^17 + D^14 + 1 is primitive, so
    // the sequence has the full period 2^17 - 1 (a prime: no shorter period).
    const std::size_t period = (1u << 17) - 1;
    const auto s = fwdScrambler(std::vector<double>(period + 40, 0.0), 9, 37);
    for (std::size_t k = 0; k + 17 < 200; ++k) ASSERT_EQ(s[k + 17], static_cast<double>(s[k] != s[k + 3])) << k;
    for (std::size_t k = 0; k < 40; ++k) ASSERT_EQ(s[k + period], s[k]) << k;
}

TEST(Scrambler, ScramblingTwiceRestoresTheInput) {
    const auto bits = randomBits(5120, 1);
    for (int mac : {0, 5, 63})
        for (int drc : {1, 7, 12}) EXPECT_EQ(fwdScrambler(fwdScrambler(bits, drc, mac), drc, mac), bits);
}

TEST(ScramblerBinding, ReadsAnyShapeInLinearOrderAndOnlyTheDrcField) {
    // A 2 x 10 zero matrix: the row of 20 sequence bits comes back.
    const auto out = callByName("OneX_FwdScrambler", 1,
                                {Value::zeros(2, 10), recordWithDrc(1), Value::scalar(5)})[0];
    const auto expected = fwdScrambler(std::vector<double>(20, 0.0), 1, 5);
    EXPECT_EQ(out, Value::row(expected));

    Record noDrc;
    noDrc.set("bits", Value::scalar(1024));
    try {
        callByName("OneX_FwdScrambler", 1, {Value::zeros(1, 4), Value::record(noDrc), Value::scalar(5)});
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("drcValue"), std::string::npos) << e.what();
    }
    EXPECT_THROW(callByName("OneX_FwdScrambler", 1, {Value::zeros(1, 4), recordWithDrc(1), Value::scalar(-1)}),
                 Error);
}

TEST(ScramblerBinding, EmptyInputLeavesTheOutputUnassigned) {
    std::vector<std::string> warnings;
    const WarningSink previous = setWarningSink([&](const std::string& w) { warnings.push_back(w); });
    const auto out = callByName("OneX_FwdScrambler", 1, {Value::empty(), recordWithDrc(1), Value::scalar(5)});
    setWarningSink(previous);
    EXPECT_FALSE(out[0].isSet());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("output"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("OneX_FwdScrambler"), std::string::npos) << warnings[0];
}

}  // namespace
}  // namespace tolvane
