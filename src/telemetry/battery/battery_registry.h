#pragma once

#include "history/history_row.h"
#include "telemetry/battery/property_value.h"

#include <optional>

namespace voltrane {

/// The device-registry seam: copies the smart-battery entry's property table.
class BatteryRegistry {
public:
    virtual ~BatteryRegistry() = default;

    /// The entry's properties, or nothing when there is no entry or the copy fails.
    virtual std::optional<PropertyTable> copyProperties() = 0;

    /// The pack's full-charge and design capacities and cycle count, as far as it reports them,
    /// stamped `now`; nothing without a battery. By default read from the smart-battery keys.
    virtual std::optional<BatteryHealthRecord> batteryHealth(Date now);
};

/// The smart-battery keys of a registry table: "AppleRawMaxCapacity" (or a "MaxCapacity" that is
/// not a percentage) for the full charge, "DesignCapacity" at the top or in "BatteryData", both
/// in mAh, and a positive "CycleCount". Nothing when the table carries none of them.
std::optional<BatteryHealthRecord> batteryHealthFromTable(const PropertyTable& table, Date now);

} // namespace voltrane
