#pragma once

#include "telemetry/battery/power_snapshot.h"
#include "telemetry/components/component_power_snapshot.h"

namespace voltrane::testing {

/// On the adapter (96 W rated), charging the battery at 20.5 W while the system draws 24.5 W.
inline PowerSnapshot chargingSnapshot() {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::charging;
    snapshot.isExternalConnected = true;
    snapshot.voltageVolts = 12.6;
    snapshot.currentMilliamps = 1627;
    snapshot.batteryWatts = 20.5;
    snapshot.systemWatts = 24.5;
    snapshot.inputWatts = 45.0;
    snapshot.adapterRatedWatts = 96;
    snapshot.chargePercent = 80;
    snapshot.portOutputWatts = 2.4;
    snapshot.powerOutputPortCount = 1;
    return snapshot;
}

inline ComponentPowerSnapshot busyComponents() {
    return {8.2, 3.1, 0.6, 1.2, 4.5, 1.0, true, {}};
}

/// On battery: the system draws 14.2 W with about three hours left.
inline PowerSnapshot onBatterySnapshot() {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.voltageVolts = 11.9;
    snapshot.currentMilliamps = -1193;
    snapshot.batteryWatts = -14.2;
    snapshot.systemWatts = 14.2;
    snapshot.chargePercent = 64;
    snapshot.batteryTimeRemainingMinutes = 185;
    return snapshot;
}

inline ComponentPowerSnapshot lightComponents() {
    return {4.1, 1.0, 0.0, 0.8, 3.2, 1.0, true, {}};
}

} // namespace voltrane::testing
