#include "analytics/telemetry_event.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

TEST(TelemetryEventTest, ParsesOnlyTheExactWireTexts) {
    for (const TelemetryEvent event : allTelemetryEvents) {
        EXPECT_EQ(telemetryEvent(rawValue(event)), event);
    }
    EXPECT_EQ(rawValue(TelemetryEvent::appLaunch), "app_launch");
    EXPECT_EQ(rawValue(TelemetryEvent::dashboardOpen), "dashboard_open");
    EXPECT_EQ(rawValue(TelemetryEvent::heartbeat), "heartbeat");
    for (const std::string_view text :
         {std::string_view(), std::string_view("appLaunch"), std::string_view("HEARTBEAT"),
          std::string_view("heartbeat "), std::string_view("heartbeat\0x", 11)}) {
        EXPECT_EQ(telemetryEvent(text), std::nullopt) << text;
    }
}

} // namespace
} // namespace voltrane
