#pragma once

#include "common/date.h"
#include "telemetry/battery/battery_registry.h"
#include "telemetry/battery/power_snapshot.h"
#include "telemetry/battery/property_value.h"

#include <functional>
#include <memory>
#include <optional>

namespace voltrane {

/// Reads the smart-battery property table from a registry and decodes it into a snapshot.
/// The decoding is platform-neutral and pure; only the registry touches the system.
class IOKitPowerMetricsProvider final : public PowerMetricsProviding {
public:
    using Clock = std::function<Date()>;

    IOKitPowerMetricsProvider(std::unique_ptr<BatteryRegistry> registry, Clock clock);

    /// Takes the time first; the unavailable snapshot when the registry has no entry or the copy
    /// fails, else the decoded table.
    PowerSnapshot readSnapshot() override;

    /// Decodes a property table read at `sampledAt`. Total: what cannot be read is absent.
    static PowerSnapshot snapshot(const PropertyTable& table, Date sampledAt);

    /// A number (an unsigned 64-bit one reinterpreted as two's-complement signed), or a text that
    /// is wholly a C-locale floating-point number; `value` may be nullptr (missing key).
    static std::optional<double> signedNumber(const PropertyValue* value);
    /// A boolean; a number (true when non-zero); or "yes"/"true"/"1", "no"/"false"/"0" in any case.
    static std::optional<bool> boolean(const PropertyValue* value);
    /// Watts one port delivers, never negative; from milliwatts, or milliamperes × millivolts.
    static std::optional<double> powerOutputWatts(const PropertyTable& port);
    /// State of charge in percent, rounded halves away from zero and clamped to 0…100.
    static std::optional<int> chargePercent(const PropertyTable& table);
    /// Minutes of the battery's own estimate; absent when 0 or less, or 65535 ("no estimate") or more.
    static std::optional<int> timeRemainingMinutes(const PropertyTable& table);

private:
    std::unique_ptr<BatteryRegistry> registry_;
    Clock clock_;
};

} // namespace voltrane
