#include "analytics/telemetry_event.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

TEST(TelemetryEventTest, ParsesOnlyTheExactWireTexts) {
    using Wire = std::pair<std::optional<TelemetryEvent>, std::string_view>;
    for (const auto& [event, text] : {Wire{TelemetryEvent::appLaunch, "app_launch"},
                                      {TelemetryEvent::dashboardOpen, "dashboard_open"},
                                      {TelemetryEvent::heartbeat, "heartbeat"},
                                      {{}, ""},
                                      {{}, "appLaunch"},
                                      {{}, "heartbeat "},
                                      {{}, std::string_view("heartbeat\0x", 11)}}) {
        EXPECT_EQ(telemetryEvent(text), event) << text;
        EXPECT_TRUE(!event || rawValue(*event) == text) << text;
    }
}

} // namespace
} // namespace voltrane
