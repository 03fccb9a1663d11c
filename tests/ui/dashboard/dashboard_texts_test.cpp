#include "support/param_name.h"
#include "ui/dashboard/dashboard_texts.h"
#include "ui/dashboard/state_style.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <ostream>

namespace voltrane {

void PrintTo(const MetricTile& tile, std::ostream* out) {
    *out << '{' << tile.title << ", " << tile.value << ", " << tile.unit << ", " << tile.detail << ", "
         << tile.symbol << ", " << VoltranePalette::name(tile.tint) << '}';
}

void PrintTo(const StateStyle& style, std::ostream* out) {
    *out << '{' << style.symbol << ", " << style.label << ", " << VoltranePalette::name(style.color) << '}';
}

namespace {

using std::nullopt;
using std::optional;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

PowerSnapshot withState(PowerState state) {
    PowerSnapshot snapshot;
    snapshot.state = state;
    snapshot.isExternalConnected = state == PowerState::charged || state == PowerState::pluggedIn;
    return snapshot;
}

// Header and detail texts by state, battery power and the two estimate flags.
struct HeaderCase {
    const char* name;
    PowerState state;
    optional<double> batteryWatts;
    bool wattsEstimated;
    bool currentEstimated;
    const char* title;
    const char* detail;
    const char* current;
};

class HeaderTextsTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTextsTest, FollowTheStateTables) {
    const auto& c = GetParam();
    PowerSnapshot snapshot = withState(c.state);
    snapshot.batteryWatts = c.batteryWatts;
    snapshot.batteryWattsIsEstimated = c.wattsEstimated;
    snapshot.currentMilliampsIsEstimated = c.currentEstimated;
    EXPECT_EQ(headlineTitle(snapshot), c.title);
    EXPECT_EQ(headlineDetail(snapshot), c.detail);
    EXPECT_EQ(currentDetail(snapshot), c.current);
}

INSTANTIATE_TEST_SUITE_P(
    States, HeaderTextsTest,
    ::testing::Values(HeaderCase{"Charging", PowerState::charging, 20.0, false, false, "电池充电功率",
                                 "流入电池", "流入电池"},
                      HeaderCase{"Charged", PowerState::charged, 0.0, false, false, "系统实时功率",
                                 "当前系统负载", "电池已停止充电"},
                      HeaderCase{"PluggedInAtExactlyIdle", PowerState::pluggedIn, 0.2, false, false,
                                 "系统实时功率", "当前系统负载", "由外接电源供电"},
                      HeaderCase{"PluggedInAboveIdle", PowerState::pluggedIn, 0.25, false, false,
                                 "电池入流功率", "外接电源仍在向电池供能", "仍有电流流入电池"},
                      HeaderCase{"PluggedInWithoutBatteryPower", PowerState::pluggedIn, nullopt, false, false,
                                 "系统实时功率", "当前系统负载", "由外接电源供电"},
                      HeaderCase{"PluggedInNaNBatteryPowerCountsIdle", PowerState::pluggedIn, kNaN, false,
                                 false, "系统实时功率", "当前系统负载", "由外接电源供电"},
                      HeaderCase{"PluggedInDischargingCountsIdle", PowerState::pluggedIn, -5.0, false, false,
                                 "系统实时功率", "当前系统负载", "由外接电源供电"},
                      HeaderCase{"OnBatteryMeasured", PowerState::onBattery, -9.0, false, false,
                                 "电池输出功率", "电池供给系统", "从电池流出"},
                      HeaderCase{"OnBatteryPowerEstimated", PowerState::onBattery, -9.0, true, false,
                                 "电池输出功率", "按系统负载即时估算", "从电池流出"},
                      HeaderCase{"OnBatteryCurrentEstimated", PowerState::onBattery, -9.0, false, true,
                                 "电池输出功率", "电池供给系统", "按功率与电压即时估算"},
                      HeaderCase{"EstimateFlagsIgnoredWhileCharging", PowerState::charging, 9.0, true, true,
                                 "电池充电功率", "流入电池", "流入电池"},
                      HeaderCase{"Unavailable", PowerState::unavailable, 5.0, false, false, "当前功率",
                                 "正在读取 IOKit", "暂无数据"}),
    voltrane::testing::ParamName());

struct RemainingCase {
    const char* name;
    PowerState state;
    optional<int> minutes;
    const char* expected;
};

class BatteryMetricDetailTest : public ::testing::TestWithParam<RemainingCase> {};

TEST_P(BatteryMetricDetailTest, TellsRemainingTimeOrStateLabel) {
    PowerSnapshot snapshot = withState(GetParam().state);
    snapshot.batteryTimeRemainingMinutes = GetParam().minutes;
    EXPECT_EQ(batteryMetricDetail(snapshot), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Minutes, BatteryMetricDetailTest,
    ::testing::Values(RemainingCase{"OneMinute", PowerState::onBattery, 1, "预计续航 1 分钟"},
                      RemainingCase{"FiftyNine", PowerState::onBattery, 59, "预计续航 59 分钟"},
                      RemainingCase{"Sixty", PowerState::onBattery, 60, "预计续航 1 小时"},
                      RemainingCase{"SixtyOne", PowerState::onBattery, 61, "预计续航 1 小时 1 分"},
                      RemainingCase{"HundredTwenty", PowerState::onBattery, 120, "预计续航 2 小时"},
                      RemainingCase{"HundredThirtyFive", PowerState::onBattery, 135, "预计续航 2 小时 15 分"},
                      RemainingCase{"ManyHoursNoGrouping", PowerState::onBattery, 60012,
                                    "预计续航 1000 小时 12 分"},
                      RemainingCase{"Zero", PowerState::onBattery, 0, "正在使用电池"},
                      RemainingCase{"Negative", PowerState::onBattery, -5, "正在使用电池"},
                      RemainingCase{"Absent", PowerState::onBattery, nullopt, "正在使用电池"},
                      RemainingCase{"ChargingIgnoresMinutes", PowerState::charging, 45, "正在充电"},
                      RemainingCase{"Charged", PowerState::charged, nullopt, "电池已充满"},
                      RemainingCase{"PluggedIn", PowerState::pluggedIn, 90, "已接入电源"},
                      RemainingCase{"Unavailable", PowerState::unavailable, 30, "等待电源数据"}),
    voltrane::testing::ParamName());

// Each tile's texts; the cases name the tile they look at.
struct TileCase {
    const char* name;
    PowerSnapshot snapshot;
    std::size_t index;
    MetricTile expected;
};

class MetricTilesTest : public ::testing::TestWithParam<TileCase> {};

TEST_P(MetricTilesTest, FormatsFigureAndPicksTexts) {
    EXPECT_EQ(metricTiles(GetParam().snapshot)[GetParam().index], GetParam().expected);
}

PowerSnapshot onBattery(optional<double> current, optional<double> volts, optional<int> charge) {
    PowerSnapshot snapshot = withState(PowerState::onBattery);
    snapshot.batteryWatts = -9.87;
    snapshot.currentMilliamps = current;
    snapshot.voltageVolts = volts;
    snapshot.chargePercent = charge;
    return snapshot;
}

PowerSnapshot charging(double current) {
    PowerSnapshot snapshot = withState(PowerState::charging);
    snapshot.batteryWatts = 14.04;
    snapshot.currentMilliamps = current;
    snapshot.chargePercent = 100;
    return snapshot;
}

INSTANTIATE_TEST_SUITE_P(
    Tiles, MetricTilesTest,
    ::testing::Values(
        TileCase{"HeadlineOneDecimalOfMagnitude",
                 onBattery(-850, 11.4, 80),
                 0,
                 {"电池输出功率", "9.9", "W", "电池供给系统", "waveform.path.ecg", PaletteColor::warning}},
        TileCase{"HeadlineMissingIsDash",
                 PowerSnapshot::unavailable({}),
                 0,
                 {"当前功率", "\u2014", "W", "正在读取 IOKit", "waveform.path.ecg", PaletteColor::textMuted}},
        TileCase{"VoltageTwoDecimals",
                 onBattery(-850, 3.8, 80),
                 1,
                 {"电池电压", "3.80", "V", "实时电池组电压", "bolt.horizontal.fill", PaletteColor::accent}},
        TileCase{"VoltageNaNKeepsPresenceDetail",
                 onBattery(-850, kNaN, 80),
                 1,
                 {"电池电压", "\u2014", "V", "实时电池组电压", "bolt.horizontal.fill", PaletteColor::accent}},
        TileCase{"VoltageAbsent",
                 onBattery(-850, nullopt, 80),
                 1,
                 {"电池电压", "\u2014", "V", "暂无数据", "bolt.horizontal.fill", PaletteColor::accent}},
        TileCase{"DischargeCurrentDropsSign",
                 onBattery(-85.4, 11.4, 80),
                 2,
                 {"充放电电流", "85", "mA", "从电池流出", "arrow.down.right", PaletteColor::warning}},
        TileCase{"SmallDischargeShowsNoMinusZero",
                 onBattery(-0.3, 11.4, 80),
                 2,
                 {"充放电电流", "0", "mA", "从电池流出", "arrow.down.right", PaletteColor::warning}},
        TileCase{"ChargeCurrentPointsUp",
                 charging(1200),
                 2,
                 {"充放电电流", "1200", "mA", "流入电池", "arrow.up.right", PaletteColor::accent}},
        TileCase{"CurrentInfiniteIsDash",
                 charging(std::numeric_limits<double>::infinity()),
                 2,
                 {"充放电电流", "\u2014", "mA", "流入电池", "arrow.up.right", PaletteColor::accent}},
        TileCase{"ChargePlainInteger",
                 charging(1200),
                 3,
                 {"电池电量", "100", "%", "正在充电", "bolt.fill", PaletteColor::accent}},
        TileCase{"ChargeOnBatterySingleDigit",
                 onBattery(-850, 11.4, 7),
                 3,
                 {"电池电量", "7", "%", "正在使用电池", "battery.75percent", PaletteColor::warning}},
        TileCase{
            "ChargeAbsent",
            PowerSnapshot::unavailable({}),
            3,
            {"电池电量", "\u2014", "%", "等待电源数据", "questionmark.circle", PaletteColor::textMuted}}),
    voltrane::testing::ParamName());

TEST(MetricTilesTest, UnavailableSnapshotReadsAsPlaceholders) {
    const auto tiles = metricTiles(PowerSnapshot::unavailable({}));
    EXPECT_EQ(tiles[0].accessibilityLabel(), "当前功率，\u2014 W，正在读取 IOKit");
    EXPECT_EQ(tiles[1].accessibilityLabel(), "电池电压，\u2014 V，暂无数据");
    EXPECT_EQ(tiles[2].accessibilityLabel(), "充放电电流，\u2014 mA，暂无数据");
    EXPECT_EQ(tiles[3].accessibilityLabel(), "电池电量，\u2014 %，等待电源数据");
    EXPECT_EQ(tiles[2].tint, PaletteColor::textMuted);
}

TEST(MetricTilesTest, AccessibilityLabelUsesFullWidthCommasAndOneBlank) {
    const MetricTile tile{"系统实时功率",      "12.3", "W", "当前系统负载", "waveform.path.ecg",
                          PaletteColor::accent};
    EXPECT_EQ(tile.accessibilityLabel(), "系统实时功率\uFF0C12.3 W\uFF0C当前系统负载");
}

TEST(MetricTilesTest, PluggedInHeadlineFigureAgreesWithTitle) {
    PowerSnapshot snapshot = withState(PowerState::pluggedIn);
    snapshot.systemWatts = 7.0;
    snapshot.batteryWatts = 0.2;
    EXPECT_EQ(metricTiles(snapshot)[0].value, "7.0");
    snapshot.batteryWatts = 0.25;
    EXPECT_EQ(metricTiles(snapshot)[0].value, "0.2"); // "%.1f" of 0.25 rounds to even
    EXPECT_EQ(metricTiles(snapshot)[0].title, "电池入流功率");
}

TEST(SampleTimeTextTest, UnavailableIsNotYetSampled) {
    int calls = 0;
    const TimeFormatter formatter = [&calls](Date) {
        ++calls;
        return std::string("14:03:27");
    };
    EXPECT_EQ(sampleTimeText(PowerSnapshot::unavailable({}), formatter), "尚未采样");
    EXPECT_EQ(calls, 0);
}

TEST(SampleTimeTextTest, PrefixesTheFormattedSampleTime) {
    PowerSnapshot snapshot = withState(PowerState::charged);
    snapshot.sampledAt = Date{std::chrono::seconds(1'000)};
    Date seen{};
    const std::string text = sampleTimeText(snapshot, [&seen](Date at) {
        seen = at;
        return std::string("14:03:27");
    });
    EXPECT_EQ(text, "更新于 14:03:27");
    EXPECT_EQ(seen, snapshot.sampledAt);
}

struct StyleCase {
    const char* name;
    PowerState state;
    StateStyle style;
    const char* trayIcon;
};

class StateStyleTest : public ::testing::TestWithParam<StyleCase> {};

TEST_P(StateStyleTest, EveryStateHasItsSymbolLabelAndColour) {
    EXPECT_EQ(stateStyle(GetParam().state), GetParam().style);
    EXPECT_EQ(stateColor(GetParam().state), GetParam().style.color);
    EXPECT_STREQ(menuBarSymbol(GetParam().state), GetParam().trayIcon);
    // The pill's label doubles as the charge tile's detail whenever no remaining time is shown.
    EXPECT_EQ(batteryMetricDetail(withState(GetParam().state)), GetParam().style.label);
}

INSTANTIATE_TEST_SUITE_P(
    States, StateStyleTest,
    ::testing::Values(StyleCase{"Charging",
                                PowerState::charging,
                                {"bolt.fill", "正在充电", PaletteColor::accent},
                                "battery.100percent.bolt"},
                      StyleCase{"Charged",
                                PowerState::charged,
                                {"battery.100percent", "电池已充满", PaletteColor::accent},
                                "battery.100percent"},
                      StyleCase{"PluggedIn",
                                PowerState::pluggedIn,
                                {"powerplug.fill", "已接入电源", PaletteColor::accent},
                                "powerplug.fill"},
                      StyleCase{"OnBattery",
                                PowerState::onBattery,
                                {"battery.75percent", "正在使用电池", PaletteColor::warning},
                                "battery.75percent"},
                      StyleCase{"Unavailable",
                                PowerState::unavailable,
                                {"questionmark.circle", "等待电源数据", PaletteColor::textMuted},
                                "bolt.slash"}),
    voltrane::testing::ParamName());

} // namespace
} // namespace voltrane
