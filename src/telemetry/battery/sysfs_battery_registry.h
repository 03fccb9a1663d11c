#pragma once

#include "telemetry/battery/battery_registry.h"

#include <filesystem>
#include <string>
#include <vector>

namespace voltrane {

/// Linux: builds the smart-battery table from the kernel's power-supply class. System batteries
/// (not a device's own, such as a mouse's) are combined; mains and USB supplies tell whether
/// external power is connected; a USB-PD source's negotiated maximum is the adapter rating.
/// Signs follow the battery's status, whatever the driver's own convention, and a non-zero current
/// or power whose status gives no direction is left out. A file that is missing, unreadable, not a
/// number or the kernel's "not available" leaves its key missing, and a read never blocks.
class SysfsBatteryRegistry final : public BatteryRegistry {
public:
    explicit SysfsBatteryRegistry(std::filesystem::path root = "/sys/class/power_supply")
        : root_(std::move(root)) {}

    /// Without a system battery (a desktop, or a battery just removed) only whether external power
    /// is connected, as a key that is no battery data; nothing when no supply can be read at all.
    std::optional<PropertyTable> copyProperties() override;

    /// The system batteries' `energy_full` and `energy_full_design` (µWh, given in mWh) or, without
    /// them, `charge_full` and `charge_full_design` (µAh, given in mAh), summed over packs that
    /// report in the same unit, and the mean `cycle_count` (0 is the kernel's "unknown").
    std::optional<BatteryHealthRecord> batteryHealth(Date now) override;

private:
    std::filesystem::path root_;
    std::vector<std::string> supplyNames_; // the last listing, kept to reuse its storage
};

} // namespace voltrane
