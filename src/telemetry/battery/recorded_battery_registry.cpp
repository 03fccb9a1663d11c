#include "telemetry/battery/recorded_battery_registry.h"

#include "telemetry/battery/recorded_table_reader.h"

namespace voltrane {

std::optional<PropertyTable> RecordedBatteryRegistry::copyProperties() {
    return RecordedTableReader::fromFile(path_).entry;
}

} // namespace voltrane
