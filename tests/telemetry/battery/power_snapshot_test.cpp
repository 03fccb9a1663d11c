#include "support/param_name.h"
#include "telemetry/battery/power_snapshot.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

using std::nullopt;
using std::optional;

struct HeadlineCase {
    const char* name;
    PowerState state;
    optional<double> battery;
    optional<double> system;
    optional<double> input;
    optional<double> expected;
};

class HeadlineWattsTest : public ::testing::TestWithParam<HeadlineCase> {};

TEST_P(HeadlineWattsTest, FollowsTheStateTable) {
    const auto& c = GetParam();
    PowerSnapshot snapshot;
    snapshot.state = c.state;
    snapshot.batteryWatts = c.battery;
    snapshot.systemWatts = c.system;
    snapshot.inputWatts = c.input;
    EXPECT_EQ(snapshot.headlineWatts(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    States, HeadlineWattsTest,
    ::testing::Values(
        HeadlineCase{"ChargingTakesBatteryMagnitude", PowerState::charging, -15.0, 9.0, 30.0, 15.0},
        HeadlineCase{"ChargingWithoutBatteryIsAbsent", PowerState::charging, nullopt, 9.0, 30.0, nullopt},
        HeadlineCase{"ChargedTakesSystem", PowerState::charged, 3.0, -8.0, 30.0, 8.0},
        HeadlineCase{"ChargedFallsBackToInput", PowerState::charged, 3.0, nullopt, -30.0, 30.0},
        HeadlineCase{"ChargedWithNothingIsAbsent", PowerState::charged, 3.0, nullopt, nullopt, nullopt},
        HeadlineCase{"PluggedInAtExactlyThresholdUsesSystem", PowerState::pluggedIn, 0.2, 6.0, 9.0, 6.0},
        HeadlineCase{"PluggedInAboveThresholdUsesBattery", PowerState::pluggedIn, 0.25, 6.0, 9.0, 0.25},
        HeadlineCase{"PluggedInNegativeBatteryUsesSystemMagnitude", PowerState::pluggedIn, -3.0, -8.0,
                     nullopt, 8.0},
        HeadlineCase{"PluggedInFallsBackToInput", PowerState::pluggedIn, nullopt, nullopt, 12.0, 12.0},
        HeadlineCase{"OnBatteryTakesBatteryMagnitude", PowerState::onBattery, -12.5, 9.0, nullopt, 12.5},
        HeadlineCase{"OnBatteryFallsBackToSystem", PowerState::onBattery, nullopt, -9.0, nullopt, 9.0},
        HeadlineCase{"OnBatteryIgnoresInput", PowerState::onBattery, nullopt, nullopt, 9.0, nullopt},
        HeadlineCase{"UnavailableIsAlwaysAbsent", PowerState::unavailable, 5.0, 9.0, 30.0, nullopt}),
    voltrane::testing::ParamName());

TEST(PowerSnapshotTest, UnavailableHasEveryReadingAbsent) {
    const Date at{std::chrono::seconds(1'700'000'000)};
    const PowerSnapshot snapshot = PowerSnapshot::unavailable(at);
    PowerSnapshot expected;
    expected.sampledAt = at;
    EXPECT_EQ(snapshot, expected);
    EXPECT_EQ(snapshot.state, PowerState::unavailable);
    EXPECT_FALSE(snapshot.isExternalConnected);
    EXPECT_FALSE(snapshot.voltageVolts.has_value());
    EXPECT_FALSE(snapshot.chargePercent.has_value());
    EXPECT_FALSE(snapshot.headlineWatts().has_value());
}

TEST(PowerSnapshotTest, AbsentDiffersFromZero) {
    PowerSnapshot a;
    PowerSnapshot b;
    b.voltageVolts = 0.0;
    EXPECT_NE(a, b);
    PowerSnapshot c;
    c.cycleCount = 0;
    EXPECT_NE(a, c);
}

TEST(PowerSnapshotTest, NaNIsUnequalToItself) {
    PowerSnapshot a;
    a.temperatureCelsius = std::numeric_limits<double>::quiet_NaN();
    const PowerSnapshot copy = a;
    EXPECT_NE(a, copy);
    EXPECT_FALSE(a == a);
}

TEST(PowerSnapshotTest, SignedZerosAreEqual) {
    PowerSnapshot a;
    PowerSnapshot b;
    a.batteryWatts = 0.0;
    b.batteryWatts = -0.0;
    EXPECT_EQ(a, b);
}

TEST(PowerSnapshotTest, DatesCompareExactly) {
    const Date at{std::chrono::seconds(1'700'000'000)};
    const auto a = PowerSnapshot::unavailable(at);
    const auto b = PowerSnapshot::unavailable(at + std::chrono::nanoseconds(1));
    EXPECT_NE(a, b);
}

TEST(PowerSnapshotTest, EveryFieldTakesPartInEquality) {
    const PowerSnapshot base;
    auto differs = [&base](auto mutate) {
        PowerSnapshot other = base;
        mutate(other);
        return !(other == base);
    };
    EXPECT_TRUE(differs([](auto& s) { s.currentMilliamps = 1.0; }));
    EXPECT_TRUE(differs([](auto& s) { s.currentMilliampsIsEstimated = true; }));
    EXPECT_TRUE(differs([](auto& s) { s.batteryWatts = 1.0; }));
    EXPECT_TRUE(differs([](auto& s) { s.batteryWattsIsEstimated = true; }));
    EXPECT_TRUE(differs([](auto& s) { s.systemWatts = 1.0; }));
    EXPECT_TRUE(differs([](auto& s) { s.inputWatts = 1.0; }));
    EXPECT_TRUE(differs([](auto& s) { s.adapterRatedWatts = 1.0; }));
    EXPECT_TRUE(differs([](auto& s) { s.chargePercent = 50; }));
    EXPECT_TRUE(differs([](auto& s) { s.batteryTimeRemainingMinutes = 5; }));
    EXPECT_TRUE(differs([](auto& s) { s.portOutputWatts = 1.0; }));
    EXPECT_TRUE(differs([](auto& s) { s.powerOutputPortCount = 1; }));
    EXPECT_TRUE(differs([](auto& s) { s.state = PowerState::charged; }));
    EXPECT_TRUE(differs([](auto& s) { s.isExternalConnected = true; }));
}

} // namespace
} // namespace voltrane
