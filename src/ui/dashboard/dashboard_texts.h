#pragma once

#include "telemetry/battery/power_snapshot.h"
#include "ui/dashboard/metric_tile.h"

#include <array>
#include <functional>
#include <string>

namespace voltrane {

// The header and tile texts of the dashboard, each a pure function of one snapshot.
// "Idle" is 0.2 W, compared strictly, the same threshold headlineWatts() uses on external
// power, so a tile's title, figure and detail always agree.

/// Title of the first tile ("电池充电功率", "系统实时功率", …).
std::string headlineTitle(const PowerSnapshot& snapshot);
/// Detail of the first tile: where the headline figure comes from.
std::string headlineDetail(const PowerSnapshot& snapshot);
/// Detail of the current tile: which way the current flows.
std::string currentDetail(const PowerSnapshot& snapshot);
/// Detail of the charge tile: the remaining time on battery, else the state's label.
std::string batteryMetricDetail(const PowerSnapshot& snapshot);

/// Formats a wall-clock instant as a time of day in the user's locale.
using TimeFormatter = std::function<std::string(Date)>;

/// "尚未采样" without data (a reading of mains power alone counts as data), else "更新于 " and the sample's
/// time as `formatTime` writes it.
std::string sampleTimeText(const PowerSnapshot& snapshot, const TimeFormatter& formatTime);

/// The four tiles in display order: headline watts, voltage, current, charge.
std::array<MetricTile, 4> metricTiles(const PowerSnapshot& snapshot);

} // namespace voltrane
