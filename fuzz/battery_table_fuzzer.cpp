#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/plist_table_reader.h"
#include "telemetry/battery/registry_text_reader.h"
#include "telemetry/battery/typed_json_table_reader.h"

#include <algorithm>
#include <bit>
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

/// Equal down to the bits: the sign of a zero, and NaN as NaN.
bool same(const PropertyValue& a, const PropertyValue& b);

bool same(const voltrane::PropertyTable& a, const voltrane::PropertyTable& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.first == y.first && same(x.second, y.second);
    });
}

bool same(const PropertyValue& a, const PropertyValue& b) {
    if (a.real() && b.real()) {
        return std::bit_cast<std::uint64_t>(*a.real()) == std::bit_cast<std::uint64_t>(*b.real());
    }
    if (a.table() && b.table()) {
        return same(*a.table(), *b.table());
    }
    if (a.list() && b.list()) {
        return std::equal(a.list()->begin(), a.list()->end(), b.list()->begin(), b.list()->end(),
                          [](const PropertyValue& x, const PropertyValue& y) { return same(x, y); });
    }
    return a == b;
}

} // namespace

// The same bytes through every recorded-table reader, then through the decoder. The direct JSON
// reader must read exactly what the reader through Qt reads, wherever it reads anything.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    decode(voltrane::TypedJsonTableReader::read(bytes));
    if (const auto direct =
            voltrane::TypedJsonTableReader::readPlain(std::string_view(bytes.constData(), size))) {
        const RecordedTable throughQt = voltrane::TypedJsonTableReader::readThroughQt(bytes);
        check(throughQt.entry && same(*direct, *throughQt.entry));
    }
    decode(voltrane::PlistTableReader::read(bytes));
    decode(voltrane::RegistryTextReader::read(std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
