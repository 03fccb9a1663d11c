#include "telemetry/components/component_power_snapshot.h"

namespace voltrane {

ComponentPowerSnapshot ComponentPowerSnapshot::unavailable(Date sampledAt) {
    ComponentPowerSnapshot snapshot;
    snapshot.sampledAt = sampledAt;
    return snapshot;
}

ComponentPowerSnapshot ComponentPowerSnapshot::waiting(Date sampledAt) {
    ComponentPowerSnapshot snapshot;
    snapshot.sourceAvailable = true;
    snapshot.sampledAt = sampledAt;
    return snapshot;
}

} // namespace voltrane
