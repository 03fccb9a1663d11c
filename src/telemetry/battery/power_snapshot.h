#pragma once

#include "common/date.h"
#include "common/power_thresholds.h"

#include <cstdint>
#include <optional>

namespace voltrane {

/// One-word summary of the power situation.
enum class PowerState { charging, charged, pluggedIn, onBattery, unavailable };

/// One sample of battery and adapter readings. An absent reading is never zero.
/// Positive battery power and current mean the battery takes charge.
struct PowerSnapshot {
    std::optional<double> voltageVolts;       ///< volts
    std::optional<double> currentMilliamps;   ///< mA, negative while discharging
    bool currentMilliampsIsEstimated = false; ///< derived from battery power and voltage
    std::optional<double> batteryWatts;       ///< W into (+) or out of (−) the battery
    bool batteryWattsIsEstimated = false;     ///< filled in from the system load
    std::optional<double> systemWatts;        ///< W drawn by the whole system
    std::optional<double> inputWatts;         ///< W entering from the external source
    std::optional<double> adapterRatedWatts;  ///< W rating of the adapter
    std::optional<int> chargePercent;         ///< 0…100
    std::optional<int> batteryTimeRemainingMinutes;
    std::optional<double> temperatureCelsius;
    std::optional<std::int64_t> cycleCount;
    std::optional<double> portOutputWatts;   ///< W delivered out of the ports, never negative
    std::optional<int> powerOutputPortCount; ///< ports delivering more than 0.05 W
    PowerState state = PowerState::unavailable;
    bool isExternalConnected = false;
    Date sampledAt{}; ///< when the read that produced it began

    /// Every reading absent, both flags false, state unavailable, no external power.
    static PowerSnapshot unavailable(Date sampledAt);

    /// The single figure of the menu-bar title and the dashboard headline.
    std::optional<double> headlineWatts() const;

    // Field by field: absent ≠ 0, NaN ≠ itself, −0 = +0, dates exact.
    friend bool operator==(const PowerSnapshot&, const PowerSnapshot&) = default;
};

/// The interface through which the monitor reads battery and adapter power. Never fails.
class PowerMetricsProviding {
public:
    virtual ~PowerMetricsProviding() = default;
    virtual PowerSnapshot readSnapshot() = 0;
};

/// Case name of a state, as printed by the probe ("onBattery").
const char* caseName(PowerState state);

} // namespace voltrane
