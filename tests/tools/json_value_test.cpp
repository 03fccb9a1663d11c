#include "json_value.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane::probe {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(JsonValueTest, WritesTheShortestDoubleThatReadsBack) {
    for (const auto& [value, text] : {std::pair{0.1, "0.1"},
                                      {0.1 + 0.2, "0.30000000000000004"},
                                      {9.0, "9"},
                                      {-0.0, "-0"},
                                      {1e300, "1e+300"},
                                      {kNaN, "nan"},
                                      {kInf, "inf"},
                                      {-kInf, "-inf"}}) {
        EXPECT_EQ(shortestDouble(value), text);
    }
}

TEST(JsonValueTest, KeepsMemberOrderQuotesNonFiniteNumbersAndEscapesControls) {
    JsonValue object = JsonValue::object();
    object.add("z", 1).add("a", kNaN).add("m", std::optional<double>());
    object.add("t", JsonValue(std::string("电池\t\"q\"\\\x01")));
    JsonValue array = JsonValue::array();
    array.push(true).push(std::move(object)).push(std::uint64_t{18446744073709551615ULL});
    EXPECT_EQ(array.dump(),
              R"([true,{"z":1,"a":"nan","m":null,"t":"电池\t\"q\"\\\u0001"},18446744073709551615])");
}

} // namespace
} // namespace voltrane::probe
