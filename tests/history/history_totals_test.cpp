#include "history/history_totals.h"
#include "history_rows.h"

#include <cmath>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using test::minuteRow;

TEST(HistoryTotalsTest, NeverNegativeAndCountEachSpanOnce) {
    std::vector<HistoryRow> rows{minuteRow(0, 10), minuteRow(1, 20, PowerState::onBattery),
                                 minuteRow(5, 30, PowerState::onBattery)};
    rows[0].adapterEnergyWh = 0.5;
    rows[0].batteryChargedWh = 0.2;
    rows[1].batteryDischargedWh = 0.3;
    rows[1].systemWatts = FigureSummary{20, 15, 42};
    rows[2].adapterEnergyWh = -4; // a counter that ran backwards
    rows[2].batteryDischargedWh = std::nan("");
    rows[2].onBatterySeconds = 500; // more than the minute
    rows[2].coveredSeconds = 30;
    HistoryRow again = minuteRow(1, 1000, PowerState::onBattery); // the clock went back
    again.adapterEnergyWh = 9;
    rows.push_back(again);

    const HistoryTotals totals = HistoryTotals::of(rows);
    EXPECT_DOUBLE_EQ(totals.adapterWh, 0.5);
    EXPECT_DOUBLE_EQ(totals.chargedWh, 0.2);
    EXPECT_DOUBLE_EQ(totals.dischargedWh, 0.3);
    EXPECT_DOUBLE_EQ(*totals.averageSystemWatts, (10 * 60 + 20 * 60 + 30 * 30) / 150.0);
    EXPECT_DOUBLE_EQ(*totals.peakSystemWatts, 42);
    EXPECT_DOUBLE_EQ(totals.onBatterySeconds, 90);
    EXPECT_DOUBLE_EQ(totals.recordedSeconds, 150);

    const HistoryTotals none = HistoryTotals::of({});
    EXPECT_FALSE(none.averageSystemWatts);
    const auto tiles = totalsTiles(none);
    EXPECT_EQ(tiles[0].value, "0.0");
    EXPECT_EQ(tiles[3].value, "\u2014");
    EXPECT_EQ(tiles[4].detail, "占记录时间 0%");
    EXPECT_EQ(totalsTiles(totals)[4].detail, "占记录时间 60%");
    EXPECT_EQ(totalsTiles(totals)[3].detail, "峰值 42.0 W");
}

} // namespace
} // namespace voltrane
