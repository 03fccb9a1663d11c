#include "analytics/telemetry_event.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

TEST(TelemetryEventTest, ParsesOnlyTheExactWireTexts) {
    for (const auto& [event, text] : {std::pair{TelemetryEvent::appLaunch, "app_launch"},
                                      {TelemetryEvent::dashboardOpen, "dashboard_open"},
                                      {TelemetryEvent::heartbeat, "heartbeat"}}) {
        EXPECT_EQ(rawValue(event), text);
        EXPECT_EQ(telemetryEvent(text), event);
    }
    for (const std::string_view text :
         {std::string_view(), std::string_view("appLaunch"), std::string_view("heartbeat "),
          std::string_view("heartbeat\0x", 11)}) {
        EXPECT_EQ(telemetryEvent(text), std::nullopt) << text;
    }
}

} // namespace
} // namespace voltrane
