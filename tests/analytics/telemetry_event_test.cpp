#include "analytics/telemetry_event.h"
#include "support/param_name.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

struct EventRow {
    const char* name;
    std::string_view text;
    std::optional<TelemetryEvent> event;
};

class TelemetryEventWireText : public ::testing::TestWithParam<EventRow> {};

TEST_P(TelemetryEventWireText, ParsesOnlyTheExactRawTexts) {
    const EventRow& row = GetParam();
    EXPECT_EQ(telemetryEvent(row.text), row.event);
    if (row.event) {
        EXPECT_EQ(rawValue(*row.event), row.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TelemetryEventWireText,
    ::testing::Values(EventRow{"appLaunch", "app_launch", TelemetryEvent::appLaunch},
                      EventRow{"dashboardOpen", "dashboard_open", TelemetryEvent::dashboardOpen},
                      EventRow{"heartbeat", "heartbeat", TelemetryEvent::heartbeat},
                      EventRow{"empty", "", std::nullopt}, EventRow{"caseName", "appLaunch", std::nullopt},
                      EventRow{"upperCase", "HEARTBEAT", std::nullopt},
                      EventRow{"trailingBlank", "heartbeat ", std::nullopt},
                      EventRow{"embeddedNul", std::string_view("heartbeat\0x", 11), std::nullopt}),
    testing::ParamName{});

} // namespace
} // namespace voltrane
