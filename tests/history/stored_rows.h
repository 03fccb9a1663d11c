#pragma once

#include "history/history_row.h"

#include <chrono>
#include <tuple>

namespace voltrane::testing {

// 2026-12-01 04:00:00 UTC.
inline const Date kHistoryHour = Date(std::chrono::seconds(1796097600));

/// A full minute on battery drawing `watts` (whole watts), with every figure the file
/// keeps, each one that the file's milliwatts and microwatt-hours hold exactly.
inline HistoryRow minuteRow(Date start, double watts, int charge = 50) {
    HistoryRow row;
    row.start = start;
    row.sampleCount = row.coveredSeconds = row.onBatterySeconds = 60;
    row.headlineWatts = row.systemWatts = FigureSummary{watts, watts - 1, watts + 1.5};
    row.batteryWatts = FigureSummary{-watts, -watts - 1.5, -watts + 1};
    row.batteryDischargedWh = row.systemEnergyWh = watts / 64;
    std::tie(row.chargePercent, row.state, row.cpuWatts, row.portOutputWatts) =
        std::tuple(charge, PowerState::onBattery, watts / 4, 0.25);
    return row;
}

} // namespace voltrane::testing
