#pragma once

#include "history/history_row.h"

#include <chrono>

namespace voltrane::testing {

// 2026-12-01 04:00:00 UTC.
inline const Date kHistoryHour = Date(std::chrono::seconds(1796097600));

/// A full minute on battery drawing `watts` (whole watts), with every figure the file
/// keeps, each one that the file's milliwatts and microwatt-hours hold exactly.
inline HistoryRow minuteRow(Date start, double watts, int charge = 50) {
    HistoryRow row;
    row.start = start;
    row.sampleCount = 60;
    row.coveredSeconds = 60;
    row.onBatterySeconds = 60;
    row.headlineWatts = FigureSummary{watts, watts - 1, watts + 1.5};
    row.systemWatts = row.headlineWatts;
    row.batteryWatts = FigureSummary{-watts, -watts - 1.5, -watts + 1};
    row.batteryDischargedWh = watts / 64;
    row.systemEnergyWh = watts / 64;
    row.chargePercent = charge;
    row.state = PowerState::onBattery;
    row.cpuWatts = watts / 4;
    row.portOutputWatts = 0.25;
    return row;
}

} // namespace voltrane::testing
