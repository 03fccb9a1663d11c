#include "monitor/power_smoothing.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <tuple>

namespace voltrane {
namespace {

using std::nullopt;
using std::optional;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(StabilizePowerTest, FirstMatchingRuleDecides) {
    struct Row {
        const char* name;
        optional<double> value, previous, expected;
    };
    const Row rows[] = {
        {"ValueAbsent", nullopt, 10.0, nullopt},
        {"PreviousAbsent", 10.0, nullopt, 10.0},
        {"NaNPreviousCountsAsAbsent", 7.0, kNaN, 7.0},
        {"InfinitePreviousCountsAsAbsent", 0.1, kInf, 0.1},
        {"JustUnderOneHolds", 10.999, 10.0, 10.0},
        {"NegativeNoiseHolds", -10.4, -10.0, -10.0},
        {"ExactlyOneBlends", 11.0, 10.0, 10.0 + 1.0 * 0.56},
        {"ExactlyTwoBlends", 12.0, 10.0, 10.0 + 2.0 * 0.56},
        {"JumpFollows", 12.01, 10.0, 12.01},
        {"LeavingIdleFollows", -0.3, -0.1, -0.3},
        {"ExactlyPointTwoIsStillIdle", 0.2, 0.1, 0.1},
        {"FromExactlyPointTwoIsStillIdle", 0.1, 0.2, 0.2},
        {"EnteringIdleFollows", 0.1, 0.3, 0.1},
        {"SignChangeFollows", -0.5, 0.4, -0.5},
        {"ZeroIsNotPositive", 0.0, 0.1, 0.0},
        {"ZeroToPositiveIsSignChange", 0.15, 0.0, 0.15},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = stabilizePower(row.value, row.previous);
        ASSERT_EQ(result.has_value(), row.expected.has_value());
        if (result) {
            EXPECT_DOUBLE_EQ(*result, *row.expected);
        }
    }
}

PowerSnapshot onBattery(std::array<optional<double>, 6> figures = {12.0, -1000.0, -10.0, 10.0, 1.0, 30.0}) {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    std::tie(snapshot.voltageVolts, snapshot.currentMilliamps, snapshot.batteryWatts, snapshot.systemWatts,
             snapshot.inputWatts, snapshot.temperatureCelsius) = std::tuple_cat(figures);
    snapshot.chargePercent = 50;
    return snapshot;
}

/// Volts, milliamps, battery, system and input watts, degrees; "-" when absent.
std::string describe(const PowerSnapshot& snapshot) {
    std::ostringstream text;
    for (const auto& figure : {snapshot.voltageVolts, snapshot.currentMilliamps, snapshot.batteryWatts,
                               snapshot.systemWatts, snapshot.inputWatts, snapshot.temperatureCelsius}) {
        figure ? text << *figure << " " : text << "- ";
    }
    return text.str();
}

TEST(SmoothedTest, BlendsOrHoldsEachFigureWhileStateAndPowerHold) {
    PowerSnapshot raw = onBattery({12.5, -1100.0, -11.5, 10.6, 4.0, 31.0});
    raw.chargePercent = 49;
    const PowerSnapshot result = smoothed(raw, onBattery());
    EXPECT_EQ(describe(result), "12.28 -1056 -10.84 10 4 30.56 ");
    EXPECT_EQ(result.chargePercent, 49);
    // A blend needs both figures; a non-finite previous one counts as absent, a new one shows.
    raw.currentMilliamps.reset();
    raw.inputWatts = kNaN;
    EXPECT_EQ(describe(smoothed(raw, onBattery({nullopt, -1000.0, kNaN, kNaN, 1.0, kInf}))),
              "12.5 - -11.5 10.6 nan 31 ");
}

TEST(SmoothedTest, PublishesAsReadAcrossASwitch) {
    const PowerSnapshot raw = onBattery({12.5, -1100.0, -10.5, 10.6, 1.0, 30.0});
    for (const auto change : {+[](PowerSnapshot& p) { p.state = PowerState::unavailable; },
                              +[](PowerSnapshot& p) { p.state = PowerState::charging; },
                              +[](PowerSnapshot& p) { p.isExternalConnected = true; }}) {
        PowerSnapshot previous = onBattery();
        change(previous);
        EXPECT_EQ(smoothed(raw, previous), raw);
    }
    PowerSnapshot unavailable = raw; // even when both samples are unavailable
    unavailable.state = PowerState::unavailable;
    EXPECT_EQ(smoothed(unavailable, unavailable), unavailable);
    // A switch between a measured and an estimated figure shows the new figure at once.
    PowerSnapshot estimated = raw;
    estimated.batteryWattsIsEstimated = true;
    EXPECT_EQ(describe(smoothed(estimated, onBattery())), "12.28 -1056 -10.5 10 1 30 ");
    estimated.batteryWattsIsEstimated = false;
    estimated.currentMilliampsIsEstimated = true;
    EXPECT_EQ(describe(smoothed(estimated, onBattery())), "12.28 -1100 -10 10 1 30 ");
}

TEST(MenuBarTitleTest, RoundsTheHeadlineOrNamesTheProduct) {
    PowerSnapshot snapshot = onBattery();
    for (const auto& [watts, title] : {std::pair{-7.4, "7 W"}, {-7.6, "8 W"}, {kNaN, "\u2014 W"}}) {
        snapshot.batteryWatts = watts;
        EXPECT_EQ(menuBarTitle(snapshot), title);
    }
    EXPECT_EQ(menuBarTitle(PowerSnapshot::unavailable(Date{})), "Voltrane");
}

} // namespace
} // namespace voltrane
