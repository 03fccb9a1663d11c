#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/plist_table_reader.h"
#include "telemetry/battery/registry_text_reader.h"
#include "telemetry/battery/typed_json_table_reader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using voltrane::IOKitPowerMetricsProvider;
using voltrane::PropertyValue;
using voltrane::RecordedTable;

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

/// Whether the entry's system load can only have come from an integer "SystemPower" fallback.
bool systemLoadFromIntegerFallback(const voltrane::PropertyTable& entry) {
    const PropertyValue* batteryData = voltrane::find(entry, "BatteryData");
    const PropertyValue* fallback =
        batteryData && batteryData->table() ? voltrane::find(*batteryData->table(), "SystemPower") : nullptr;
    return !entry.contains("PowerTelemetryData") && fallback &&
           (fallback->signedInteger() || fallback->unsignedInteger());
}

void decode(const RecordedTable& result) {
    check(result.ok() || (!result.entry && result.notes.empty()));
    if (!result.entry) {
        return;
    }
    const voltrane::PowerSnapshot snapshot =
        IOKitPowerMetricsProvider::snapshot(*result.entry, voltrane::Date{});
    check(!snapshot.chargePercent || (*snapshot.chargePercent >= 0 && *snapshot.chargePercent <= 100));
    check(!snapshot.portOutputWatts || !(*snapshot.portOutputWatts < 0));
    check(!snapshot.batteryTimeRemainingMinutes || *snapshot.batteryTimeRemainingMinutes > 0);
    check(snapshot.state != voltrane::PowerState::onBattery || !snapshot.isExternalConnected);
    check(!systemLoadFromIntegerFallback(*result.entry) || !snapshot.systemWatts ||
          std::fabs(*snapshot.systemWatts) <= 10000);
    static_cast<void>(snapshot.headlineWatts());
}

} // namespace

// The same bytes through every recorded-table reader, then through the decoder.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    decode(voltrane::TypedJsonTableReader::read(bytes));
    decode(voltrane::PlistTableReader::read(bytes));
    decode(voltrane::RegistryTextReader::read(std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
