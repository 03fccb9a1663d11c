#pragma once

#include "history/history_row.h"
#include "ui/dashboard/metric_tile.h"

#include <array>
#include <optional>
#include <vector>

namespace voltrane {

/// What a range adds up to. Every figure is ≥ 0, whatever the rows hold.
struct HistoryTotals {
    double adapterWh = 0;                     ///< drawn from the adapter
    double chargedWh = 0;                     ///< put into the battery
    double dischargedWh = 0;                  ///< taken out of the battery
    std::optional<double> averageSystemWatts; ///< over the time recorded; absent without a figure
    std::optional<double> peakSystemWatts;
    double onBatterySeconds = 0;
    double recordedSeconds = 0; ///< seconds the rows cover

    /// Rows that overlap an earlier one count once; negative or non-finite figures count as 0.
    static HistoryTotals of(const std::vector<HistoryRow>& rows);
};

/// The range's tiles: adapter, into the battery, out of it, system power (average, peak in the
/// detail) and time on battery.
std::array<MetricTile, 5> totalsTiles(const HistoryTotals& totals);

} // namespace voltrane
