#include "history/history_fold.h"
#include "history/history_minute_accumulator.h"

#include <gtest/gtest.h>
#include <vector>

namespace voltrane {
namespace {

using namespace std::chrono_literals;

// 2026-12-08 04:00:00 UTC, an hour boundary.
const Date kHour = Date(std::chrono::seconds(1796097600));

PowerSnapshot reading(PowerState state, double system, std::optional<double> input, double battery,
                      int charge) {
    PowerSnapshot snapshot;
    snapshot.state = state;
    snapshot.systemWatts = system;
    snapshot.inputWatts = input;
    snapshot.batteryWatts = battery;
    snapshot.chargePercent = charge;
    snapshot.isExternalConnected = input.has_value();
    return snapshot;
}

struct Fed {
    std::chrono::milliseconds at; // after kHour
    PowerSnapshot snapshot;
};

std::vector<HistoryRow> feed(HistoryMinuteAccumulator& accumulator, const std::vector<Fed>& readings) {
    std::vector<HistoryRow> rows;
    for (const Fed& fed : readings) {
        if (auto row = accumulator.add(fed.snapshot, kHour + fed.at)) {
            rows.push_back(*row);
        }
    }
    return rows;
}

TEST(HistoryMinuteAccumulator, SummarisesAMinuteAndSplitsTheReadingThatCrossesItsEnd) {
    HistoryMinuteAccumulator accumulator;
    std::vector<Fed> readings;
    // 40 s charging at 30 W from a 50 W adapter, then 20 s on battery drawing 12 W.
    for (int second = 0; second < 60; ++second) {
        readings.push_back({std::chrono::seconds(second) + 500ms,
                            second < 40 ? reading(PowerState::charging, 20, 50, 30, 60 + second / 30)
                                        : reading(PowerState::onBattery, 12, std::nullopt, -12, 70)});
        readings.back().snapshot.portOutputWatts = second < 30 ? 4.0 : 2.0;
    }
    readings.push_back({60500ms, reading(PowerState::onBattery, 12, std::nullopt, -12, 69)});
    ComponentPowerSnapshot components;
    components.cpuWatts = 6;
    EXPECT_FALSE(accumulator.add(components, kHour + 10s));
    components.cpuWatts = 8;
    components.gpuWatts = 1;
    EXPECT_FALSE(accumulator.add(components, kHour + 20s));

    const auto rows = feed(accumulator, readings);
    ASSERT_EQ(rows.size(), 1u);
    const HistoryRow& row = rows[0];
    EXPECT_EQ(row.start, kHour);
    EXPECT_EQ(row.sampleCount, 60);
    // 0.5 s for the first reading, 59 whole seconds, and the half of the next reading before 04:01.
    EXPECT_DOUBLE_EQ(row.coveredSeconds, 60);
    // Each reading stands for the time before it: 39.5 s charging, 20.5 s on battery.
    EXPECT_DOUBLE_EQ(row.onBatterySeconds, 20.5);
    EXPECT_EQ(row.state, PowerState::charging);
    EXPECT_EQ(row.chargePercent, 70);
    EXPECT_EQ(row.systemWatts, (FigureSummary{(40 * 20 + 20 * 12) / 60.0, 12, 20}));
    EXPECT_EQ(row.inputWatts, (FigureSummary{50, 50, 50}));
    EXPECT_EQ(row.batteryWatts, (FigureSummary{(40 * 30 - 20 * 12) / 60.0, -12, 30}));
    EXPECT_NEAR(row.adapterEnergyWh, 50 * 39.5 / 3600, 1e-9);
    EXPECT_NEAR(row.batteryChargedWh, 30 * 39.5 / 3600, 1e-9);
    EXPECT_NEAR(row.batteryDischargedWh, 12 * 20.5 / 3600, 1e-9);
    EXPECT_NEAR(row.systemEnergyWh, (20 * 39.5 + 12 * 20.5) / 3600, 1e-9);
    EXPECT_EQ(row.cpuWatts, 7);
    EXPECT_EQ(row.gpuWatts, 1);
    EXPECT_FALSE(row.aneWatts);
    EXPECT_EQ(row.portOutputWatts, 3);
    // The next minute holds the other half second.
    const auto next = accumulator.flush();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->start, kHour + 1min);
    EXPECT_DOUBLE_EQ(next->coveredSeconds, 0.5);
    EXPECT_FALSE(accumulator.flush());
}

TEST(HistoryMinuteAccumulator, SilenceLeavesGapsAndTheClockGoingBackNeverMergesIntoALaterMinute) {
    HistoryMinuteAccumulator accumulator;
    const PowerSnapshot draw = reading(PowerState::onBattery, 10, std::nullopt, -10, 50);
    const PowerSnapshot nothing = PowerSnapshot::unavailable(Date{});
    // 04:00:30, then only failed reads until 04:03:10 (two minutes without a reading), then the
    // clock is set back to 04:01:20.
    const auto rows = feed(
        accumulator,
        {{30s, draw}, {90s, nothing}, {150s, nothing}, {190s, draw}, {191s, draw}, {80s, draw}, {81s, draw}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].start, kHour);
    EXPECT_EQ(rows[1].start, kHour + 3min);
    // The reading after the silence stands for at most five seconds, not two minutes and more.
    EXPECT_DOUBLE_EQ(rows[1].coveredSeconds, 5 + 1);
    EXPECT_NEAR(rows[1].batteryDischargedWh, 10 * 6.0 / 3600, 1e-12);
    const auto afterJump = accumulator.flush();
    ASSERT_TRUE(afterJump);
    EXPECT_EQ(afterJump->start, kHour + 1min);
    EXPECT_EQ(afterJump->sampleCount, 2);
    // The reading dated before the one before it stands for no time; nothing turns negative.
    EXPECT_DOUBLE_EQ(afterJump->coveredSeconds, 1);
    EXPECT_GE(afterJump->batteryDischargedWh, 0);
}

TEST(HistoryFold, FoldsMinutesIntoHoursByReadingsAndTime) {
    auto minute = [](Date start, int samples, double system, double low, double high, PowerState state,
                     double seconds, std::optional<int> charge) {
        HistoryRow row;
        row.start = start;
        row.sampleCount = samples;
        row.coveredSeconds = seconds;
        row.onBatterySeconds = state == PowerState::onBattery ? seconds : 0;
        row.systemWatts = FigureSummary{system, low, high};
        row.systemEnergyWh = system * seconds / 3600;
        row.state = state;
        row.chargePercent = charge;
        row.cpuWatts = system / 2;
        return row;
    };
    const std::vector<HistoryRow> minutes{
        minute(kHour + 59min, 60, 10, 8, 12, PowerState::onBattery, 60, 40),
        minute(kHour, 20, 20, 15, 30, PowerState::charging, 20, 41),
        minute(kHour + 1min, 60, 12, 11, 13, PowerState::onBattery, 60, std::nullopt),
        minute(kHour + 1h + 5min, 30, 7, 7, 7, PowerState::pluggedIn, 30, 80),
    };
    const auto hours = foldIntoHours(minutes);
    ASSERT_EQ(hours.size(), 2u);
    const HistoryRow& first = hours[0];
    EXPECT_EQ(first.start, kHour);
    EXPECT_EQ(first.resolution, HistoryResolution::hour);
    EXPECT_EQ(first.sampleCount, 140);
    EXPECT_DOUBLE_EQ(first.coveredSeconds, 140);
    EXPECT_DOUBLE_EQ(first.onBatterySeconds, 120);
    EXPECT_EQ(first.state, PowerState::onBattery);
    EXPECT_EQ(first.chargePercent, 40); // the last minute that read one
    EXPECT_EQ(first.systemWatts, (FigureSummary{(60 * 10 + 20 * 20 + 60 * 12) / 140.0, 8, 30}));
    EXPECT_DOUBLE_EQ(*first.cpuWatts, first.systemWatts->mean / 2);
    EXPECT_NEAR(first.systemEnergyWh, (600 + 400 + 720) / 3600.0, 1e-12);
    EXPECT_FALSE(first.inputWatts);
    EXPECT_EQ(hours[1].start, kHour + 1h);
    EXPECT_EQ(hours[1].state, PowerState::pluggedIn);
}

} // namespace
} // namespace voltrane
