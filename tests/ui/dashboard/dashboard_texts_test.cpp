#include "common/platform_texts.h"
#include "support/param_name.h"
#include "ui/dashboard/dashboard_texts.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

using std::nullopt;
using std::optional;
using enum PowerState;
using enum PaletteColor;
using voltrane::testing::ParamName;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

PowerSnapshot snapshotOf(PowerState state, optional<double> batteryWatts = nullopt) {
    PowerSnapshot snapshot;
    snapshot.state = state;
    snapshot.isExternalConnected = state == charged || state == pluggedIn;
    snapshot.batteryWatts = batteryWatts;
    return snapshot;
}

struct HeaderCase {
    const char* name;
    PowerState state;
    optional<double> batteryWatts;
    bool wattsEstimated, currentEstimated;
    std::string texts; ///< headline title | headline detail | current detail
};

class HeaderTextsTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTextsTest, FollowTheStateTables) {
    const auto& c = GetParam();
    PowerSnapshot snapshot = snapshotOf(c.state, c.batteryWatts);
    snapshot.batteryWattsIsEstimated = c.wattsEstimated;
    snapshot.currentMilliampsIsEstimated = c.currentEstimated;
    EXPECT_EQ(headlineTitle(snapshot) + "|" + headlineDetail(snapshot) + "|" + currentDetail(snapshot),
              c.texts);
}

// The estimate flags only matter on battery; 0.2 W is idle, compared strictly.
INSTANTIATE_TEST_SUITE_P(
    States, HeaderTextsTest,
    ::testing::Values(
        HeaderCase{"Charging", charging, 9.0, true, true, "电池充电功率|流入电池|流入电池"},
        HeaderCase{"Charged", charged, 0.0, false, false, "系统实时功率|当前系统负载|电池已停止充电"},
        HeaderCase{"PluggedInAtIdle", pluggedIn, 0.2, false, false,
                   "系统实时功率|当前系统负载|由外接电源供电"},
        HeaderCase{"PluggedInAboveIdle", pluggedIn, 0.25, false, false,
                   "电池入流功率|外接电源仍在向电池供能|仍有电流流入电池"},
        HeaderCase{"PluggedInAbsent", pluggedIn, nullopt, false, false,
                   "系统实时功率|当前系统负载|由外接电源供电"},
        HeaderCase{"OnBattery", onBattery, -9.0, false, false, "电池输出功率|电池供给系统|从电池流出"},
        HeaderCase{"OnBatteryPowerEstimated", onBattery, -9.0, true, false,
                   "电池输出功率|按系统负载即时估算|从电池流出"},
        HeaderCase{"OnBatteryCurrentEstimated", onBattery, -9.0, false, true,
                   "电池输出功率|电池供给系统|按功率与电压即时估算"},
        HeaderCase{"Unavailable", unavailable, 5.0, false, false, std::string("当前功率|") + readingSourceText() + "|暂无数据"}),
    ParamName());

struct RemainingCase {
    const char* name;
    PowerState state;
    optional<int> minutes;
    const char* expected;
};

class BatteryMetricDetailTest : public ::testing::TestWithParam<RemainingCase> {};

TEST_P(BatteryMetricDetailTest, TellsRemainingTimeOrStateLabel) {
    PowerSnapshot snapshot = snapshotOf(GetParam().state);
    snapshot.batteryTimeRemainingMinutes = GetParam().minutes;
    EXPECT_EQ(batteryMetricDetail(snapshot), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Minutes, BatteryMetricDetailTest,
                         ::testing::Values(RemainingCase{"One", onBattery, 1, "预计续航 1 分钟"},
                                           RemainingCase{"FiftyNine", onBattery, 59, "预计续航 59 分钟"},
                                           RemainingCase{"Sixty", onBattery, 60, "预计续航 1 小时"},
                                           RemainingCase{"SixtyOne", onBattery, 61, "预计续航 1 小时 1 分"},
                                           RemainingCase{"NoGrouping", onBattery, 60012,
                                                         "预计续航 1000 小时 12 分"},
                                           RemainingCase{"Zero", onBattery, 0, "正在使用电池"},
                                           RemainingCase{"Absent", onBattery, nullopt, "正在使用电池"},
                                           RemainingCase{"ChargingIgnoresMinutes", charging, 45, "正在充电"}),
                         ParamName());

PowerSnapshot tiled(PowerState state, optional<double> current, optional<double> volts,
                    optional<int> charge) {
    PowerSnapshot snapshot = snapshotOf(state, state == onBattery ? -9.87 : 14.04);
    snapshot.currentMilliamps = current;
    snapshot.voltageVolts = volts;
    snapshot.chargePercent = charge;
    return snapshot;
}

const PowerSnapshot kDrawing = tiled(onBattery, -85.4, 3.8, 7);
const PowerSnapshot kCharging = tiled(charging, 1200, 11.4, 100);
const PowerSnapshot kUnavailable = PowerSnapshot::unavailable({});

/// One tile of a snapshot: its figure, detail, symbol and tint (titles and units are fixed).
struct TileCase {
    const char* name;
    PowerSnapshot snapshot;
    std::size_t index;
    std::string texts; ///< value | detail | symbol
    PaletteColor tint;
};

class MetricTilesTest : public ::testing::TestWithParam<TileCase> {};

TEST_P(MetricTilesTest, FormatsFigureAndPicksTexts) {
    const MetricTile tile = metricTiles(GetParam().snapshot)[GetParam().index];
    EXPECT_EQ(tile.value + "|" + tile.detail + "|" + tile.symbol, GetParam().texts);
    EXPECT_EQ(VoltranePalette::name(tile.tint), VoltranePalette::name(GetParam().tint));
}

INSTANTIATE_TEST_SUITE_P(
    Tiles, MetricTilesTest,
    ::testing::Values(
        TileCase{"HeadlineOneDecimal", kDrawing, 0, "9.9|电池供给系统|waveform.path.ecg", warning},
        TileCase{"VoltageTwoDecimals", kDrawing, 1, "3.80|实时电池组电压|bolt.horizontal.fill", accent},
        TileCase{"VoltageNaN", tiled(onBattery, -850, kNaN, 80), 1,
                 "\u2014|实时电池组电压|bolt.horizontal.fill", accent},
        TileCase{"VoltageAbsent", tiled(charging, 850, nullopt, 80), 1,
                 "\u2014|暂无数据|bolt.horizontal.fill", accent},
        TileCase{"DischargeDropsSign", kDrawing, 2, "85|从电池流出|arrow.down.right", warning},
        TileCase{"SmallDischargeNoMinusZero", tiled(onBattery, -0.3, 11.4, 80), 2,
                 "0|从电池流出|arrow.down.right", warning},
        TileCase{"ChargeCurrentPointsUp", kCharging, 2, "1200|流入电池|arrow.up.right", accent},
        TileCase{"CurrentInfinite", tiled(charging, kInf, 11.4, 100), 2, "\u2014|流入电池|arrow.up.right",
                 accent},
        TileCase{"ChargeCharging", kCharging, 3, "100|正在充电|bolt.fill", accent},
        TileCase{"ChargeOnBattery", kDrawing, 3, "7|正在使用电池|battery.75percent", warning},
        TileCase{"UnavailableHeadline", kUnavailable, 0, std::string("\u2014|") + readingSourceText() + "|waveform.path.ecg",
                 textMuted},
        TileCase{"UnavailableVoltage", kUnavailable, 1, "\u2014|暂无数据|bolt.horizontal.fill", accent},
        TileCase{"UnavailableCurrent", kUnavailable, 2, "\u2014|暂无数据|arrow.up.right", textMuted},
        TileCase{"UnavailableCharge", kUnavailable, 3, "\u2014|等待电源数据|questionmark.circle", textMuted}),
    ParamName());

TEST(MetricTilesTest, PluggedInHeadlineFigureAgreesWithTitle) {
    PowerSnapshot snapshot = snapshotOf(pluggedIn, 0.2);
    snapshot.systemWatts = 7.0;
    EXPECT_EQ(metricTiles(snapshot)[0].value, "7.0");
    snapshot.batteryWatts = 0.25;
    EXPECT_EQ(metricTiles(snapshot)[0].value, "0.2"); // "%.1f" of 0.25 rounds to even
}

TEST(SampleTimeTextTest, PrefixesTheSampleTimeOnlyOnceSampled) {
    std::vector<Date> asked;
    const TimeFormatter formatter = [&asked](Date at) {
        asked.push_back(at);
        return std::string("14:03:27");
    };
    EXPECT_EQ(sampleTimeText(kUnavailable, formatter), "尚未采样");
    PowerSnapshot snapshot = snapshotOf(charged);
    snapshot.sampledAt = Date{std::chrono::seconds(1'000)};
    EXPECT_EQ(sampleTimeText(snapshot, formatter), "更新于 14:03:27");
    EXPECT_EQ(asked, std::vector<Date>{snapshot.sampledAt});
}

} // namespace
} // namespace voltrane
