#include "snapshot_expectations.h"
#include "telemetry/battery/battery_registry.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

using std::nullopt;
using enum PowerState;

TEST(PowerSnapshotTest, HeadlineWattsFollowTheStateTable) {
    // state, battery, system and input watts, headline
    // clang-format off
    const std::tuple<PowerState, std::optional<double>, std::optional<double>, std::optional<double>, const char*> rows[] = {
        {charging, -15.0, 9.0, 30.0, "15"}, {charging, nullopt, 9.0, 30.0, "-"}, {charged, 3.0, -8.0, 30.0, "8"},
        {charged, 3.0, nullopt, -30.0, "30"}, {charged, 3.0, nullopt, nullopt, "-"}, {pluggedIn, 0.2, 6.0, 9.0, "6"},
        {pluggedIn, 0.25, 6.0, 9.0, "0.25"}, {pluggedIn, -3.0, -8.0, nullopt, "8"}, {pluggedIn, nullopt, nullopt, 12.0, "12"},
        {onBattery, -12.5, 9.0, nullopt, "12.5"}, {onBattery, nullopt, -9.0, 9.0, "9"}, {onBattery, nullopt, nullopt, 9.0, "-"},
        {unavailable, 5.0, 9.0, 30.0, "-"}};
    // clang-format on
    for (const auto& [state, battery, system, input, expected] : rows) {
        PowerSnapshot snapshot = PowerSnapshot::unavailable(Date{});
        std::tie(snapshot.state, snapshot.batteryWatts, snapshot.systemWatts, snapshot.inputWatts) =
            std::tuple(state, battery, system, input);
        EXPECT_EQ(testing::figure(snapshot.headlineWatts()), expected) << testing::describe(snapshot);
    }
    const Date at{std::chrono::seconds(1'700'000'000)};
    EXPECT_EQ(testing::describe(PowerSnapshot::unavailable(at)), "unavailable");
    EXPECT_EQ(PowerSnapshot::unavailable(at).sampledAt, at);
}

TEST(BatteryHealthFromTableTest, TakesCapacitiesOnlyWhereTheyAreCapacities) {
    const Date now{};
    const std::pair<PropertyTable, std::optional<BatteryHealthRecord>> rows[] = {
        {PropertyTable{{"MaxCapacity", 100}, {"CycleCount", 1e12}}, nullopt}, // a percentage, and garbage
        {PropertyTable{{"MaxCapacity", 101}, {"BatteryData", PropertyTable{{"DesignCapacity", 5000}}}},
         BatteryHealthRecord{now, 101, 5000, CapacityUnit::milliampHours, nullopt}}};
    for (const auto& [table, expected] : rows) {
        EXPECT_EQ(batteryHealthFromTable(table, now), expected);
    }
}

} // namespace
} // namespace voltrane
