#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "runtime/library.hpp"

namespace tolvane {
namespace {

// Every data rate's packet runs through the whole traffic chain with the
// turbo encoder, scrambler and channel interleaver switched on.
TEST(CodedChain, EveryDataRateRunsWithAllStagesOn) {
    std::mt19937 gen(12);
    for (int drc = 1; drc <= 12; ++drc) {
        const Value params = callByName("OneX_FwdTrfChnModParams", 1, {Value::scalar(drc)})[0];
        const auto bits = static_cast<std::size_t>(params.field("bits").realAt(0));
        const auto required = static_cast<std::size_t>(params.field("modulationSymbolsRequired").realAt(0));
        std::vector<double> packet(bits);
        for (auto& b : packet) b = static_cast<double>(gen() & 1U);

        const Value out = callByName("OneX_FwdTrfChn", 1,
                                     {Value::row(packet), params, Value::scalar(5), Value::scalar(1), Value::scalar(1),
                                      Value::scalar(1)})[0];
        ASSERT_TRUE(out.isNumeric()) << "DRC " << drc;
        EXPECT_EQ(out.rows(), 1u) << "DRC " << drc;
        EXPECT_EQ(out.cols(), (required + 15) / 16 * 16) << "DRC " << drc;
        bool anyNonZero = false;
        for (std::size_t i = 0; i < out.numel() && !anyNonZero; ++i) anyNonZero = out.complexAt(i) != cplx(0, 0);
        EXPECT_TRUE(anyNonZero) << "DRC " << drc;
    }
}

}  // namespace
}  // namespace tolvane
