#include "flow/cubic_route.h"
#include "flow/proportional_band_layout.h"
#include "flow/sankey_metrics.h"
#include "flow/system_energy_allocation.h"

#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <vector>

namespace voltrane {
namespace {

using Watts = std::vector<std::optional<double>>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string join(const std::vector<double>& values) { // blank-separated, six significant digits
    std::ostringstream text;
    for (const double value : values) {
        text << (text.tellp() > 0 ? " " : "") << value;
    }
    return text.str();
}

TEST(AllocationTest, SplitsTheSystemDrawIntoIdentifiedAndOneRemainder) {
    // clang-format off
    const std::tuple<std::optional<double>, Watts, SystemEnergyAllocation> rows[] = {
        {12.0, {3.0, 2.5, {}, 0.0, -1.0, 1.5, kInf, kNaN}, {12.0, 7.0, 5.0, 0.0}}, // unusable ones ignored
        {4.0, {3.0, 2.0}, {4.0, 5.0, 0.0, 1.0}}, {-10.0, {4.0}, {10.0, 4.0, 6.0, 0.0}},
        {{}, {1.0, 2.0}, {{}, 3.0, {}, 0.0}},    {kNaN, {1.0, 2.0}, {{}, 3.0, {}, 0.0}},
        {6.0, {2.0, 4.0}, {6.0, 6.0, 0.0, 0.0}}, {6.0, {5.5}, {6.0, 5.5, 0.5, 0.0}},
        {6.0, {6.000001}, {6.0, 6.000001, 0.0, 6.000001 - 6.0}}}; // no tolerance either way
    // clang-format on
    for (const auto& [system, components, expected] : rows) {
        const SystemEnergyAllocation result = SystemEnergyAllocation::make(system, components);
        EXPECT_EQ(result.systemWatts, expected.systemWatts);
        EXPECT_EQ(result.unattributedWatts.has_value(), expected.unattributedWatts.has_value());
        EXPECT_DOUBLE_EQ(result.identifiedWatts, expected.identifiedWatts);
        EXPECT_DOUBLE_EQ(result.unattributedWatts.value_or(-1), expected.unattributedWatts.value_or(-1));
        EXPECT_DOUBLE_EQ(result.overageWatts, expected.overageWatts);
    }
}

TEST(BandLayoutTest, BandsAreProportionalToTheLargerOfSourceAndFlows) {
    // clang-format off
    const std::tuple<Watts, std::optional<double>, double, const char*> rows[] = {
        {{6.0, 2.0}, 16.0, 100, "37.5 12.5 of 16"}, {{6.0, 2.0}, std::nullopt, 100, "75 25 of 8"},
        {{6.0, 2.0}, 4.0, 100, "75 25 of 8"},       {{6.0, 2.0}, -16.0, 100, "37.5 12.5 of 16"},
        {{6.0, 2.0}, kInf, 100, "75 25 of 8"},      {{6.0, 2.0}, 16.0, 0, "0 0 of 16"},
        {{6.0}, 16.0, kNaN, "0 of 16"},             {{}, 10.0, 100, " of 10"},
        {{0.0, 0.0}, std::nullopt, 100, "0 0 of 0"}, {{0.5, 0.25}, std::nullopt, 1, "0.666667 0.333333 of 0.75"},
        {{std::nullopt, 3.0, -2.0, kInf, kNaN, 1.0, 0.0}, {}, 40, "0 30 0 0 0 10 0 of 4"}};
    // clang-format on
    for (const auto& [watts, source, total, expected] : rows) {
        const ProportionalBandLayout layout = ProportionalBandLayout::make(watts, source, total);
        EXPECT_EQ(join(layout.widths) + " of " + join({layout.referenceWatts}), expected);
    }
}

TEST(MetricsTest, PlacesRowsAndSourceWithTheCompactConstantsBelow570PointsWide) {
    const std::vector<SankeyDestination> destinations(8); // only their number counts
    const auto eight = [](const char* figure) { return join(std::vector(8, std::stod(figure))) + " | "; };
    // Bands | rows | centres | source card, spacing, source and destination widths.
    // clang-format off
    const std::tuple<SankeyMetrics::Size, Watts, std::optional<double>, std::string> rows[] = {
        // Budget 400 − 16 − 10 − 64 lowered to 154; rows 48, 32 (not 28), 32 and gaps centred from 139.
        {{600, 400}, {40.0, 20.0, 10.0}, 154.0, "40 20 10 | 48 32 32 | 163 208 245 | 168 5 122 184"},
        // Budget raised to 42; eight 32-point rows shrink together to 100 − 8 − 35; the card is capped at 100 − 18.
        {{600, 100}, Watts(8, 1.0), {}, eight("5.25") + eight("7.125") +
             "7.5625 19.6875 31.8125 43.9375 56.0625 68.1875 80.3125 92.4375 | 82 5 122 184"},
        // Eight minimum-height rows make 291 points of content, and 0.82 × 291 exceeds 168.
        {{600, 600}, Watts(8, 1.0), {}, eight("19.25") + eight("32") +
             "170.5 207.5 244.5 281.5 318.5 355.5 392.5 429.5 | 238.62 5 122 184"},
        {{600, 600}, {100.0, 100.0}, 200.0, "77 77 | 85 85 | 255 345 | 168 5 122 184"}, // capped budget shared
        {{600, 200}, {1.0, 1.0}, {}, "73.5 73.5 | 81.5 81.5 | 56.75 143.25 | 168 5 122 184"}, // 200 − 16 − 5 − 32
        {{400, 200}, {5.0}, 10.0, "77 | 85 | 100 | 168 4 108 148"},
        {{569.99, 400}, {0.0, 0.0}, {}, "0 0 | 30 30 | 183 217 | 168 4 108 148"}, // zero watts: minimum rows
        {{570, 400}, {0.0, 0.0}, {}, "0 0 | 32 32 | 181.5 218.5 | 168 5 122 184"},
        {{600, 120}, {}, 10.0, " |  |  | 102 5 122 184"},
        {{600, 900}, {}, 10.0, " |  |  | 168 5 122 184"},
        {{600, 10}, {1.0, 1.0}, {}, "21 21 | 0.5 0.5 | 2.25 7.75 | -8 5 122 184"}}; // one point stays available
    // clang-format on
    for (const auto& [size, watts, source, expected] : rows) {
        const SankeyMetrics metrics(size, {destinations.begin(), destinations.begin() + watts.size()}, watts,
                                    source);
        EXPECT_TRUE(metrics.size == size && metrics.isCompact() == (size.width < 570) &&
                    metrics.rowCount == static_cast<int>(watts.size()));
        EXPECT_EQ(join(metrics.bandWidths) + " | " + join(metrics.rowHeights) + " | " +
                      join(metrics.rowCenters) + " | " +
                      join({metrics.sourceHeight, metrics.rowSpacing, metrics.sourceWidth,
                            metrics.destinationWidth}),
                  expected);
    }
    // Content taller than the card's room: the card grows to 0.82 of the room only.
    EXPECT_DOUBLE_EQ(SankeyMetrics({600, 250}, destinations, Watts(8, 1.0), {}).sourceHeight, 0.82 * 232);
}

TEST(CubicRouteTest, PlacesThePointWithTClampedToTheRoute) {
    constexpr CubicRoute kRibbon{{0, 0}, {34, 0}, {66, 100}, {100, 100}};
    constexpr CubicRoute kSkewed{{10, 20}, {40, 20}, {70, 90}, {130, 90}};
    // clang-format off
    const std::tuple<CubicRoute, double, CubicRoute::Point> rows[] = {
        {kSkewed, 0.0, {10, 20}},  {kSkewed, 1.0, {130, 90}}, {kSkewed, 1.7, {130, 90}},
        {kSkewed, -0.2, {10, 20}}, {kSkewed, kNaN, {10, 20}}, {kSkewed, kInf, {130, 90}}, {kRibbon, 0.5, {50, 50}},
        {kSkewed, 0.5, {58.75, 55}},        // weights 1/8, 3/8, 3/8, 1/8
        {kRibbon, 0.25, {25.1875, 15.625}}}; // u = 0.75: 3·0.5625·0.25·34 + 3·0.75·0.0625·66 + 0.015625·100
    // clang-format on
    for (const auto& [route, t, expected] : rows) {
        EXPECT_DOUBLE_EQ(route.point(t).x, expected.x) << t;
        EXPECT_DOUBLE_EQ(route.point(t).y, expected.y) << t;
    }
}

} // namespace
} // namespace voltrane
