#pragma once

#include "telemetry/battery/power_snapshot.h"
#include "telemetry/components/component_power_snapshot.h"

namespace voltrane::testing {

/// On the adapter (96 W rated), charging the battery at 20.5 W at 12.6 V while the system draws
/// 24.5 W of the 45 W coming in; 80 %, 2.4 W out of one port.
inline PowerSnapshot chargingSnapshot() {
    return {12.6, 1627, false, 20.5, false, 24.5, 45.0, 96, 80, {}, {}, {}, 2.4, 1, PowerState::charging,
            true, {}};
}

/// On battery: the system draws 14.2 W at 11.9 V, 64 % with 185 minutes left.
inline PowerSnapshot onBatterySnapshot() {
    return {11.9,  -1193, false, -14.2, false, 14.2, {}, {}, 64, 185, {}, {}, {}, {}, PowerState::onBattery,
            false, {}};
}

inline ComponentPowerSnapshot busyComponents() {
    return {8.2, 3.1, 0.6, 1.2, 4.5, 1.0, true, {}};
}

} // namespace voltrane::testing
