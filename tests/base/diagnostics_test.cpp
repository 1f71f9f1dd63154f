#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/diagnostics.hpp"

namespace tolvane {
namespace {

TEST(NumberText, WholeNumbersFractionsAndNonFiniteValues) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {600, "600"},
        {-3, "-3"},
        {1e6, "1000000"},
        {4294967298.0, "4294967298"},
        {9007199254740991.0, "9007199254740991"},
        {1e20, "1e+20"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.3333333333333333"},
        {2.5e-7, "2.5e-07"},
        {std::nan(""), "NaN"},
        {std::numeric_limits<double>::infinity(), "Inf"},
        {-std::numeric_limits<double>::infinity(), "-Inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(numberText(c.value), c.text) << c.text;
}

}  // namespace
}  // namespace tolvane
