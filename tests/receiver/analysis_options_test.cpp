#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "receiver/analysis.hpp"

namespace tolvane {
namespace {

TEST(AnalysisOptions, DefaultsAndEdgesPass) {
    AnalysisOptions o;
    EXPECT_NO_THROW(checkAnalysisOptions(o));
    o.pnOffset = 0;
    o.frameSlots = 128;
    o.firstSlot = 3;
    o.lastSlot = 3;
    o.maxIterations = 16;
    EXPECT_NO_THROW(checkAnalysisOptions(o));
    o.pnOffset = 511;
    o.filter = FilterShape::None;
    EXPECT_NO_THROW(checkAnalysisOptions(o));
}

TEST(AnalysisOptions, RefusalsNameTheOption) {
    struct Case {
        std::function<void(AnalysisOptions&)> set;
        std::string words;
    };
    const Case cases[] = {
        {[](AnalysisOptions& o) { o.pnOffset = 512; }, "PN offset 512"},
        {[](AnalysisOptions& o) { o.pnOffset = -1; }, "PN offset -1"},
        {[](AnalysisOptions& o) { o.filter = static_cast<FilterShape>(5); }, "Filter 5"},
        {[](AnalysisOptions& o) { o.frameSlots = 24; }, "Frame slots 24"},
        {[](AnalysisOptions& o) { o.frameSlots = 144; }, "Frame slots 144"},
        {[](AnalysisOptions& o) { o.carrierOffsetHz = std::numeric_limits<double>::quiet_NaN(); }, "Carrier offset"},
        {[](AnalysisOptions& o) { o.firstSlot = 5; o.lastSlot = 4; }, "Slots 5:4"},
        {[](AnalysisOptions& o) { o.firstSlot = -2; }, "Slots -2:0"},
        {[](AnalysisOptions& o) { o.maxIterations = 0; }, "Iterations 0"},
        {[](AnalysisOptions& o) { o.maxIterations = 17; }, "Iterations 17"},
    };
    for (const Case& c : cases) {
        AnalysisOptions o;
        c.set(o);
        try {
            checkAnalysisOptions(o);
            ADD_FAILURE() << c.words << ": accepted";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.words, 0), 0u) << e.what();
        }
    }
}

}  // namespace
}  // namespace tolvane
