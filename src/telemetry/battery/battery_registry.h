#pragma once

#include "telemetry/battery/property_value.h"

#include <optional>

namespace voltrane {

/// The device-registry seam: copies the smart-battery entry's property table.
class BatteryRegistry {
public:
    virtual ~BatteryRegistry() = default;

    /// The entry's properties, or nothing when there is no entry or the copy fails.
    virtual std::optional<PropertyTable> copyProperties() = 0;
};

} // namespace voltrane
