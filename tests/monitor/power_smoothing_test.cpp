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
    // clang-format off
    // Value, previous, result: absent or non-finite previous; under 1 W holds, 1 to 2 W blends, more follows;
    // idle is up to 0.2 W and crossing it follows; a sign change follows and zero is not positive.
    const std::tuple<optional<double>, optional<double>, optional<double>> rows[] = {
        {nullopt, 10.0, nullopt}, {10.0, nullopt, 10.0}, {7.0, kNaN, 7.0}, {0.1, kInf, 0.1},
        {10.999, 10.0, 10.0}, {-10.4, -10.0, -10.0}, {11.0, 10.0, 10.56}, {12.0, 10.0, 11.12}, {12.01, 10.0, 12.01},
        {-0.3, -0.1, -0.3}, {0.1, 0.3, 0.1}, {0.2, 0.1, 0.1}, {0.1, 0.2, 0.2},
        {-0.5, 0.4, -0.5}, {0.0, 0.1, 0.0}, {0.15, 0.0, 0.15}};
    // clang-format on
    for (const auto& [value, previous, expected] : rows) {
        const auto result = stabilizePower(value, previous);
        EXPECT_EQ(result.has_value(), expected.has_value()) << value.value_or(-99);
        EXPECT_DOUBLE_EQ(result.value_or(-99), expected.value_or(-99)) << value.value_or(-99);
    }
}

PowerSnapshot onBattery(std::array<optional<double>, 6> figures = {12.0, -1000.0, -10.0, 10.0, 1.0, 30.0}) {
    PowerSnapshot snapshot;
    std::tie(snapshot.voltageVolts, snapshot.currentMilliamps, snapshot.batteryWatts, snapshot.systemWatts,
             snapshot.inputWatts, snapshot.temperatureCelsius, snapshot.state, snapshot.chargePercent) =
        std::tuple_cat(figures, std::tuple(PowerState::onBattery, 50));
    return snapshot;
}

// Volts, milliamps, battery, system and input watts, degrees; "-" when absent.
std::string describe(const PowerSnapshot& snapshot) {
    std::ostringstream text;
    for (const auto& figure : {snapshot.voltageVolts, snapshot.currentMilliamps, snapshot.batteryWatts,
                               snapshot.systemWatts, snapshot.inputWatts, snapshot.temperatureCelsius}) {
        figure ? text << *figure << " " : text << "- ";
    }
    return text.str();
}

TEST(SmoothedTest, BlendsOrHoldsEachFigureWhileStateAndPowerHoldAndPublishesAsReadAcrossASwitch) {
    PowerSnapshot raw = onBattery({12.5, -1100.0, -11.5, 10.6, 4.0, 31.0});
    raw.chargePercent = 49;
    const PowerSnapshot result = smoothed(raw, onBattery());
    EXPECT_EQ(describe(result) + std::to_string(*result.chargePercent), "12.28 -1056 -10.84 10 4 30.56 49");
    raw.currentMilliamps.reset(); // a blend needs both figures; a non-finite previous one counts as absent
    raw.inputWatts = kNaN;
    EXPECT_EQ(describe(smoothed(raw, onBattery({nullopt, -1000.0, kNaN, kNaN, 1.0, kInf}))),
              "12.5 - -11.5 10.6 nan 31 ");
    raw = onBattery({12.5, -1100.0, -10.5, 10.6, 1.0, 30.0});
    for (const auto change : {+[](PowerSnapshot& p) { p.state = PowerState::unavailable; },
                              +[](PowerSnapshot& p) { p.state = PowerState::charging; },
                              +[](PowerSnapshot& p) { p.isExternalConnected = true; }}) {
        PowerSnapshot previous = onBattery();
        change(previous);
        EXPECT_EQ(smoothed(raw, previous), raw);
    }
    PowerSnapshot unavailable = PowerSnapshot::unavailable(Date{}), before = unavailable; // both unavailable
    std::tie(unavailable.systemWatts, before.systemWatts) = std::pair(5.0, 4.5);
    EXPECT_EQ(smoothed(unavailable, before), unavailable);
    // A switch between a measured and an estimated figure shows the new figure at once.
    raw.batteryWattsIsEstimated = true;
    EXPECT_EQ(describe(smoothed(raw, onBattery())), "12.28 -1056 -10.5 10 1 30 ");
    std::swap(raw.batteryWattsIsEstimated, raw.currentMilliampsIsEstimated);
    EXPECT_EQ(describe(smoothed(raw, onBattery())), "12.28 -1100 -10 10 1 30 ");
}

TEST(MenuBarTitleTest, RoundsTheHeadlineOrNamesTheProduct) {
    EXPECT_EQ(menuBarTitle(PowerSnapshot::unavailable(Date{})), "Voltrane");
    PowerSnapshot snapshot = onBattery();
    for (const auto& [watts, title] : {std::pair{-7.4, "7 W"}, {-7.6, "8 W"}, {kNaN, "\u2014 W"}}) {
        snapshot.batteryWatts = watts;
        EXPECT_EQ(menuBarTitle(snapshot), title);
    }
}

} // namespace
} // namespace voltrane
