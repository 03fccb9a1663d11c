#include "flow/cubic_route.h"
#include "support/param_name.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

constexpr CubicRoute kRibbon{{0, 0}, {34, 0}, {66, 100}, {100, 100}};
constexpr CubicRoute kSkewed{{10, 20}, {40, 20}, {70, 90}, {130, 90}};

struct RouteCase {
    const char* name;
    CubicRoute route;
    double t;
    CubicRoute::Point expected;
};

class CubicRouteTest : public ::testing::TestWithParam<RouteCase> {};

TEST_P(CubicRouteTest, PlacesThePoint) {
    const RouteCase& row = GetParam();
    const CubicRoute::Point point = row.route.point(row.t);
    EXPECT_DOUBLE_EQ(point.x, row.expected.x);
    EXPECT_DOUBLE_EQ(point.y, row.expected.y);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CubicRouteTest,
    ::testing::Values(
        RouteCase{"StartAtZero", kSkewed, 0.0, {10, 20}}, RouteCase{"EndAtOne", kSkewed, 1.0, {130, 90}},
        RouteCase{"PastTheEndClampsToEnd", kSkewed, 1.7, {130, 90}},
        RouteCase{"BeforeTheStartClampsToStart", kSkewed, -0.2, {10, 20}},
        RouteCase{"NaNClampsToStart", kSkewed, std::numeric_limits<double>::quiet_NaN(), {10, 20}},
        RouteCase{"InfinityClampsToEnd", kSkewed, std::numeric_limits<double>::infinity(), {130, 90}},
        RouteCase{"MidpointOfTheRibbon", kRibbon, 0.5, {50, 50}},
        // u = 0.75: 3·0.5625·0.25·34 + 3·0.75·0.0625·66 + 0.015625·100
        RouteCase{"QuarterWeighsAllFourPoints", kRibbon, 0.25, {25.1875, 15.625}}),
    voltrane::testing::ParamName());

} // namespace
} // namespace voltrane
