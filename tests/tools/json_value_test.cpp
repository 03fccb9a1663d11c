#include "json_value.h"
#include "support/param_name.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane::probe {
namespace {

struct DoubleCase {
    const char* name;
    double value;
    const char* expected;
};

class ShortestDoubleTest : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(ShortestDoubleTest, ReadsBackAsTheSameDouble) {
    EXPECT_EQ(shortestDouble(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ShortestDoubleTest,
    ::testing::Values(DoubleCase{"Tenth", 0.1, "0.1"},
                      DoubleCase{"SumIsNotATenth", 0.1 + 0.2, "0.30000000000000004"},
                      DoubleCase{"Whole", 9.0, "9"}, DoubleCase{"NegativeZero", -0.0, "-0"},
                      DoubleCase{"Huge", 1e300, "1e+300"},
                      DoubleCase{"NaN", std::numeric_limits<double>::quiet_NaN(), "nan"},
                      DoubleCase{"Infinity", std::numeric_limits<double>::infinity(), "inf"},
                      DoubleCase{"MinusInfinity", -std::numeric_limits<double>::infinity(), "-inf"}),
    voltrane::testing::ParamName());

TEST(JsonValueTest, KeepsMemberOrderAndQuotesNonFiniteNumbers) {
    JsonValue object = JsonValue::object();
    object.add("z", 1).add("a", std::numeric_limits<double>::quiet_NaN()).add("m", std::optional<double>());
    EXPECT_EQ(object.dump(), R"({"z":1,"a":"nan","m":null})");
}

TEST(JsonValueTest, EscapesControlCharactersAndKeepsUtf8) {
    const JsonValue text(std::string("电池\t\"q\"\\\x01"));
    EXPECT_EQ(text.dump(), "\"电池\\t\\\"q\\\"\\\\\\u0001\"");
}

TEST(JsonValueTest, NestsArraysAndObjects) {
    JsonValue array = JsonValue::array();
    array.push(true).push(JsonValue::object()).push(std::uint64_t{18446744073709551615ULL});
    EXPECT_EQ(array.dump(), R"([true,{},18446744073709551615])");
}

} // namespace
} // namespace voltrane::probe
