#pragma once

#include "telemetry/battery/power_snapshot.h"
#include "telemetry/components/component_power_snapshot.h"

namespace voltrane::bench {

/// A charging laptop whose flow diagram has all eight rows: battery, five counters, ports and
/// the remainder.
inline PowerSnapshot chargingSnapshot() {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::charging;
    snapshot.isExternalConnected = true;
    snapshot.systemWatts = 38.5;
    snapshot.batteryWatts = 21.25;
    snapshot.inputWatts = 61.0;
    snapshot.adapterRatedWatts = 96;
    snapshot.chargePercent = 62;
    snapshot.portOutputWatts = 4.5;
    snapshot.powerOutputPortCount = 2;
    return snapshot;
}

/// Every component counter read and busy.
inline ComponentPowerSnapshot busyComponents() {
    ComponentPowerSnapshot components;
    components.cpuWatts = 12.4;
    components.gpuWatts = 6.1;
    components.aneWatts = 1.3;
    components.dramWatts = 2.2;
    components.displayWatts = 4.8;
    components.sampleInterval = 1.0;
    components.sourceAvailable = true;
    return components;
}

} // namespace voltrane::bench
