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
    std::tie(rows[0].adapterEnergyWh, rows[0].batteryChargedWh) = std::pair(0.5, 0.2);
    std::tie(rows[1].batteryDischargedWh, rows[1].systemWatts) = std::pair(0.3, FigureSummary{20, 15, 42});
    // A counter that ran backwards, an unreadable one, and more time on battery than the minute.
    std::tie(rows[2].adapterEnergyWh, rows[2].batteryDischargedWh, rows[2].onBatterySeconds,
             rows[2].coveredSeconds) = std::tuple(-4.0, std::nan(""), 500.0, 30.0);
    HistoryRow again = minuteRow(1, 1000, PowerState::onBattery); // the clock went back
    again.adapterEnergyWh = 9;
    rows.push_back(again);

    const HistoryTotals totals = HistoryTotals::of(rows);
    EXPECT_EQ(std::tuple(totals.adapterWh, totals.chargedWh, totals.dischargedWh, totals.onBatterySeconds,
                         totals.recordedSeconds),
              std::tuple(0.5, 0.2, 0.3, 90.0, 150.0));
    EXPECT_DOUBLE_EQ(*totals.averageSystemWatts, (10 * 60 + 20 * 60 + 30 * 30) / 150.0);
    EXPECT_DOUBLE_EQ(*totals.peakSystemWatts, 42);

    const HistoryTotals none = HistoryTotals::of({});
    EXPECT_FALSE(none.averageSystemWatts);
    const auto tiles = totalsTiles(none);
    EXPECT_EQ(tiles[0].value + " " + tiles[3].value + " " + tiles[4].detail, "0.0 \u2014 占记录时间 0%");
    EXPECT_EQ(totalsTiles(totals)[4].value + " " + totalsTiles(totals)[4].detail + " " +
                  totalsTiles(totals)[3].detail,
              "0.0 占记录时间 60% 峰值 42.0 W");
    HistoryRow unreadable = minuteRow(0, 0.5);
    unreadable.systemWatts->max = std::nan(""); // an unreadable peak is none
    EXPECT_DOUBLE_EQ(*HistoryTotals::of({unreadable}).peakSystemWatts, 0.5);
}

} // namespace
} // namespace voltrane
