#include "support/param_name.h"
#include "telemetry/battery/power_snapshot.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

using std::nullopt;
using std::optional;
using enum PowerState;

struct HeadlineCase {
    const char* name;
    PowerState state;
    optional<double> battery, system, input, expected;
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
    ::testing::Values(HeadlineCase{"ChargingTakesBatteryMagnitude", charging, -15.0, 9.0, 30.0, 15.0},
                      HeadlineCase{"ChargingWithoutBatteryIsAbsent", charging, nullopt, 9.0, 30.0, nullopt},
                      HeadlineCase{"ChargedTakesSystem", charged, 3.0, -8.0, 30.0, 8.0},
                      HeadlineCase{"ChargedFallsBackToInput", charged, 3.0, nullopt, -30.0, 30.0},
                      HeadlineCase{"ChargedWithNothingIsAbsent", charged, 3.0, nullopt, nullopt, nullopt},
                      HeadlineCase{"PluggedInAtExactlyThresholdUsesSystem", pluggedIn, 0.2, 6.0, 9.0, 6.0},
                      HeadlineCase{"PluggedInAboveThresholdUsesBattery", pluggedIn, 0.25, 6.0, 9.0, 0.25},
                      HeadlineCase{"PluggedInNegativeBatteryUsesSystemMagnitude", pluggedIn, -3.0, -8.0,
                                   nullopt, 8.0},
                      HeadlineCase{"PluggedInFallsBackToInput", pluggedIn, nullopt, nullopt, 12.0, 12.0},
                      HeadlineCase{"OnBatteryTakesBatteryMagnitude", onBattery, -12.5, 9.0, nullopt, 12.5},
                      HeadlineCase{"OnBatteryFallsBackToSystem", onBattery, nullopt, -9.0, nullopt, 9.0},
                      HeadlineCase{"OnBatteryIgnoresInput", onBattery, nullopt, nullopt, 9.0, nullopt},
                      HeadlineCase{"UnavailableIsAlwaysAbsent", unavailable, 5.0, 9.0, 30.0, nullopt}),
    voltrane::testing::ParamName());

TEST(PowerSnapshotTest, UnavailableHasEveryReadingAbsent) {
    const Date at{std::chrono::seconds(1'700'000'000)};
    PowerSnapshot expected;
    expected.sampledAt = at;
    EXPECT_EQ(PowerSnapshot::unavailable(at), expected);
    EXPECT_EQ(expected.state, unavailable);
}

TEST(PowerSnapshotTest, EqualityComparesEveryFieldExactly) {
    const Date at{std::chrono::seconds(1'700'000'000)};
    const PowerSnapshot base = PowerSnapshot::unavailable(at);
    const std::function<void(PowerSnapshot&)> changes[] = {
        [](auto& s) { s.voltageVolts = 0.0; }, // absent differs from zero
        [](auto& s) { s.currentMilliamps = 1.0; },
        [](auto& s) { s.currentMilliampsIsEstimated = true; },
        [](auto& s) { s.batteryWatts = 1.0; },
        [](auto& s) { s.batteryWattsIsEstimated = true; },
        [](auto& s) { s.systemWatts = 1.0; },
        [](auto& s) { s.inputWatts = 1.0; },
        [](auto& s) { s.adapterRatedWatts = 1.0; },
        [](auto& s) { s.chargePercent = 50; },
        [](auto& s) { s.batteryTimeRemainingMinutes = 5; },
        [](auto& s) { s.temperatureCelsius = 1.0; },
        [](auto& s) { s.cycleCount = 0; },
        [](auto& s) { s.portOutputWatts = 1.0; },
        [](auto& s) { s.powerOutputPortCount = 1; },
        [](auto& s) { s.state = charged; },
        [](auto& s) { s.isExternalConnected = true; },
        [](auto& s) { s.sampledAt += std::chrono::nanoseconds(1); },
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        PowerSnapshot other = base;
        changes[i](other);
        EXPECT_NE(other, base) << "field change " << i;
    }

    PowerSnapshot withNaN = base;
    withNaN.temperatureCelsius = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(withNaN == withNaN);
    PowerSnapshot plusZero = base, minusZero = base;
    plusZero.batteryWatts = 0.0;
    minusZero.batteryWatts = -0.0;
    EXPECT_EQ(plusZero, minusZero);
}

} // namespace
} // namespace voltrane
