// Reading typed numbers without evaluating anything, and the clamps over
// the list that the windows apply.
#include <gtest/gtest.h>

#include <cmath>

#include "app/number_entry.hpp"

namespace tolvane::app {
namespace {

struct EntryCase {
    const char* text;
    std::vector<double> numbers;  // what readNumberList gives
    bool isList;                  // false: readNumberEntry says the text is no number list
};

TEST(NumberEntry, ReadsPlainDecimalListsOnly) {
    const EntryCase cases[] = {
        {"12.9", {12.9}, true},
        {"  -3 ", {-3}, true},
        {"+4", {4}, true},
        {".5", {0.5}, true},
        {"4e3", {4000}, true},
        {"1.2E-3", {0.0012}, true},
        {"1 2 3", {1, 2, 3}, true},
        {"1,2;3", {1, 2, 3}, true},
        {"[1 2 3]", {1, 2, 3}, true},
        {" [ -1, 2 ] ", {-1, 2}, true},
        {"-Inf", {-HUGE_VAL}, true},
        {"", {}, true},
        {"   ", {}, true},
        {"[]", {}, true},
        {"twelve", {}, false},
        {"1+1", {}, false},
        {"0x10", {}, false},
        {"4,", {}, false},
        {",4", {}, false},
        {"1,,2", {}, false},
        {"[1 2", {}, false},
        {"1 [2]", {}, false},
        {"e5", {}, false},
        {"5e", {}, false},
        {"1.2.3", {}, false},
        {"pi", {}, false},
        {"exit", {}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readNumberList(c.text), c.numbers) << '"' << c.text << '"';
        // An entry tells a blank field (today's clamp applies) from a typo (the stored value stays).
        const auto entry = readNumberEntry(c.text);
        EXPECT_EQ(entry.has_value(), c.isList) << '"' << c.text << '"';
        if (entry) {
            EXPECT_EQ(*entry, c.numbers) << '"' << c.text << '"';
        }
    }
    const auto nan = readNumberList("NaN");
    ASSERT_EQ(nan.size(), 1u);
    EXPECT_TRUE(std::isnan(nan[0]));
    EXPECT_TRUE(readNumberList(std::string(kMaxNumberEntryBytes + 1, '1')).empty());
    EXPECT_FALSE(readNumberEntry(std::string(kMaxNumberEntryBytes + 1, '1')));
}

TEST(NumberEntry, ClampsWorkOverTheWholeList) {
    // Lower bound joins the list: empty -> the lower bound; several -> the largest, clamped.
    EXPECT_EQ(clampFromBelow({}, 0, 511), 0);
    EXPECT_EQ(clampFromBelow({3, 700, 2}, 0, 511), 511);
    EXPECT_EQ(clampFromBelow({3, 7, 2}, 0, 511), 7);
    EXPECT_EQ(clampFromBelow(truncateEach({12.9}), 0, 511), 12);
    EXPECT_EQ(clampFromBelow(truncateEach({-0.5}), 0, 511), 0);
    EXPECT_EQ(clampFromBelow({std::nan("")}, 2, 30), 2);
    // Upper bound joins the list: empty -> the upper bound; several -> the smallest, raised.
    EXPECT_EQ(clampFromAbove({}, -136, 20), 20);
    EXPECT_EQ(clampFromAbove(roundEach({-10.6}), -136, 20), -11);
    EXPECT_EQ(clampFromAbove(roundEach({12.5}), 0, 40), 13);
    EXPECT_EQ(clampFromAbove({-200}, -136, 20), -136);
    EXPECT_EQ(readSingleNumber("3"), 3);
    EXPECT_FALSE(readSingleNumber("3 4"));
    EXPECT_FALSE(readSingleNumber("NaN"));
}

}  // namespace
}  // namespace tolvane::app
