#include "support/param_name.h"
#include "ui/flow/flow_texts.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct WattsCase {
    const char* name;
    std::optional<double> watts;
    const char* expected;
};

class FlowWattsTextTest : public ::testing::TestWithParam<WattsCase> {};

TEST_P(FlowWattsTextTest, FormatsTheMagnitude) {
    EXPECT_EQ(flowWattsText(GetParam().watts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, FlowWattsTextTest,
                         ::testing::Values(WattsCase{"OneDecimal", 12.34, "12.3 W"},
                                           WattsCase{"NegativeDropsTheSign", -3.4, "3.4 W"},
                                           WattsCase{"TinyNegativeShowsNoSign", -0.04, "0.0 W"},
                                           WattsCase{"Absent", {}, "\u2014 W"},
                                           WattsCase{"NaN", kNaN, "\u2014 W"},
                                           WattsCase{"MinusInfinity", -kInf, "\u2014 W"}),
                         voltrane::testing::ParamName());

struct DetailCase {
    const char* name;
    std::optional<double> watts;
    std::optional<double> sourceWatts;
    const char* expected;
};

class DestinationDetailTextTest : public ::testing::TestWithParam<DetailCase> {};

TEST_P(DestinationDetailTextTest, PrefixesTheShare) {
    SankeyDestination destination;
    destination.id = SankeyDestination::ID::cpu;
    destination.watts = GetParam().watts;
    destination.detail = "估算";
    EXPECT_EQ(destinationDetailText(destination, GetParam().sourceWatts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DestinationDetailTextTest,
                         ::testing::Values(DetailCase{"Share", 3.7, 10.0, "37% · 估算"},
                                           DetailCase{"UnderAWatt", 0.4, 0.8, "50% · 估算"},
                                           DetailCase{"CappedAtAHundred", 5.0, 4.0, "100% · 估算"},
                                           DetailCase{"SourceZero", 5.0, 0.0, "估算"},
                                           DetailCase{"SourceAbsent", 5.0, {}, "估算"},
                                           DetailCase{"WattsZero", 0.0, 10.0, "估算"},
                                           DetailCase{"InfiniteSourceGivesZero", 5.0, kInf, "0% · 估算"},
                                           // NaN passes the presence tests; the share cannot be formatted.
                                           DetailCase{"NaNWattsShowDash", kNaN, 10.0, "\u2014% · 估算"}),
                         voltrane::testing::ParamName());

} // namespace
} // namespace voltrane
