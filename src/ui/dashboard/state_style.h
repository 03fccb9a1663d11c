#pragma once

#include "common/voltrane_palette.h"
#include "telemetry/battery/power_snapshot.h"

#include <string_view>

namespace voltrane {

/// How one power state presents itself: the symbol, short label and colour shared by the
/// header pill, the status card icon and the charge tile.
struct StateStyle {
    std::string_view symbol;
    std::string_view label;
    PaletteColor color;

    friend bool operator==(const StateStyle&, const StateStyle&) = default;
};

/// accent while external power or charging, warning on battery, textMuted without data.
StateStyle stateStyle(PowerState state);

/// The state colour of the headline, current and charge tiles, the pill and the status card.
PaletteColor stateColor(PowerState state);

/// The tray symbol of a state ("battery.100percent.bolt" while charging, …).
const char* menuBarSymbol(PowerState state);

/// External power is connected but there is no battery data: a desktop on mains, which has
/// nothing to wait for.
bool isMainsWithoutBattery(const PowerSnapshot& snapshot);

/// The state's style; on mains without a battery the plug and "未检测到电池" in the state's colour.
StateStyle stateStyle(const PowerSnapshot& snapshot);

/// The state's tray symbol; the plug on mains without a battery.
const char* menuBarSymbol(const PowerSnapshot& snapshot);

} // namespace voltrane
