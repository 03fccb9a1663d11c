#include "monitor/power_smoothing.h"
#include "support/param_name.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

using std::nullopt;
using std::optional;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct StabilizeCase {
    const char* name;
    optional<double> value;
    optional<double> previous;
    optional<double> expected;
};

class StabilizePowerTest : public ::testing::TestWithParam<StabilizeCase> {};

TEST_P(StabilizePowerTest, FirstMatchingRuleDecides) {
    const auto& c = GetParam();
    const auto result = stabilizePower(c.value, c.previous);
    ASSERT_EQ(result.has_value(), c.expected.has_value());
    if (result) {
        EXPECT_DOUBLE_EQ(*result, *c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, StabilizePowerTest,
                         ::testing::Values(StabilizeCase{"ValueAbsent", nullopt, 10.0, nullopt},
                                           StabilizeCase{"PreviousAbsent", 10.0, nullopt, 10.0},
                                           StabilizeCase{"NoiseHoldsPrevious", 10.6, 10.0, 10.0},
                                           StabilizeCase{"JustUnderOneHolds", 10.999, 10.0, 10.0},
                                           StabilizeCase{"ExactlyOneBlends", 11.0, 10.0, 10.0 + 1.0 * 0.56},
                                           StabilizeCase{"MiddleBlends", 11.5, 10.0, 10.0 + 1.5 * 0.56},
                                           StabilizeCase{"ExactlyTwoBlends", 12.0, 10.0, 10.0 + 2.0 * 0.56},
                                           StabilizeCase{"JumpFollows", 12.5, 10.0, 12.5},
                                           StabilizeCase{"CrossingIdleFollows", -1.5, -0.1, -1.5},
                                           StabilizeCase{"ExactlyIdleStaysIdleSide", 0.2, 0.1, 0.1},
                                           StabilizeCase{"SignChangeFollows", -0.5, 3.0, -0.5},
                                           StabilizeCase{"ZeroCountsAsNotPositive", 0.0, 0.1, 0.0},
                                           StabilizeCase{"ZeroToPositiveIsSignChange", 0.15, 0.0, 0.15},
                                           StabilizeCase{"NegativeNoiseHolds", -10.4, -10.0, -10.0},
                                           StabilizeCase{"NonFinitePreviousCountsAsAbsent", 7.0, kNaN, 7.0},
                                           StabilizeCase{"InfinitePreviousCountsAsAbsent", 0.1, kInf, 0.1}),
                         voltrane::testing::ParamName());

PowerSnapshot sample(PowerState state, bool external) {
    PowerSnapshot snapshot;
    snapshot.state = state;
    snapshot.isExternalConnected = external;
    return snapshot;
}

TEST(SmoothedTest, FirstSampleAfterUnavailableIsPublishedAsRead) {
    const PowerSnapshot previous = PowerSnapshot::unavailable(Date{});
    PowerSnapshot raw = sample(PowerState::onBattery, false);
    raw.voltageVolts = 12.5;
    raw.systemWatts = 10.6;
    EXPECT_EQ(smoothed(raw, previous), raw);
}

TEST(SmoothedTest, UnavailablePreviousNeverSmoothsEvenWithSameState) {
    PowerSnapshot previous = sample(PowerState::unavailable, false);
    previous.systemWatts = 10.0;
    PowerSnapshot raw = sample(PowerState::unavailable, false);
    raw.systemWatts = 10.6;
    EXPECT_EQ(smoothed(raw, previous).systemWatts, 10.6);
}

TEST(SmoothedTest, BlendsSixFieldsWhenStateAndPowerHold) {
    PowerSnapshot previous = sample(PowerState::onBattery, false);
    previous.voltageVolts = 12.0;
    previous.currentMilliamps = -1000.0;
    previous.batteryWatts = -10.0;
    previous.systemWatts = 10.0;
    previous.inputWatts = 1.0;
    previous.temperatureCelsius = 30.0;
    previous.chargePercent = 50;

    PowerSnapshot raw = previous;
    raw.voltageVolts = 12.5;
    raw.currentMilliamps = -1100.0;
    raw.batteryWatts = -11.5;
    raw.systemWatts = 10.6;
    raw.inputWatts = 4.0;
    raw.temperatureCelsius = 31.0;
    raw.chargePercent = 49;

    const PowerSnapshot result = smoothed(raw, previous);
    EXPECT_DOUBLE_EQ(*result.voltageVolts, 12.0 + 0.5 * 0.56);
    EXPECT_DOUBLE_EQ(*result.currentMilliamps, -1000.0 - 100.0 * 0.56);
    EXPECT_DOUBLE_EQ(*result.batteryWatts, -10.0 - 1.5 * 0.56);
    EXPECT_DOUBLE_EQ(*result.systemWatts, 10.0);
    EXPECT_DOUBLE_EQ(*result.inputWatts, 4.0);
    EXPECT_DOUBLE_EQ(*result.temperatureCelsius, 30.0 + 0.56);
    EXPECT_EQ(result.chargePercent, 49);
}

TEST(SmoothedTest, BlendNeedsBothValues) {
    PowerSnapshot previous = sample(PowerState::onBattery, false);
    PowerSnapshot raw = previous;
    raw.voltageVolts = 12.5;
    EXPECT_EQ(smoothed(raw, previous).voltageVolts, 12.5);
    previous.voltageVolts = 12.0;
    raw.voltageVolts.reset();
    EXPECT_FALSE(smoothed(raw, previous).voltageVolts.has_value());
}

TEST(SmoothedTest, EstimateFlagSwitchShowsNewFigure) {
    PowerSnapshot previous = sample(PowerState::onBattery, false);
    previous.batteryWatts = -10.0;
    previous.currentMilliamps = -800.0;
    PowerSnapshot raw = previous;
    raw.batteryWatts = -10.5;
    raw.batteryWattsIsEstimated = true;
    raw.currentMilliamps = -900.0;
    raw.currentMilliampsIsEstimated = true;
    const PowerSnapshot result = smoothed(raw, previous);
    EXPECT_EQ(result.batteryWatts, -10.5);
    EXPECT_EQ(result.currentMilliamps, -900.0);
    EXPECT_TRUE(result.batteryWattsIsEstimated);
    EXPECT_TRUE(result.currentMilliampsIsEstimated);
}

TEST(SmoothedTest, SwitchOfStateOrExternalPowerPublishesAsRead) {
    PowerSnapshot previous = sample(PowerState::onBattery, false);
    previous.systemWatts = 10.0;
    PowerSnapshot raw = sample(PowerState::charging, true);
    raw.systemWatts = 10.6;
    EXPECT_EQ(smoothed(raw, previous).systemWatts, 10.6);

    PowerSnapshot sameStateNewPower = sample(PowerState::onBattery, true);
    sameStateNewPower.systemWatts = 10.6;
    EXPECT_EQ(smoothed(sameStateNewPower, previous).systemWatts, 10.6);
}

TEST(SmoothedTest, NonFinitePreviousNeverSticks) {
    PowerSnapshot previous = sample(PowerState::onBattery, false);
    previous.voltageVolts = kNaN;
    previous.systemWatts = kNaN;
    previous.temperatureCelsius = kInf;
    PowerSnapshot raw = previous;
    raw.voltageVolts = 12.0;
    raw.systemWatts = 0.1;
    raw.temperatureCelsius = 30.0;
    const PowerSnapshot result = smoothed(raw, previous);
    EXPECT_EQ(result.voltageVolts, 12.0);
    EXPECT_EQ(result.systemWatts, 0.1);
    EXPECT_EQ(result.temperatureCelsius, 30.0);
}

TEST(SmoothedTest, NonFiniteNewReadingIsPublishedAsRead) {
    PowerSnapshot previous = sample(PowerState::onBattery, false);
    previous.voltageVolts = 12.0;
    PowerSnapshot raw = previous;
    raw.voltageVolts = kNaN;
    EXPECT_TRUE(std::isnan(*smoothed(raw, previous).voltageVolts));
}

TEST(MenuBarTitleTest, RoundsHeadlineOrNamesTheProduct) {
    PowerSnapshot snapshot = sample(PowerState::onBattery, false);
    snapshot.batteryWatts = -7.4;
    EXPECT_EQ(menuBarTitle(snapshot), "7 W");
    snapshot.batteryWatts = -7.6;
    EXPECT_EQ(menuBarTitle(snapshot), "8 W");
    snapshot.batteryWatts = kNaN;
    EXPECT_EQ(menuBarTitle(snapshot), "\u2014 W");
    EXPECT_EQ(menuBarTitle(PowerSnapshot::unavailable(Date{})), "Voltrane");
}

} // namespace
} // namespace voltrane
