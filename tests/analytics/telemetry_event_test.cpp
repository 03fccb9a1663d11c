#include "analytics/telemetry_event.h"
#include "support/param_name.h"

#include <gtest/gtest.h>
#include <ostream>

namespace voltrane {
namespace {

/// Prints a table row as its name in failure messages.
template <typename Row>
requires requires(const Row& row) {
    std::string_view(row.name);
}
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

struct EventRow {
    const char* name;
    TelemetryEvent event;
    std::string_view wire;
};

class TelemetryEventWireText : public ::testing::TestWithParam<EventRow> {};

TEST_P(TelemetryEventWireText, RoundTripsThroughItsRawText) {
    const EventRow& row = GetParam();
    EXPECT_EQ(rawValue(row.event), row.wire);
    EXPECT_EQ(telemetryEvent(row.wire), row.event);
}

INSTANTIATE_TEST_SUITE_P(Events, TelemetryEventWireText,
                         ::testing::Values(EventRow{"appLaunch", TelemetryEvent::appLaunch, "app_launch"},
                                           EventRow{"dashboardOpen", TelemetryEvent::dashboardOpen,
                                                    "dashboard_open"},
                                           EventRow{"heartbeat", TelemetryEvent::heartbeat, "heartbeat"}),
                         testing::ParamName{});

struct RejectedRow {
    const char* name;
    std::string_view text;
};

class TelemetryEventRejects : public ::testing::TestWithParam<RejectedRow> {};

TEST_P(TelemetryEventRejects, AnyOtherText) {
    EXPECT_EQ(telemetryEvent(GetParam().text), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Texts, TelemetryEventRejects,
                         ::testing::Values(RejectedRow{"empty", ""}, RejectedRow{"caseName", "appLaunch"},
                                           RejectedRow{"upperCase", "HEARTBEAT"},
                                           RejectedRow{"trailingBlank", "heartbeat "},
                                           RejectedRow{"prefix", "dashboard"},
                                           RejectedRow{"embeddedNul", std::string_view("heartbeat\0x", 11)},
                                           RejectedRow{"other", "app_quit"}),
                         testing::ParamName{});

} // namespace
} // namespace voltrane
