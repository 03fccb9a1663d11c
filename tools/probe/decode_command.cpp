#include "commands.h"
#include "snapshot_json.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/recorded_table_reader.h"

#include <chrono>
#include <iostream>

namespace voltrane::probe {

int decodeCommand(const Arguments& arguments) {
    if (arguments.size() != 1) {
        return fail("decode needs exactly one FILE");
    }
    // As for a live read, the snapshot carries the time its read began.
    const Date now = std::chrono::system_clock::now();
    const auto recorded = RecordedTableReader::fromFile(QString::fromStdString(arguments.front()));
    if (!recorded.ok()) {
        return fail(recorded.error);
    }
    // A cut-off paste still decodes; the items it lost are told on stderr.
    for (const std::string& note : recorded.notes) {
        std::cerr << note << '\n';
    }
    const PowerSnapshot snapshot = recorded.entry ? IOKitPowerMetricsProvider::snapshot(*recorded.entry, now)
                                                  : PowerSnapshot::unavailable(now);
    std::cout << toJson(snapshot).dump() << '\n';
    return 0;
}

} // namespace voltrane::probe
