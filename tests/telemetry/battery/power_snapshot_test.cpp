#include "snapshot_expectations.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

using std::nullopt;
using enum PowerState;

TEST(PowerSnapshotTest, HeadlineWattsFollowTheStateTable) {
    struct Row {
        PowerState state;
        std::optional<double> battery, system, input;
        const char* expected;
    };
    // clang-format off
    const std::vector<Row> rows = {
        {charging, -15.0, 9.0, 30.0, "15"}, {charging, nullopt, 9.0, 30.0, "-"},
        {charged, 3.0, -8.0, 30.0, "8"},
        {charged, 3.0, nullopt, -30.0, "30"}, {charged, 3.0, nullopt, nullopt, "-"},
        {pluggedIn, 0.2, 6.0, 9.0, "6"},
        {pluggedIn, 0.25, 6.0, 9.0, "0.25"}, {pluggedIn, -3.0, -8.0, nullopt, "8"},
        {pluggedIn, nullopt, nullopt, 12.0, "12"},
        {onBattery, -12.5, 9.0, nullopt, "12.5"}, {onBattery, nullopt, -9.0, 9.0, "9"},
        {onBattery, nullopt, nullopt, 9.0, "-"},
        {unavailable, 5.0, 9.0, 30.0, "-"}};
    // clang-format on
    for (const Row& row : rows) {
        PowerSnapshot snapshot = PowerSnapshot::unavailable(Date{});
        snapshot.state = row.state, snapshot.batteryWatts = row.battery;
        snapshot.systemWatts = row.system, snapshot.inputWatts = row.input;
        EXPECT_EQ(testing::figure(snapshot.headlineWatts()), row.expected) << testing::describe(snapshot);
    }
    const Date at{std::chrono::seconds(1'700'000'000)};
    EXPECT_EQ(testing::describe(PowerSnapshot::unavailable(at)), "unavailable");
    EXPECT_EQ(PowerSnapshot::unavailable(at).sampledAt, at);
}

} // namespace
} // namespace voltrane
