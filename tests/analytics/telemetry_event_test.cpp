#include "analytics/telemetry_event.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

TEST(TelemetryEventTest, ParsesOnlyTheExactWireTexts) {
    using enum TelemetryEvent;
    // clang-format off
    const std::pair<std::optional<TelemetryEvent>, std::string_view> rows[] = {{appLaunch, "app_launch"},
        {dashboardOpen, "dashboard_open"}, {heartbeat, "heartbeat"}, {{}, ""}, {{}, "appLaunch"},
        {{}, "heartbeat "}, {{}, std::string_view("heartbeat\0x", 11)}};
    // clang-format on
    for (const auto& [event, text] : rows) {
        EXPECT_EQ(telemetryEvent(text), event) << text;
        EXPECT_TRUE(!event || rawValue(*event) == text) << text;
    }
}

} // namespace
} // namespace voltrane
