#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace voltrane {

/// The three anonymous usage events. Each travels as its raw text ("app_launch", ...).
enum class TelemetryEvent {
    appLaunch,
    dashboardOpen,
    heartbeat,
};

inline constexpr std::array<TelemetryEvent, 3> allTelemetryEvents{
    TelemetryEvent::appLaunch, TelemetryEvent::dashboardOpen, TelemetryEvent::heartbeat};

/// The wire text of `event`.
std::string_view rawValue(TelemetryEvent event);

/// The event whose wire text is exactly `text`; any other text (other case, blanks) gives none.
std::optional<TelemetryEvent> telemetryEvent(std::string_view text);

} // namespace voltrane
