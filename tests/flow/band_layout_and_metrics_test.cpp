#include "flow/proportional_band_layout.h"
#include "flow/sankey_metrics.h"

#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <vector>

namespace voltrane {
namespace {

using Watts = std::vector<std::optional<double>>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

/// The figures, blank-separated, with six significant digits.
std::string join(const std::vector<double>& values) {
    std::ostringstream text;
    for (const double value : values) {
        text << (text.tellp() > 0 ? " " : "") << value;
    }
    return text.str();
}

TEST(BandLayoutTest, BandsAreProportionalToTheLargerOfSourceAndFlows) {
    const std::tuple<Watts, std::optional<double>, double, const char*> rows[] = {
        {{6.0, 2.0}, 16.0, 100, "37.5 12.5 of 16"},
        {{6.0, 2.0}, std::nullopt, 100, "75 25 of 8"},
        {{6.0, 2.0}, 4.0, 100, "75 25 of 8"},        // the flows exceed the source
        {{6.0, 2.0}, -16.0, 100, "37.5 12.5 of 16"}, // the source by its magnitude
        {{6.0, 2.0}, kInf, 100, "75 25 of 8"},
        {{std::nullopt, 3.0, -2.0, kInf, kNaN, 1.0, 0.0}, {}, 40, "0 30 0 0 0 10 0 of 4"},
        {{0.0, 0.0}, std::nullopt, 100, "0 0 of 0"},
        {{0.5, 0.25}, std::nullopt, 1, "0.666667 0.333333 of 0.75"}, // below one watt, within one point
        {{6.0, 2.0}, 16.0, 0, "0 0 of 16"},
        {{6.0}, 16.0, kNaN, "0 of 16"},
        {{}, 10.0, 100, " of 10"},
    };
    for (const auto& [watts, source, total, expected] : rows) {
        const ProportionalBandLayout layout = ProportionalBandLayout::make(watts, source, total);
        EXPECT_EQ(join(layout.widths) + " of " + join({layout.referenceWatts}), expected);
    }
}

std::vector<SankeyDestination> destinations(std::size_t count) {
    std::vector<SankeyDestination> result(count);
    for (std::size_t i = 0; i < count; ++i) {
        result[i].id = static_cast<SankeyDestination::ID>(i);
    }
    return result;
}

TEST(MetricsTest, PicksTheCompactConstantsBelow570PointsWide) {
    for (const auto& [width, expected] :
         {std::pair{569.99, "4 108 148 | 30 30"}, {570.0, "5 122 184 | 32 32"}, {0.0, "4 108 148 | 30 30"}}) {
        // Two zero-watt rows: both rows sit at their minimum height.
        const SankeyMetrics metrics({width, 400}, destinations(2), {0.0, 0.0}, std::nullopt);
        EXPECT_EQ(metrics.isCompact(), width < 570);
        EXPECT_EQ(join({metrics.rowSpacing, metrics.sourceWidth, metrics.destinationWidth}) + " | " +
                      join(metrics.rowHeights),
                  expected);
    }
}

TEST(MetricsTest, PlacesRowsAndSource) {
    const std::vector<double> eight(8, 1.0);
    const std::tuple<SankeyMetrics::Size, std::vector<double>, std::optional<double>, std::string> rows[] = {
        // Budget 400 − 16 − 10 − 64 = 310 is lowered to 154; bands 40, 20, 10 of a 154 W source.
        // Rows 48, 32 (not 28), 32 fill 122 with the gaps, centred from (400 − 122) / 2 = 139.
        {{600, 400}, {40.0, 20.0, 10.0}, 154.0, "40 20 10 | 48 32 32 | 163 208 245 | 168"},
        // Budget 100 − 16 − 35 − 224 < 42 is raised to 42; eight 32-point rows (256) shrink
        // together to 57 = 100 − 8 − 35; the source card is capped at 100 − 18.
        {{600, 100},
         eight,
         {},
         join(std::vector(8, 5.25)) + " | " + join(std::vector(8, 7.125)) +
             " | 7.5625 19.6875 31.8125 43.9375 56.0625 68.1875 80.3125 92.4375 | 82"},
        // Eight minimum-height rows make 291 points of content, and 0.82 × 291 exceeds 168.
        {{600, 600},
         eight,
         {},
         join(std::vector(8, 19.25)) + " | " + join(std::vector(8, 32.0)) +
             " | 170.5 207.5 244.5 281.5 318.5 355.5 392.5 429.5 | 238.62"},
        {{600, 600}, {100.0, 100.0}, 200.0, "77 77 | 85 85 | 255 345 | 168"}, // the capped budget is shared
        {{600, 200}, {1.0, 1.0}, {}, "73.5 73.5 | 81.5 81.5 | 56.75 143.25 | 168"}, // 200 − 16 − 5 − 32
        {{400, 200}, {5.0}, 10.0, "77 | 85 | 100 | 168"},
        {{600, 120}, {}, 10.0, " |  |  | 102"},
        {{600, 900}, {}, 10.0, " |  |  | 168"},
        {{600, 10}, {1.0, 1.0}, {}, "21 21 | 0.5 0.5 | 2.25 7.75 | -8"}, // one point stays available
    };
    for (const auto& [size, watts, source, expected] : rows) {
        const SankeyMetrics metrics(size, destinations(watts.size()), {watts.begin(), watts.end()}, source);
        EXPECT_EQ(metrics.size, size);
        EXPECT_EQ(metrics.rowCount, static_cast<int>(watts.size()));
        EXPECT_EQ(join(metrics.bandWidths) + " | " + join(metrics.rowHeights) + " | " +
                      join(metrics.rowCenters) + " | " + join({metrics.sourceHeight}),
                  expected);
    }
    // Content taller than the card's room: the card grows to 0.82 of the room only.
    EXPECT_DOUBLE_EQ(SankeyMetrics({600, 250}, destinations(8), Watts(8, 1.0), {}).sourceHeight, 0.82 * 232);
    // The row lists follow the layout watts, the row count the destinations.
    const SankeyMetrics metrics({600, 400}, destinations(3), {2.0, 1.0}, {});
    EXPECT_EQ(metrics.rowCount, 3);
    EXPECT_EQ(metrics.rowCenters.size(), 2u);
}

} // namespace
} // namespace voltrane
