#pragma once

#include "history/history_row.h"

#include <chrono>
#include <tuple>

namespace voltrane::test {

/// 2026-03-01 00:00 UTC, a Sunday, the first of a month.
inline Date historyEpoch() {
    return Date(std::chrono::sys_days(std::chrono::year(2026) / 3 / 1));
}

/// A full minute row at `minute` past the epoch drawing `system` watts in `state`.
inline HistoryRow minuteRow(int minute, double system, PowerState state = PowerState::pluggedIn,
                            std::optional<int> charge = std::nullopt) {
    HistoryRow row;
    row.start = historyEpoch() + std::chrono::minutes(minute);
    row.sampleCount = row.coveredSeconds = 60;
    row.onBatterySeconds = state == PowerState::onBattery ? 60 : 0;
    std::tie(row.systemWatts, row.state, row.chargePercent, row.systemEnergyWh) =
        std::tuple(FigureSummary{system, system, system}, state, charge, system / 60);
    return row;
}

} // namespace voltrane::test
