#include "telemetry/battery/iokit_power_metrics_provider.h"

#include "common/c_number.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace voltrane {

namespace {

const PropertyTable& emptyTable() {
    static const PropertyTable empty;
    return empty;
}

const PropertyTable& nestedTable(const PropertyTable& table, std::string_view key) {
    const PropertyValue* value = find(table, key);
    const PropertyTable* nested = value ? value->table() : nullptr;
    return nested ? *nested : emptyTable();
}

/// The list under `key` when every element is a table; else empty.
std::vector<const PropertyTable*> tableList(const PropertyTable& table, std::string_view key) {
    const PropertyValue* value = find(table, key);
    const PropertyList* list = value ? value->list() : nullptr;
    std::vector<const PropertyTable*> tables;
    if (!list) {
        return tables;
    }
    tables.reserve(list->size());
    for (const PropertyValue& element : *list) {
        const PropertyTable* nested = element.table();
        if (!nested) {
            return {};
        }
        tables.push_back(nested);
    }
    return tables;
}

std::optional<double> number(const PropertyTable& table, std::string_view key) {
    return IOKitPowerMetricsProvider::signedNumber(find(table, key));
}

/// The preferred key, or the fallback only when the preferred key is missing.
std::optional<double> numberOrIfMissing(const PropertyTable& table, std::string_view preferred,
                                        std::string_view fallback) {
    const PropertyValue* value = find(table, preferred);
    return IOKitPowerMetricsProvider::signedNumber(value ? value : find(table, fallback));
}

/// "BatteryData"'s fallback watts. Apple-silicon tables keep these two as the bit pattern of a
/// single-precision float inside an integer ("AdapterPower" 850930859 is 2.1e-8 W, not 851 MW), so
/// a large integer is read as those bits, and a figure no machine draws reads absent.
std::optional<double> fallbackWatts(const PropertyTable& batteryData, std::string_view key) {
    constexpr std::int64_t plausibleWatts = 10000;
    const PropertyValue* value = find(batteryData, key);
    if (!value || !(value->signedInteger() || value->unsignedInteger())) {
        return IOKitPowerMetricsProvider::signedNumber(value);
    }
    const std::int64_t integer = value->signedInteger()
                                     ? *value->signedInteger()
                                     : std::bit_cast<std::int64_t>(*value->unsignedInteger());
    if (integer >= -plausibleWatts && integer <= plausibleWatts) {
        return static_cast<double>(integer);
    }
    if (integer < -(std::int64_t{1} << 31) || integer >= (std::int64_t{1} << 32)) {
        return std::nullopt;
    }
    const auto watts = std::bit_cast<float>(static_cast<std::uint32_t>(integer));
    if (!std::isfinite(watts) || std::fabs(watts) > float{plausibleWatts}) {
        return std::nullopt;
    }
    return watts;
}

std::optional<double> dividedBy(std::optional<double> value, double divisor) {
    if (!value) {
        return std::nullopt;
    }
    return *value / divisor;
}

/// Integer fields: a non-finite or out-of-range figure has no integer form and reads absent.
std::optional<std::int64_t> truncated(std::optional<double> value) {
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!value || !std::isfinite(*value) || *value >= limit || *value < -limit) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(*value);
}

std::optional<double> finite(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

IOKitPowerMetricsProvider::IOKitPowerMetricsProvider(std::unique_ptr<BatteryRegistry> registry, Clock clock)
    : registry_(std::move(registry)), clock_(std::move(clock)) {}

PowerSnapshot IOKitPowerMetricsProvider::readSnapshot() {
    const Date now = clock_();
    std::optional<PropertyTable> table = registry_ ? registry_->copyProperties() : std::nullopt;
    if (!table) {
        return PowerSnapshot::unavailable(now);
    }
    return snapshot(*table, now);
}

std::optional<double> IOKitPowerMetricsProvider::signedNumber(const PropertyValue* value) {
    if (!value) {
        return std::nullopt;
    }
    if (const auto* bits = value->unsignedInteger()) {
        // The registry stores negative currents as unsigned 64-bit patterns.
        return static_cast<double>(static_cast<std::int64_t>(*bits));
    }
    if (const auto* real = value->real()) {
        return *real;
    }
    if (const auto* integer = value->signedInteger()) {
        return static_cast<double>(*integer);
    }
    if (const auto* text = value->text()) {
        return parseCNumber(*text);
    }
    return std::nullopt;
}

std::optional<bool> IOKitPowerMetricsProvider::boolean(const PropertyValue* value) {
    if (!value) {
        return std::nullopt;
    }
    if (const auto* flag = value->boolean()) {
        return *flag;
    }
    if (const auto* bits = value->unsignedInteger()) {
        return *bits != 0;
    }
    if (const auto* integer = value->signedInteger()) {
        return *integer != 0;
    }
    if (const auto* real = value->real()) {
        return *real != 0.0;
    }
    if (const auto* text = value->text()) {
        std::string lower = *text;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower == "yes" || lower == "true" || lower == "1") {
            return true;
        }
        if (lower == "no" || lower == "false" || lower == "0") {
            return false;
        }
    }
    return std::nullopt;
}

std::optional<double> IOKitPowerMetricsProvider::powerOutputWatts(const PropertyTable& port) {
    const auto atLeastZero = [](double watts) { return std::isnan(watts) || watts < 0 ? 0.0 : watts; };
    if (const auto milliwatts = numberOrIfMissing(port, "FilteredPower", "Watts")) {
        return atLeastZero(*milliwatts / 1000);
    }
    const auto current = number(port, "Current");
    const auto voltage = number(port, "AdapterVoltage");
    if (current && voltage) {
        return atLeastZero(*current * *voltage / 1000000);
    }
    return std::nullopt;
}

std::optional<int> IOKitPowerMetricsProvider::chargePercent(const PropertyTable& table) {
    const auto current = finite(number(table, "CurrentCapacity"));
    if (!current) {
        return std::nullopt;
    }
    const auto maximum = finite(number(table, "MaxCapacity"));
    double percent = *current;
    if (maximum && *maximum > 0) {
        percent = *maximum == 100 ? *current : *current / *maximum * 100;
    }
    return static_cast<int>(std::clamp(std::round(percent), 0.0, 100.0));
}

std::optional<int> IOKitPowerMetricsProvider::timeRemainingMinutes(const PropertyTable& table) {
    const auto minutes = number(table, "TimeRemaining");
    if (!minutes || !(*minutes > 0) || !(*minutes < 65535)) {
        return std::nullopt;
    }
    return static_cast<int>(std::round(*minutes));
}

PowerSnapshot IOKitPowerMetricsProvider::snapshot(const PropertyTable& table, Date sampledAt) {
    const PropertyTable& telemetry = nestedTable(table, "PowerTelemetryData");
    const PropertyTable& adapter = nestedTable(table, "AdapterDetails");
    const PropertyTable& batteryData = nestedTable(table, "BatteryData");
    const std::vector<const PropertyTable*> ports = tableList(table, "PowerOutDetails");

    PowerSnapshot out;
    out.sampledAt = sampledAt;

    const auto voltage = dividedBy(numberOrIfMissing(table, "Voltage", "AppleRawBatteryVoltage"), 1000);
    auto current = numberOrIfMissing(table, "InstantAmperage", "Amperage");

    const auto reportedPower = dividedBy(number(telemetry, "BatteryPower"), 1000);
    std::optional<double> battery;
    if (reportedPower && std::fabs(*reportedPower) > kRealReadingWatts) {
        battery = reportedPower;
    } else if (current && voltage) {
        battery = *current * *voltage / 1000;
    } else {
        battery = reportedPower;
    }

    std::optional<double> system = dividedBy(number(telemetry, "SystemLoad"), 1000);
    if (!system) {
        system = fallbackWatts(batteryData, "SystemPower");
    }
    std::optional<double> inputCandidate = dividedBy(number(telemetry, "SystemPowerIn"), 1000);
    if (!inputCandidate) {
        inputCandidate = fallbackWatts(batteryData, "AdapterPower");
    }

    auto external = boolean(find(table, "ExternalConnected"));
    if (!external) {
        external = boolean(find(table, "AppleRawExternalConnected"));
    }
    out.isExternalConnected = external.value_or(false);
    const bool isCharging = boolean(find(table, "IsCharging")).value_or(false);
    const bool fullyCharged = boolean(find(table, "FullyCharged")).value_or(false);

    const bool hasBatteryData = voltage || current || table.contains("CurrentCapacity") ||
                                table.contains("BatteryInstalled") || table.contains("ExternalConnected");
    const bool chargingByPower = out.isExternalConnected && battery && *battery > kActiveWatts;

    // The battery's own figures lag a switch to battery power; the system load stands in for them.
    if (!out.isExternalConnected && system && std::fabs(*system) > kActiveWatts) {
        if (!battery || std::fabs(*battery) <= kActiveWatts) {
            battery = -std::fabs(*system);
            out.batteryWattsIsEstimated = true;
        }
        if (voltage && *voltage > 0 && (!current || std::fabs(*current * *voltage / 1000) <= kActiveWatts)) {
            current = -(std::fabs(*battery) / *voltage) * 1000;
            out.currentMilliampsIsEstimated = true;
        }
    }

    if (inputCandidate && std::fabs(*inputCandidate) > kRealReadingWatts) {
        out.inputWatts = inputCandidate;
    } else if (system) {
        out.inputWatts = *system + (battery && !(*battery < 0) ? *battery : 0.0);
    } else {
        out.inputWatts = inputCandidate;
    }

    if (!ports.empty()) {
        int delivering = 0;
        for (const PropertyTable* port : ports) {
            if (const auto watts = powerOutputWatts(*port)) {
                out.portOutputWatts = out.portOutputWatts.value_or(0.0) + *watts;
                delivering += *watts > kRealReadingWatts ? 1 : 0;
            }
        }
        out.powerOutputPortCount = delivering;
    }

    out.voltageVolts = voltage;
    out.currentMilliamps = current;
    out.batteryWatts = battery;
    out.systemWatts = system;
    out.adapterRatedWatts = number(adapter, "Watts");
    out.chargePercent = chargePercent(table);
    out.batteryTimeRemainingMinutes = timeRemainingMinutes(table);
    if (const auto tenthsKelvin = number(table, "Temperature")) {
        out.temperatureCelsius = *tenthsKelvin / 10 - 273.15;
    }
    out.cycleCount = truncated(number(table, "CycleCount"));

    if (!hasBatteryData) {
        out.state = PowerState::unavailable;
    } else if (isCharging || chargingByPower) {
        out.state = PowerState::charging;
    } else if (out.isExternalConnected) {
        out.state = fullyCharged ? PowerState::charged : PowerState::pluggedIn;
    } else {
        out.state = PowerState::onBattery;
    }
    return out;
}

} // namespace voltrane
