#pragma once

#include "history/history_row.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace voltrane {

/// One point of the health chart.
struct HealthPoint {
    Date at{};
    std::optional<double> percentOfDesign;  ///< full-charge over design capacity, × 100
    std::optional<std::int64_t> cycleCount; ///< absent when unknown (0 means unknown too)
    friend bool operator==(const HealthPoint&, const HealthPoint&) = default;
};

/// The records as points, oldest first. A capacity that is missing, not finite, negative, or
/// a design capacity of 0 leaves the percent absent.
std::vector<HealthPoint> healthPoints(const std::vector<BatteryHealthRecord>& records);

/// What the battery's health means in plain words, from the latest point with a percent (its
/// cycle count, and the change since the first such point, when known).
std::string healthSentence(const std::vector<HealthPoint>& points);

/// The figure beside the chart: "92%", or "—" without one.
std::string healthFigureText(const std::vector<HealthPoint>& points);

} // namespace voltrane
