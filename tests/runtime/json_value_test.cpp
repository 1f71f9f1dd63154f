#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/diagnostics.hpp"
#include "runtime/json_value.hpp"
#include "value_compare.hpp"

namespace tolvane {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

using testing_support::rec;
using testing_support::sameValue;

TEST(JsonValue, ReadsEachJsonFormAsItsValue) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* json;
        Value expected;
    } cases[] = {
        {"5", Value::scalar(5)},
        {"-2.5", Value::scalar(-2.5)},
        {"true", Value::scalar(1)},
        {"[1,2,3]", Value::row({1, 2, 3})},
        {"[[1,2,3],[4,5,6]]", Value::matrix(2, 3, {1, 4, 2, 5, 3, 6})},
        {"[[1],[2]]", Value::column({1, 2})},
        {"[]", Value::empty()},
        {"\"abc\"", Value::text("abc")},
        {"\"\"", Value::text("")},
        {"null", Value{}},
        {"\"NaN\"", Value::scalar(nan)},
        {"[1,\"Inf\",\"-Inf\"]", Value::row({1, inf, -inf})},
        {"{\"re\":1,\"im\":-2}", Value::complexScalar({1, -2})},
        {"{\"re\":[1,2],\"im\":[0,0]}", Value::complexRow({{1, 0}, {2, 0}})},
        {"{\"re\":[[1,2],[3,4]],\"im\":[[5,6],[7,\"NaN\"]]}",
         Value::complexMatrix(2, 2, {{1, 5}, {3, 7}, {2, 6}, {4, nan}})},
        {"{\"re\":[],\"im\":[]}", Value::complexMatrix(0, 0, {})},
        {"{\"z\":1,\"a\":{\"b\":\"x\",\"c\":[1,2]}}",
         rec({{"z", Value::scalar(1)}, {"a", rec({{"b", Value::text("x")}, {"c", Value::row({1, 2})}})}})},
        // An object with re and im that are not both numeric is a record.
        {"{\"re\":\"a\",\"im\":1}", rec({{"re", Value::text("a")}, {"im", Value::scalar(1)}})},
        {"{\"re\":1,\"im\":2,\"x\":3}",
         rec({{"re", Value::scalar(1)}, {"im", Value::scalar(2)}, {"x", Value::scalar(3)}})},
        {"[\"a\",{\"b\":1},null]", Value::cell({Value::text("a"), rec({{"b", Value::scalar(1)}}), Value{}})},
        {"[[1,2],\"x\"]", Value::cell({Value::row({1, 2}), Value::text("x")})},
        {"[[\"a\"],[1]]", Value::cell({Value::cell({Value::text("a")}), Value::row({1})})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_TRUE(sameValue(parseJsonValue(c.json), c.expected));
    }
}

TEST(JsonValue, WritesCompactTextWithExactNumbers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        Value value;
        const char* json;
    } cases[] = {
        {Value::scalar(3), "3"},
        {Value::row({1, 1, 0}), "[1,1,0]"},
        {Value::column({1, 2}), "[[1],[2]]"},
        {Value::matrix(2, 2, {1, 3, 2, 4}), "[[1,2],[3,4]]"},
        {Value::zeros(0, 5), "[]"},
        {Value::scalar(0.1), "0.1"},
        {Value::scalar(-0.0), "-0.0"},
        {Value::scalar(1e300), "1e+300"},
        {Value::scalar(9007199254740992.0), "9.007199254740992e+15"},
        {Value::row({nan, inf, -inf}), "[\"NaN\",\"Inf\",\"-Inf\"]"},
        {Value::complexRow({{1, 0}, {0.5, -2}}), "{\"re\":[1,0.5],\"im\":[0,-2]}"},
        {Value::text("a\"b"), "\"a\\\"b\""},
        {Value{}, "null"},
        {Value::handle(7), "7"},
        {Value::cellMatrix(2, 1, {Value::text("a"), Value::scalar(1)}), "[[\"a\"],[1]]"},
        {rec({{"z", Value::scalar(1)}, {"a", Value{}}}), "{\"z\":1,\"a\":null}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(valueToJsonText(c.value), c.json);
    }
}

TEST(JsonValue, ValuesSurviveTheRoundTrip) {
    const Value values[] = {
        Value::row({1.0 / 3.0, -1e-310, 6.02214076e23, std::nextafter(1.0, 2.0)}),
        Value::matrix(3, 2, {1, 2, 3, 4, 5, std::numeric_limits<double>::quiet_NaN()}),
        Value::complexMatrix(2, 1, {{0.1, 0.2}, {-inf, 0}}),
        Value::text("slot \xc2\xb5s"),
        rec({{"slot", rec({{"DATAslotMod", Value::column({1, 2, 3})}, {"name", Value::text("x")}})},
             {"gain", Value::complexScalar({1, 0})},
             {"unset", Value{}},
             {"list", Value::cell({Value::text("a"), Value::row({1, 2})})}}),
    };
    for (const auto& v : values) {
        const std::string text = valueToJsonText(v);
        SCOPED_TRACE(text);
        EXPECT_TRUE(sameValue(parseJsonValue(text), v));
    }
}

TEST(JsonValue, FaultsNameTheirPlace) {
    struct Case {
        const char* json;
        const char* fragment;
    } cases[] = {
        {"[[1,2],[3]]", "row 2 has 1 numbers, row 1 has 2"},
        {"{\"a\":[{\"b\":[[1],[2,3]]}]}", ".a[0].b"},
        {"{\"re\":[1,2],\"im\":[1,2,3]}", "\"re\" is 1x2 but \"im\" is 1x3"},
        {"[1,", "Malformed JSON"},
        {"abc", "Malformed JSON"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        try {
            parseJsonValue(c.json);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.fragment), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace tolvane
