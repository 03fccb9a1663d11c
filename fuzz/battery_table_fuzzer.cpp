#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/recorded_table_reader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

using voltrane::IOKitPowerMetricsProvider;
using voltrane::RecordedTableReader;

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void decode(const RecordedTableReader::Result& result) {
    check(result.ok() || !result.entry);
    if (!result.entry) {
        return;
    }
    const voltrane::PowerSnapshot snapshot =
        IOKitPowerMetricsProvider::snapshot(*result.entry, voltrane::Date{});
    check(!snapshot.chargePercent || (*snapshot.chargePercent >= 0 && *snapshot.chargePercent <= 100));
    check(!snapshot.portOutputWatts || !(*snapshot.portOutputWatts < 0));
    check(!snapshot.batteryTimeRemainingMinutes || *snapshot.batteryTimeRemainingMinutes > 0);
    check(snapshot.state != voltrane::PowerState::onBattery || !snapshot.isExternalConnected);
    static_cast<void>(snapshot.headlineWatts());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    decode(RecordedTableReader::fromTypedJson(bytes));
    decode(RecordedTableReader::fromPlist(bytes));
    return 0;
}
