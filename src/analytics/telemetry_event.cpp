#include "analytics/telemetry_event.h"

namespace voltrane {

std::string_view rawValue(TelemetryEvent event) {
    switch (event) {
    case TelemetryEvent::appLaunch:
        return "app_launch";
    case TelemetryEvent::dashboardOpen:
        return "dashboard_open";
    case TelemetryEvent::heartbeat:
        return "heartbeat";
    }
    return "app_launch";
}

std::optional<TelemetryEvent> telemetryEvent(std::string_view text) {
    for (const TelemetryEvent event : allTelemetryEvents) {
        if (rawValue(event) == text) {
            return event;
        }
    }
    return std::nullopt;
}

} // namespace voltrane
