#include "flow/cubic_route.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

TEST(CubicRouteTest, PlacesThePointWithTClampedToTheRoute) {
    constexpr CubicRoute kRibbon{{0, 0}, {34, 0}, {66, 100}, {100, 100}};
    constexpr CubicRoute kSkewed{{10, 20}, {40, 20}, {70, 90}, {130, 90}};
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::tuple<CubicRoute, double, CubicRoute::Point> rows[] = {
        {kSkewed, 0.0, {10, 20}},
        {kSkewed, 1.0, {130, 90}},
        {kSkewed, 1.7, {130, 90}},
        {kSkewed, -0.2, {10, 20}},
        {kSkewed, kNaN, {10, 20}},
        {kSkewed, kInf, {130, 90}},
        {kRibbon, 0.5, {50, 50}},
        {kSkewed, 0.5, {58.75, 55}}, // weights 1/8, 3/8, 3/8, 1/8
        // u = 0.75: 3·0.5625·0.25·34 + 3·0.75·0.0625·66 + 0.015625·100
        {kRibbon, 0.25, {25.1875, 15.625}},
    };
    for (const auto& [route, t, expected] : rows) {
        const CubicRoute::Point point = route.point(t);
        EXPECT_DOUBLE_EQ(point.x, expected.x) << t;
        EXPECT_DOUBLE_EQ(point.y, expected.y) << t;
    }
}

} // namespace
} // namespace voltrane
