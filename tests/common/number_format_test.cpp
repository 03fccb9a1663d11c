#include "common/number_format.h"
#include "support/param_name.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

struct FixedCase {
    const char* name;
    double value;
    int decimals;
    const char* expected;
};

class FormatFixedTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FormatFixedTest, MatchesPrintfOrDash) {
    EXPECT_EQ(formatFixed(GetParam().value, GetParam().decimals), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatFixedTest,
    ::testing::Values(FixedCase{"OneDecimal", 9.87, 1, "9.9"}, FixedCase{"TwoDecimals", 3.8, 2, "3.80"},
                      FixedCase{"NoDecimalsRoundsHalfToEven", 2.5, 0, "2"},
                      FixedCase{"NoDecimalsRoundsUp", 7.6, 0, "8"},
                      FixedCase{"NegativeKeepsSign", -85.4, 0, "-85"},
                      FixedCase{"NegativeZeroKeepsSignLikePrintf", -0.04, 1, "-0.0"},
                      FixedCase{"NaN", std::numeric_limits<double>::quiet_NaN(), 1, "\u2014"},
                      FixedCase{"Infinity", std::numeric_limits<double>::infinity(), 0, "\u2014"},
                      FixedCase{"MinusInfinity", -std::numeric_limits<double>::infinity(), 2, "\u2014"}),
    voltrane::testing::ParamName());

TEST(FormatFixedTest, HugeValuePrintsEveryDigit) {
    const std::string text = formatFixed(1e300, 1);
    EXPECT_EQ(text.size(), 303u); // 301 integer digits, the point and one decimal
    EXPECT_EQ(text.substr(0, 2), "10");
    EXPECT_EQ(text.substr(text.size() - 2), ".0");
}

TEST(FormatFixedTest, UnitFollowsAfterOneBlank) {
    EXPECT_EQ(formatFixed(12.34, 1, "W"), "12.3 W");
    EXPECT_EQ(formatFixed(std::nan(""), 0, "W"), "\u2014 W");
}

} // namespace
} // namespace voltrane
