#include "history/history_fold.h"
#include "history/history_minute_accumulator.h"
#include "stored_rows.h"

#include <cmath>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::kHistoryHour;

PowerSnapshot reading(PowerState state, double system, std::optional<double> input, double battery,
                      int charge) {
    PowerSnapshot snapshot;
    std::tie(snapshot.state, snapshot.systemWatts, snapshot.inputWatts, snapshot.batteryWatts,
             snapshot.chargePercent, snapshot.portOutputWatts) =
        std::tuple(state, system, input, battery, charge, 3.0);
    return snapshot;
}

TEST(HistoryMinuteAccumulator, SummarisesAMinuteAndSplitsTheReadingThatCrossesItsEnd) {
    HistoryMinuteAccumulator accumulator;
    ComponentPowerSnapshot components;
    components.cpuWatts = 6;
    EXPECT_FALSE(accumulator.add(components, kHistoryHour + 10s));
    // Readings at 0.5 s, 1.5 s, …: 40 charging at 30 W from a 50 W adapter, then 20 on battery.
    std::optional<HistoryRow> row;
    for (int second = 0; second <= 60 && !row; ++second) {
        row = accumulator.add(
            second < 40 ? reading(PowerState::charging, 20, 50, 30, 60 + second / 30)
                        : reading(PowerState::onBattery, 12, 12, -12, 70), // input: the system's draw
            kHistoryHour + std::chrono::seconds(second) + 500ms);
    }
    ASSERT_TRUE(row);
    // Each reading stands for the time before it: 39.5 s charging, 20 s on battery and the half
    // second before 04:01 of the reading after it.
    EXPECT_DOUBLE_EQ(row->coveredSeconds, 60);
    EXPECT_DOUBLE_EQ(row->onBatterySeconds, 20.5);
    EXPECT_EQ(std::tuple(row->start, row->sampleCount, row->state, row->chargePercent, row->cpuWatts,
                         row->portOutputWatts, row->gpuWatts),
              std::tuple(kHistoryHour, 60, PowerState::charging, 70, 6.0, 3.0, std::nullopt));
    EXPECT_EQ(row->systemWatts, (FigureSummary{(40 * 20 + 20 * 12) / 60.0, 12, 20}));
    EXPECT_EQ(row->batteryWatts, (FigureSummary{(40 * 30 - 20 * 12) / 60.0, -12, 30}));
    EXPECT_EQ(row->inputWatts, (FigureSummary{50, 50, 50}));
    EXPECT_NEAR(row->adapterEnergyWh + row->batteryChargedWh, 80 * 39.5 / 3600, 1e-9);
    EXPECT_NEAR(row->batteryDischargedWh - row->systemEnergyWh, (12 * 20.5 - 20 * 39.5 - 12 * 20.5) / 3600,
                1e-9);
    EXPECT_DOUBLE_EQ(accumulator.flush()->coveredSeconds, 0.5);
    EXPECT_FALSE(accumulator.flush());
}

TEST(HistoryMinuteAccumulator, SilenceLeavesGapsAndTheClockGoingBackNeverMergesIntoALaterMinute) {
    HistoryMinuteAccumulator accumulator;
    const PowerSnapshot draw = reading(PowerState::onBattery, 10, std::nullopt, -10, 50);
    const PowerSnapshot more = reading(PowerState::onBattery, 14, std::nullopt, -14, 50);
    const PowerSnapshot nothing = PowerSnapshot::unavailable(Date{});
    // 04:00:30, failed reads only until 04:03:10, then the clock is set back to 04:01:20.
    std::vector<HistoryRow> rows;
    const std::pair<std::chrono::seconds, PowerSnapshot> readings[] = {
        {30s, draw}, {90s, nothing}, {150s, nothing}, {190s, draw}, {191s, more}, {80s, draw}, {81s, draw}};
    for (const auto& [at, snapshot] : readings) {
        if (auto row = accumulator.add(snapshot, kHistoryHour + at)) {
            rows.push_back(*row);
        }
    }
    rows.push_back(*accumulator.flush());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(std::vector({rows[0].start, rows[1].start, rows[2].start}),
              std::vector({kHistoryHour, kHistoryHour + 3min, kHistoryHour + 1min}));
    // After the silence a reading stands for five seconds at most; one dated before the reading
    // before it stands for none, and nothing turns negative.
    EXPECT_DOUBLE_EQ(rows[1].coveredSeconds, 5 + 1);
    EXPECT_NEAR(rows[1].batteryDischargedWh, (10 * 5.0 + 14) / 3600, 1e-12);
    EXPECT_EQ(rows[1].batteryWatts, (FigureSummary{-12, -14, -10}));
    EXPECT_DOUBLE_EQ(rows[2].coveredSeconds, 1);
    EXPECT_GE(rows[2].batteryDischargedWh, 0);
}

TEST(HistoryFold, FoldsMinutesIntoHoursByReadingsAndTime) {
    auto minute = [](std::chrono::minutes at, int samples, double watts, PowerState state,
                     std::optional<int> charge) {
        HistoryRow row = testing::minuteRow(kHistoryHour + at, watts);
        row.sampleCount = row.coveredSeconds = samples;
        std::tie(row.state, row.chargePercent) = std::pair(state, charge);
        return row;
    };
    HistoryRow plugged = minute(65min, 30, 7, PowerState::pluggedIn, 80);
    std::tie(plugged.onBatterySeconds, plugged.adapterEnergyWh) = std::pair(0.0, std::nan(""));
    const auto hours = foldIntoHours({minute(59min, 60, 10, PowerState::onBattery, 40),
                                      minute(0min, 20, 20, PowerState::charging, 41),
                                      minute(1min, 60, 12, PowerState::onBattery, std::nullopt), plugged});
    ASSERT_EQ(hours.size(), 2u);
    const HistoryRow& first = hours[0];
    EXPECT_EQ(std::tuple(first.start, first.resolution, first.sampleCount, first.state, first.chargePercent),
              std::tuple(kHistoryHour, HistoryResolution::hour, 140, PowerState::onBattery, 40));
    EXPECT_DOUBLE_EQ(first.coveredSeconds, 140);
    EXPECT_DOUBLE_EQ(first.onBatterySeconds, 140); // the minutes say 180, but never more than was covered
    EXPECT_EQ(first.systemWatts, (FigureSummary{(60 * 10 + 20 * 20 + 60 * 12) / 140.0, 9, 21.5}));
    EXPECT_DOUBLE_EQ(*first.cpuWatts, first.systemWatts->mean / 4);
    EXPECT_DOUBLE_EQ(first.systemEnergyWh, (10 + 20 + 12) / 64.0);
    EXPECT_FALSE(first.inputWatts || first.gpuWatts); // no minute read them
    EXPECT_EQ(
        std::tuple(hours[1].start, hours[1].state, hours[1].onBatterySeconds, hours[1].adapterEnergyWh),
        std::tuple(kHistoryHour + 1h, PowerState::pluggedIn, 0.0, 0.0)); // an unreadable energy adds none
}

} // namespace
} // namespace voltrane
