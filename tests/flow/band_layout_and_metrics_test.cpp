#include "flow/proportional_band_layout.h"
#include "flow/sankey_metrics.h"
#include "support/param_name.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace voltrane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void expectAll(const std::vector<double>& actual, const std::vector<double>& expected, const char* what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-9) << what << " [" << i << "]";
    }
}

// ---- ProportionalBandLayout ----

struct BandCase {
    const char* name;
    std::vector<std::optional<double>> watts;
    std::optional<double> sourceWatts;
    double totalWidth;
    std::vector<double> widths;
    double referenceWatts;
};

BandCase band(const char* name, std::vector<std::optional<double>> watts, std::optional<double> source,
              double total, std::vector<double> widths, double reference) {
    return {name, std::move(watts), source, total, std::move(widths), reference};
}

class BandLayoutTest : public ::testing::TestWithParam<BandCase> {};

TEST_P(BandLayoutTest, ProportionalToTheSource) {
    const BandCase& row = GetParam();
    const ProportionalBandLayout layout =
        ProportionalBandLayout::make(row.watts, row.sourceWatts, row.totalWidth);
    expectAll(layout.widths, row.widths, "widths");
    EXPECT_DOUBLE_EQ(layout.referenceWatts, row.referenceWatts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BandLayoutTest,
    ::testing::Values(band("SourceLargerThanFlows", {6.0, 2.0}, 16.0, 100, {37.5, 12.5}, 16),
                      band("SourceAbsentFlowsFill", {6.0, 2.0}, std::nullopt, 100, {75, 25}, 8),
                      band("FlowsExceedTheSource", {6.0, 2.0}, 4.0, 100, {75, 25}, 8),
                      band("NegativeSourceByMagnitude", {6.0, 2.0}, -16.0, 100, {37.5, 12.5}, 16),
                      band("NonFiniteSourceCountsAsZero", {6.0, 2.0}, kInf, 100, {75, 25}, 8),
                      band("BadFlowsKeepTheirPlace", {std::nullopt, 3.0, -2.0, kInf, kNaN, 1.0}, std::nullopt,
                           40, {0, 30, 0, 0, 0, 10}, 4),
                      band("AllZeroAndNoSource", {0.0, 0.0}, std::nullopt, 100, {0, 0}, 0),
                      band("ZeroBudget", {6.0, 2.0}, 16.0, 0, {0, 0}, 16),
                      band("NaNBudget", {6.0}, 16.0, kNaN, {0}, 16),
                      band("SourceOnlyNoFlows", {}, 10.0, 100, {}, 10)),
    voltrane::testing::ParamName());

// ---- SankeyMetrics ----

std::vector<double> eight(double value) {
    return std::vector<double>(8, value);
}

std::vector<SankeyDestination> rows(std::size_t count) {
    std::vector<SankeyDestination> result(count);
    for (std::size_t i = 0; i < count; ++i) {
        result[i].id = static_cast<SankeyDestination::ID>(i);
        result[i].watts = 1.0;
    }
    return result;
}

struct ModeCase {
    const char* name;
    double width;
    bool compact;
    double rowSpacing;
    double sourceWidth;
    double destinationWidth;
    double minimumRowHeight;
};

class MetricsModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(MetricsModeTest, PicksTheConstantsByWidth) {
    const ModeCase& row = GetParam();
    // Two zero-watt rows: both rows sit at their minimum height.
    const SankeyMetrics metrics({row.width, 400}, rows(2), {0.0, 0.0}, std::nullopt);
    EXPECT_EQ(metrics.isCompact(), row.compact);
    EXPECT_EQ(metrics.rowSpacing, row.rowSpacing);
    EXPECT_EQ(metrics.sourceWidth, row.sourceWidth);
    EXPECT_EQ(metrics.destinationWidth, row.destinationWidth);
    expectAll(metrics.rowHeights, {row.minimumRowHeight, row.minimumRowHeight}, "rowHeights");
}

INSTANTIATE_TEST_SUITE_P(Cases, MetricsModeTest,
                         ::testing::Values(ModeCase{"JustUnder570IsCompact", 569.99, true, 4, 108, 148, 30},
                                           ModeCase{"Exactly570IsRegular", 570, false, 5, 122, 184, 32},
                                           ModeCase{"ZeroWidthIsCompact", 0, true, 4, 108, 148, 30}),
                         voltrane::testing::ParamName());

struct MetricsCase {
    const char* name;
    SankeyMetrics::Size size;
    std::vector<double> layoutWatts; // one row per figure
    std::optional<double> sourceWatts;
    std::vector<double> bandWidths;
    std::vector<double> rowHeights;
    std::vector<double> rowCenters;
    double sourceHeight;
};

using V = std::vector<double>;

MetricsCase geometry(const char* name, SankeyMetrics::Size size, V watts, std::optional<double> source,
                     V bands, V heights, V centers, double sourceHeight) {
    return {
        name,        size, std::move(watts), source, std::move(bands), std::move(heights), std::move(centers),
        sourceHeight};
}

class MetricsGeometryTest : public ::testing::TestWithParam<MetricsCase> {};

TEST_P(MetricsGeometryTest, PlacesRowsAndSource) {
    const MetricsCase& row = GetParam();
    const SankeyMetrics metrics(row.size, rows(row.layoutWatts.size()),
                                {row.layoutWatts.begin(), row.layoutWatts.end()}, row.sourceWatts);
    EXPECT_EQ(metrics.size, row.size);
    EXPECT_EQ(metrics.rowCount, static_cast<int>(row.layoutWatts.size()));
    expectAll(metrics.bandWidths, row.bandWidths, "bandWidths");
    expectAll(metrics.rowHeights, row.rowHeights, "rowHeights");
    expectAll(metrics.rowCenters, row.rowCenters, "rowCenters");
    EXPECT_NEAR(metrics.sourceHeight, row.sourceHeight, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MetricsGeometryTest,
    ::testing::Values(
        // Budget 400 − 16 − 10 − 64 = 310 is lowered to 154; bands 40, 20, 10 of a 154 W source.
        // Rows 48, 32 (not 28), 32 fill 122 with the gaps, centred from (400 − 122) / 2 = 139.
        geometry("BudgetLoweredAndMinimumHeights", {600, 400}, {40.0, 20.0, 10.0}, 154.0, {40, 20, 10},
                 {48, 32, 32}, {163, 208, 245}, 168),
        // Budget 100 − 16 − 35 − 224 < 42 is raised to 42; eight 32-point rows (256) shrink
        // together to 57 = 100 − 8 − 35; the source card is capped at 100 − 18.
        geometry("ShortDiagramShrinksRowsTogether", {600, 100}, eight(1.0), {}, eight(5.25), eight(7.125),
                 {7.5625, 19.6875, 31.8125, 43.9375, 56.0625, 68.1875, 80.3125, 92.4375}, 82),
        // Eight minimum-height rows make 291 points of content, and 0.82 × 291 exceeds 168.
        geometry("TallContentGrowsTheSourceCard", {600, 600}, eight(1.0), {}, eight(19.25), eight(32),
                 {170.5, 207.5, 244.5, 281.5, 318.5, 355.5, 392.5, 429.5}, 0.82 * 291),
        geometry("BandsShareTheCappedBudget", {600, 600}, {100.0, 100.0}, 200.0, {77, 77}, {85, 85},
                 {255, 345}, 168),
        geometry("OneRowCompact", {400, 200}, {5.0}, 10.0, {77}, {85}, {100}, 168),
        geometry("NoRows", {600, 120}, {}, 10.0, {}, {}, {}, 102),
        geometry("NoRowsTall", {600, 900}, {}, 10.0, {}, {}, {}, 168),
        geometry("TinyHeightKeepsOnePointAvailable", {600, 10}, {1.0, 1.0}, {}, {21, 21}, {0.5, 0.5},
                 {(10 - 6.0) / 2 + 0.25, (10 - 6.0) / 2 + 0.5 + 5 + 0.25}, -8)),
    voltrane::testing::ParamName());

TEST(MetricsTest, ListsFollowTheLayoutWattsNotTheRows) {
    const SankeyMetrics metrics({600, 400}, rows(3), {2.0, 1.0}, {});
    EXPECT_EQ(metrics.rowCount, 3);
    EXPECT_EQ(metrics.bandWidths.size(), 2u);
    EXPECT_EQ(metrics.rowHeights.size(), 2u);
    EXPECT_EQ(metrics.rowCenters.size(), 2u);
}

} // namespace
} // namespace voltrane
