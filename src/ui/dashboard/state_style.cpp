#include "ui/dashboard/state_style.h"

namespace voltrane {

StateStyle stateStyle(PowerState state) {
    switch (state) {
    case PowerState::charging:
        return {"bolt.fill", "正在充电", PaletteColor::accent};
    case PowerState::charged:
        return {"battery.100percent", "电池已充满", PaletteColor::accent};
    case PowerState::pluggedIn:
        return {"powerplug.fill", "已接入电源", PaletteColor::accent};
    case PowerState::onBattery:
        return {"battery.75percent", "正在使用电池", PaletteColor::warning};
    case PowerState::unavailable:
        break;
    }
    return {"questionmark.circle", "等待电源数据", PaletteColor::textMuted};
}

PaletteColor stateColor(PowerState state) {
    return stateStyle(state).color;
}

const char* menuBarSymbol(PowerState state) {
    switch (state) {
    case PowerState::charging:
        return "battery.100percent.bolt";
    case PowerState::charged:
        return "battery.100percent";
    case PowerState::pluggedIn:
        return "powerplug.fill";
    case PowerState::onBattery:
        return "battery.75percent";
    case PowerState::unavailable:
        break;
    }
    return "bolt.slash";
}

bool isMainsWithoutBattery(const PowerSnapshot& snapshot) {
    return snapshot.state == PowerState::unavailable && snapshot.isExternalConnected;
}

StateStyle stateStyle(const PowerSnapshot& snapshot) {
    if (isMainsWithoutBattery(snapshot)) {
        return {"powerplug.fill", "未检测到电池", stateColor(snapshot.state)};
    }
    return stateStyle(snapshot.state);
}

const char* menuBarSymbol(const PowerSnapshot& snapshot) {
    return isMainsWithoutBattery(snapshot) ? "powerplug.fill" : menuBarSymbol(snapshot.state);
}

} // namespace voltrane
