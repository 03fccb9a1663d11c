#include "common/platform_texts.h"
#include "ui/dashboard/dashboard_texts.h"
#include "ui/dashboard/state_style.h"
#include "ui/dashboard/status_summary.h"
#include "ui/flow/flow_texts.h"

#include <gtest/gtest.h>
#include <limits>
#include <tuple>

namespace voltrane {
namespace {

using std::nullopt;
using std::optional;
using std::string;
using enum PowerState;
using enum PaletteColor;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
template <typename... T> using Rows = std::initializer_list<std::tuple<T...>>;

PowerSnapshot snapshotOf(PowerState state, optional<double> batteryWatts = nullopt) {
    PowerSnapshot snapshot;
    std::tie(snapshot.state, snapshot.isExternalConnected, snapshot.batteryWatts) =
        std::tuple(state, state == charged || state == pluggedIn, batteryWatts);
    return snapshot;
}

// The estimate flags only matter on battery; 0.2 W is idle, compared strictly.
TEST(DashboardTexts, HeaderFollowsTheState) {
    // headline title | headline detail | current detail
    for (const auto& [state, watts, wattsEstimated, currentEstimated, texts] :
         Rows<PowerState, optional<double>, bool, bool, string>{
             {charging, 9.0, true, true, "电池充电功率|流入电池|流入电池"},
             {charged, 0.0, false, false, "系统实时功率|当前系统负载|电池已停止充电"},
             {pluggedIn, 0.2, false, false, "系统实时功率|当前系统负载|由外接电源供电"},
             {pluggedIn, 0.25, false, false, "电池入流功率|外接电源仍在向电池供能|仍有电流流入电池"},
             {pluggedIn, nullopt, false, false, "系统实时功率|当前系统负载|由外接电源供电"},
             {onBattery, -9.0, false, false, "电池输出功率|电池供给系统|从电池流出"},
             {onBattery, -9.0, true, false, "电池输出功率|按系统负载即时估算|从电池流出"},
             {onBattery, -9.0, false, true, "电池输出功率|电池供给系统|按功率与电压即时估算"},
             {unavailable, 5.0, false, false, string("当前功率|") + readingSourceText() + "|暂无数据"}}) {
        PowerSnapshot snapshot = snapshotOf(state, watts);
        std::tie(snapshot.batteryWattsIsEstimated, snapshot.currentMilliampsIsEstimated) =
            std::pair(wattsEstimated, currentEstimated);
        EXPECT_EQ(headlineTitle(snapshot) + "|" + headlineDetail(snapshot) + "|" + currentDetail(snapshot),
                  texts);
    }
}

TEST(DashboardTexts, BatteryDetailTellsRemainingTimeOrState) {
    for (const auto& [state, minutes, expected] :
         Rows<PowerState, optional<int>, string>{{onBattery, 1, "预计续航 1 分钟"},
                                                 {onBattery, 59, "预计续航 59 分钟"},
                                                 {onBattery, 60, "预计续航 1 小时"},
                                                 {onBattery, 61, "预计续航 1 小时 1 分"},
                                                 {onBattery, 60012, "预计续航 1000 小时 12 分"},
                                                 {onBattery, 0, "正在使用电池"},
                                                 {onBattery, nullopt, "正在使用电池"},
                                                 {charging, 45, "正在充电"}}) {
        PowerSnapshot snapshot = snapshotOf(state);
        snapshot.batteryTimeRemainingMinutes = minutes;
        EXPECT_EQ(batteryMetricDetail(snapshot), expected) << minutes.value_or(-1);
    }
}

PowerSnapshot tiled(PowerState state, optional<double> current, optional<double> volts,
                    optional<int> charge) {
    PowerSnapshot snapshot = snapshotOf(state, state == onBattery ? -9.87 : 14.04);
    std::tie(snapshot.currentMilliamps, snapshot.voltageVolts, snapshot.chargePercent) =
        std::tuple(current, volts, charge);
    return snapshot;
}

TEST(DashboardTexts, TilesFormatTheFigureAndPickTexts) {
    const PowerSnapshot drawing = tiled(onBattery, -85.4, 3.8, 7);
    const PowerSnapshot charging100 = tiled(charging, 1200, 11.4, 100);
    const PowerSnapshot none = PowerSnapshot::unavailable({});
    // value | detail | symbol, and tint
    for (const auto& [snapshot, index, texts, tint] : Rows<PowerSnapshot, std::size_t, string, PaletteColor>{
             {drawing, 0, "9.9|电池供给系统|waveform.path.ecg", warning},
             {drawing, 1, "3.80|实时电池组电压|bolt.horizontal.fill", accent},
             {tiled(onBattery, -850, kNaN, 80), 1, "\u2014|实时电池组电压|bolt.horizontal.fill", accent},
             {tiled(charging, 850, nullopt, 80), 1, "\u2014|暂无数据|bolt.horizontal.fill", accent},
             {drawing, 2, "85|从电池流出|arrow.down.right", warning},
             {tiled(onBattery, -0.3, 11.4, 80), 2, "0|从电池流出|arrow.down.right", warning},
             {charging100, 2, "1200|流入电池|arrow.up.right", accent},
             {tiled(charging, kInf, 11.4, 100), 2, "\u2014|流入电池|arrow.up.right", accent},
             {charging100, 3, "100|正在充电|bolt.fill", accent},
             {drawing, 3, "7|正在使用电池|battery.75percent", warning},
             {none, 0, string("\u2014|") + readingSourceText() + "|waveform.path.ecg", textMuted},
             {none, 1, "\u2014|暂无数据|bolt.horizontal.fill", accent},
             {none, 2, "\u2014|暂无数据|arrow.up.right", textMuted},
             {none, 3, "\u2014|等待电源数据|questionmark.circle", textMuted}}) {
        const MetricTile tile = metricTiles(snapshot)[index];
        EXPECT_EQ(tile.value + "|" + tile.detail + "|" + tile.symbol, texts);
        EXPECT_STREQ(VoltranePalette::name(tile.tint), VoltranePalette::name(tint)) << texts;
    }
    PowerSnapshot idle = snapshotOf(pluggedIn, 0.2);
    idle.systemWatts = 7.0;
    EXPECT_EQ(metricTiles(idle)[0].value, "7.0");
    idle.batteryWatts = 0.25;
    EXPECT_EQ(metricTiles(idle)[0].value, "0.2"); // "%.1f" of 0.25 rounds to even
}

TEST(DashboardTexts, ADesktopOnMainsSaysThereIsNoBattery) {
    PowerSnapshot s = PowerSnapshot::unavailable(Date{});
    s.isExternalConnected = true;
    const auto tiles = metricTiles(s);
    const StatusSummary summary(s);
    EXPECT_EQ(string(stateStyle(s).symbol) + " " + string(stateStyle(s).label) + " | " + tiles[0].detail +
                  " | " + tiles[3].symbol + " " + tiles[3].detail + " | " + string(summary.symbol()) + " " +
                  summary.primaryText() + " | " + menuBarSymbol(s) + " | " +
                  sampleTimeText(s, [](Date) { return string("14:03:27"); }),
              "powerplug.fill 未检测到电池 | 由外接电源供电 | powerplug.fill 未检测到电池 | "
              "powerplug.fill 由外接电源供电，未检测到电池 | powerplug.fill | 更新于 14:03:27");
    EXPECT_EQ(sampleTimeText(PowerSnapshot::unavailable({}), {}), "尚未采样"); // without mains: not yet read
}

// The status line marks an estimate; the flow shows the magnitude alone.
TEST(StatusSummary, WattsShowTheMagnitudeOrADash) {
    for (const auto& [watts, estimated, status, flow] :
         Rows<optional<double>, bool, const char*, const char*>{{12.34, false, "12.3 W", "12.3 W"},
                                                                {-9.87, true, "\u2248 9.9 W", "9.9 W"},
                                                                {-0.04, false, "0.0 W", "0.0 W"},
                                                                {nullopt, true, "\u2014 W", "\u2014 W"},
                                                                {kNaN, true, "\u2248 \u2014 W", "\u2014 W"},
                                                                {-kInf, false, "\u2014 W", "\u2014 W"}}) {
        EXPECT_EQ(StatusSummary::watts(watts, estimated), status);
        EXPECT_EQ(flowWattsText(watts), flow);
    }
}

// Only the on-battery sentence marks an estimate with "≈ ".
TEST(StatusSummary, PrimarySaysWhereThePowerGoes) {
    for (const auto& [state, battery, estimated, system, input, expected] :
         Rows<PowerState, optional<double>, bool, optional<double>, optional<double>, const char*>{
             {charging, 20.06, false, 9.0, 30.0, "正以 20.1 W 为电池充电"},
             {charging, -3.24, true, 9.0, 30.0, "正以 3.2 W 为电池充电"},
             {charged, 0.0, false, -8.44, 30.0, "电池已充满，系统使用 8.4 W"},
             {pluggedIn, 0.2, false, 8.0, 31.96, "外接电源正在提供 32.0 W"},
             {pluggedIn, 0.25, false, 8.0, 31.96, "外接电源供给系统，另有 0.2 W 流入电池"},
             {onBattery, -9.87, false, 9.0, nullopt, "电池正在输出 9.9 W"},
             {onBattery, -9.87, true, 9.0, nullopt, "电池正在输出 \u2248 9.9 W"},
             {unavailable, 5.0, false, 9.0, 30.0, "暂时无法读取电源遥测"}}) {
        PowerSnapshot snapshot = snapshotOf(state, battery);
        std::tie(snapshot.batteryWattsIsEstimated, snapshot.systemWatts, snapshot.inputWatts) =
            std::tuple(estimated, system, input);
        EXPECT_EQ(StatusSummary(snapshot).primaryText(), expected);
    }
}

TEST(StatusSummary, SecondaryJoinsThePresentParts) {
    for (const auto& [temperature, cycles, adapter, external, expected] :
         Rows<optional<double>, optional<std::int64_t>, optional<double>, bool, const char*>{
             {nullopt, nullopt, nullopt, true, "数据直接来自本机电源管理系统"},
             {31.26, 412, 96.4, true, "电池 31.3\u2103  \u00B7  循环 412 次  \u00B7  适配器 96 W"},
             {-2.0, 412, 96.4, false, "电池 -2.0\u2103  \u00B7  循环 412 次"},
             {nullopt, nullopt, 96.0, false, "数据直接来自本机电源管理系统"},
             {nullopt, 0, nullopt, true, "循环 0 次"},
             {kNaN, nullopt, kInf, true, "电池 \u2014\u2103  \u00B7  适配器 \u2014 W"}}) {
        PowerSnapshot snapshot = snapshotOf(pluggedIn);
        std::tie(snapshot.temperatureCelsius, snapshot.cycleCount, snapshot.adapterRatedWatts,
                 snapshot.isExternalConnected) = std::tuple(temperature, cycles, adapter, external);
        EXPECT_EQ(StatusSummary(snapshot).secondaryText(), expected);
    }
}

TEST(FlowTexts, DetailPrefixesTheShareOfTheSource) {
    // NaN passes the presence tests; its share cannot be formatted.
    const Rows<optional<double>, optional<double>, const char*> rows = {
        {3.7, 10.0, "37% · 估算"}, {0.4, 0.8, "50% · 估算"},      {5.0, 4.0, "100% · 估算"},
        {5.0, 0.0, "估算"},        {5.0, nullopt, "估算"},        {0.0, 10.0, "估算"},
        {5.0, kInf, "0% · 估算"},  {kNaN, 10.0, "\u2014% · 估算"}};
    for (const auto& [watts, source, expected] : rows) {
        const SankeyDestination destination{SankeyDestination::ID::cpu, "", "", watts, "估算"};
        EXPECT_EQ(destinationDetailText(destination, source), expected);
    }
}

// A text about the system speaks of a Mac exactly when built for one; elsewhere the note on
// missing component figures points to the README's section on them.
TEST(PlatformFactsTest, TextsStateTheFactsOfThePlatformBuiltFor) {
#ifdef __APPLE__
    constexpr bool mac = true;
#else
    constexpr bool mac = false;
#endif
    for (const string& text :
         {string(infoSourcesText()) + infoComponentsText() + infoFieldsText(),
          string(analyticsContentsText()), headlineDetail(PowerSnapshot::unavailable({}))}) {
        const bool speaksOfAMac = text.find("Mac") != string::npos || text.find("Apple") != string::npos ||
                                  text.find("IOKit") != string::npos || text.find("ANE") != string::npos;
        EXPECT_EQ(speaksOfAMac, mac) << text;
    }
    EXPECT_EQ(string(componentsUnavailableText()).find("Component power on Linux") != string::npos, !mac);
}

} // namespace
} // namespace voltrane
