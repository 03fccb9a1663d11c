#include "support/param_name.h"
#include "ui/dashboard/status_summary.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

using std::nullopt;
using std::optional;
using enum PowerState;
using voltrane::testing::ParamName;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(StatusSummaryTest, WattsFormatsMagnitudeWithOptionalEstimateMark) {
    EXPECT_EQ(StatusSummary::watts(nullopt, true), "\u2014 W");
    EXPECT_EQ(StatusSummary::watts(12.34, false), "12.3 W");
    EXPECT_EQ(StatusSummary::watts(-9.87, true), "\u2248 9.9 W");
    EXPECT_EQ(StatusSummary::watts(kNaN, true), "\u2248 \u2014 W");
    EXPECT_EQ(StatusSummary::watts(-kInf, false), "\u2014 W");
}

struct PrimaryCase {
    const char* name;
    PowerState state;
    optional<double> battery;
    bool estimated;
    optional<double> system, input;
    const char* expected;
};

class PrimaryTextTest : public ::testing::TestWithParam<PrimaryCase> {};

TEST_P(PrimaryTextTest, SaysWhereThePowerGoes) {
    const auto& c = GetParam();
    PowerSnapshot snapshot;
    snapshot.state = c.state;
    snapshot.batteryWatts = c.battery;
    snapshot.batteryWattsIsEstimated = c.estimated;
    snapshot.systemWatts = c.system;
    snapshot.inputWatts = c.input;
    EXPECT_EQ(StatusSummary(snapshot).primaryText(), c.expected);
}

// Only the on-battery sentence marks an estimate with "≈ ".
INSTANTIATE_TEST_SUITE_P(
    States, PrimaryTextTest,
    ::testing::Values(
        PrimaryCase{"Charging", charging, 20.06, false, 9.0, 30.0, "正以 20.1 W 为电池充电"},
        PrimaryCase{"ChargingEstimateNegative", charging, -3.24, true, 9.0, 30.0, "正以 3.2 W 为电池充电"},
        PrimaryCase{"Charged", charged, 0.0, false, -8.44, 30.0, "电池已充满，系统使用 8.4 W"},
        PrimaryCase{"PluggedInAtIdle", pluggedIn, 0.2, false, 8.0, 31.96, "外接电源正在提供 32.0 W"},
        PrimaryCase{"PluggedInAboveIdle", pluggedIn, 0.25, false, 8.0, 31.96,
                    "外接电源供给系统，另有 0.2 W 流入电池"},
        PrimaryCase{"OnBatteryMeasured", onBattery, -9.87, false, 9.0, nullopt, "电池正在输出 9.9 W"},
        PrimaryCase{"OnBatteryEstimated", onBattery, -9.87, true, 9.0, nullopt, "电池正在输出 \u2248 9.9 W"},
        PrimaryCase{"Unavailable", unavailable, 5.0, false, 9.0, 30.0, "暂时无法读取电源遥测"}),
    ParamName());

struct SecondaryCase {
    const char* name;
    optional<double> temperature;
    optional<std::int64_t> cycles;
    optional<double> adapter;
    bool external;
    const char* expected;
};

class SecondaryTextTest : public ::testing::TestWithParam<SecondaryCase> {};

TEST_P(SecondaryTextTest, JoinsPresentParts) {
    const auto& c = GetParam();
    PowerSnapshot snapshot;
    snapshot.state = pluggedIn;
    snapshot.temperatureCelsius = c.temperature;
    snapshot.cycleCount = c.cycles;
    snapshot.adapterRatedWatts = c.adapter;
    snapshot.isExternalConnected = c.external;
    EXPECT_EQ(StatusSummary(snapshot).secondaryText(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, SecondaryTextTest,
    ::testing::Values(SecondaryCase{"Nothing", nullopt, nullopt, nullopt, true,
                                    "数据直接来自本机电源管理系统"},
                      SecondaryCase{"AllThreeInOrder", 31.26, 412, 96.4, true,
                                    "电池 31.3\u2103  \u00B7  循环 412 次  \u00B7  适配器 96 W"},
                      SecondaryCase{"AdapterNeedsExternalPower", -2.0, 412, 96.4, false,
                                    "电池 -2.0\u2103  \u00B7  循环 412 次"},
                      SecondaryCase{"OnlyAdapterWithoutExternalPower", nullopt, nullopt, 96.0, false,
                                    "数据直接来自本机电源管理系统"},
                      SecondaryCase{"CyclesOnly", nullopt, 0, nullopt, true, "循环 0 次"},
                      SecondaryCase{"NonFiniteFiguresAreDashes", kNaN, nullopt, kInf, true,
                                    "电池 \u2014\u2103  \u00B7  适配器 \u2014 W"}),
    ParamName());

} // namespace
} // namespace voltrane
