#include "telemetry/battery/battery_registry.h"

namespace voltrane {

namespace {

std::optional<double> number(const PropertyTable& table, std::string_view key) {
    const PropertyValue* value = find(table, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    if (const auto* integer = value->signedInteger()) {
        return static_cast<double>(*integer);
    }
    if (const auto* integer = value->unsignedInteger()) {
        return static_cast<double>(*integer);
    }
    if (const auto* real = value->real()) {
        return *real;
    }
    return std::nullopt;
}

std::optional<double> positive(std::optional<double> value) {
    return value && *value > 0 ? value : std::nullopt;
}

} // namespace

std::optional<BatteryHealthRecord> BatteryRegistry::batteryHealth(Date now) {
    const auto table = copyProperties();
    return table ? batteryHealthFromTable(*table, now) : std::nullopt;
}

std::optional<BatteryHealthRecord> batteryHealthFromTable(const PropertyTable& table, Date now) {
    BatteryHealthRecord record;
    record.recordedAt = now;
    record.unit = CapacityUnit::milliampHours;
    record.fullChargeCapacity = positive(number(table, "AppleRawMaxCapacity"));
    if (!record.fullChargeCapacity) {
        // Newer machines report MaxCapacity as a percentage (100); older ones in mAh.
        const auto max = positive(number(table, "MaxCapacity"));
        if (max && *max > 100) {
            record.fullChargeCapacity = max;
        }
    }
    record.designCapacity = positive(number(table, "DesignCapacity"));
    const PropertyValue* data = find(table, "BatteryData");
    if (!record.designCapacity && data != nullptr && data->table() != nullptr) {
        record.designCapacity = positive(number(*data->table(), "DesignCapacity"));
    }
    // A count past any battery's life is garbage, and would not fit the integer.
    if (const auto cycles = positive(number(table, "CycleCount")); cycles && *cycles < 1e9) {
        record.cycleCount = static_cast<std::int64_t>(*cycles);
    }
    if (!record.fullChargeCapacity && !record.designCapacity && !record.cycleCount) {
        return std::nullopt;
    }
    return record;
}

} // namespace voltrane
