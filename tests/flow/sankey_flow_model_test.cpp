#include "flow/sankey_flow_model.h"
#include "support/param_name.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;
using State = SankeyDestination::State;
using Opt = std::optional<double>;
using Rows = std::vector<std::pair<ID, double>>;
using enum SankeyDestination::ID;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

PowerSnapshot snap(PowerState state, Opt system = {}, Opt battery = {}, Opt input = {}, Opt ports = {}) {
    PowerSnapshot snapshot;
    snapshot.state = state;
    snapshot.isExternalConnected = state != PowerState::onBattery;
    snapshot.systemWatts = system;
    snapshot.batteryWatts = battery;
    snapshot.inputWatts = input;
    snapshot.portOutputWatts = ports;
    return snapshot;
}

ComponentPowerSnapshot measured(Opt cpu, Opt gpu = {}, Opt ane = {}, Opt dram = {}, Opt display = {}) {
    return {cpu, gpu, ane, dram, display, 1, true, {}};
}

/// NaN stands for an absent figure.
void expectWatts(Opt actual, double expected, const char* what) {
    EXPECT_EQ(actual.has_value(), !std::isnan(expected)) << what;
    if (actual && !std::isnan(expected)) {
        EXPECT_NEAR(*actual, expected, 1e-9) << what;
    }
}

void expectRows(const SankeyFlowModel& model, const Rows& expected) {
    ASSERT_EQ(model.destinations.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(model.destinations[i].id, expected[i].first) << "row " << i;
        expectWatts(model.destinations[i].watts, expected[i].second, rawValue(expected[i].first));
    }
}

const SankeyDestination* find(const SankeyFlowModel& model, ID id) {
    for (const SankeyDestination& row : model.destinations) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

// ---- Source, system estimate and the rows in their order ----

struct ScenarioCase {
    const char* name;
    PowerSnapshot snapshot;
    ComponentPowerSnapshot components;
    double sourceWatts;
    double systemWatts;
    Rows rows;
};

ScenarioCase scenario(const char* name, const PowerSnapshot& snapshot,
                      const ComponentPowerSnapshot& components, double source, double system, Rows rows) {
    return {name, snapshot, components, source, system, std::move(rows)};
}

class FlowScenarioTest : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(FlowScenarioTest, BuildsSourceAndOrderedRows) {
    const ScenarioCase& row = GetParam();
    const SankeyFlowModel model(row.snapshot, row.components);
    EXPECT_EQ(model.sourceTitle, row.snapshot.state == PowerState::onBattery ? "电池" : "电源适配器");
    expectWatts(model.sourceWatts, row.sourceWatts, "source");
    expectWatts(model.systemWatts, row.systemWatts, "system");
    expectRows(model, row.rows);
}

constexpr auto kBattery = PowerState::onBattery;
constexpr auto kCharging = PowerState::charging;
constexpr auto kPlugged = PowerState::pluggedIn;

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FlowScenarioTest,
    ::testing::Values(
        // The remainder sorts last although it is the largest; ANE falls under the row filter.
        scenario("OnBatteryRemainderLastAneFiltered", snap(kBattery, 14.2), measured(4.0, 1.0, 0.1, 0.6, 2.5),
                 14.2, 14.2, {{cpu, 4}, {display, 2.5}, {gpu, 1}, {memory, 0.6}, {other, 6}}),
        scenario("ChargingBatteryRowSortsFirst", snap(kCharging, 10, 15), measured(4.0), 25, 10,
                 {{battery, 15}, {cpu, 4}, {other, 6}}),
        scenario("TrickleChargeShowsNoRowAndAddsNothing", snap(kCharging, 9, 0.15), measured(3.0), 9, 9,
                 {{cpu, 3}, {other, 6}}),
        scenario("SystemFromInputLessUnthresholdedCharge", snap(kCharging, {}, 10, 30), {}, 30, 20,
                 {{battery, 10}, {other, 20}}),
        scenario("TrickleStillComesOffTheInput", snap(kPlugged, {}, 0.1, -12), {}, 11.9, 11.9,
                 {{other, 11.9}}),
        scenario("DischargingOnAdapterCountsAsNoCharge", snap(kPlugged, {}, -5, 8), {}, 8, 8, {{other, 8}}),
        scenario("InputBelowChargeGivesZeroSystem", snap(kCharging, {}, 7, 5), {}, 7, 0, {{battery, 7}}),
        scenario("NaNChargeLeavesOnlyTheInput", snap(kCharging, {}, kNaN, 30), measured(5.0), 30, kNaN,
                 {{cpu, 5}}),
        scenario("OnBatteryFallsBackToBatteryMagnitude", snap(kBattery, {}, -11), measured(3.0), 11, 11,
                 {{cpu, 3}, {other, 8}}),
        // A stray positive figure while on battery is not a charge.
        scenario("OnBatteryNeverShowsABatteryRow", snap(kBattery, {}, 9), {}, 9, 9, {{other, 9}}),
        scenario("OnBatteryIgnoresInputWithoutCharge", snap(kBattery, {}, {}, 20), measured(3.0), kNaN, kNaN,
                 {{cpu, 3}}),
        scenario("NegativeSystemCountsByMagnitude", snap(kPlugged, -7), measured(2.0), 7, 7,
                 {{cpu, 2}, {other, 5}}),
        scenario("NothingReadable", snap(PowerState::unavailable), {}, kNaN, kNaN, {}),
        scenario("PortsAreARowAndCountInTheAllocation", snap(kPlugged, 20, {}, {}, 4.5), measured(6.0), 20,
                 20, {{cpu, 6}, {ports, 4.5}, {other, 9.5}})),
    voltrane::testing::ParamName());

TEST(FlowRemainderTest, OverageIsReportedWhileTheRowDisappears) {
    const SankeyFlowModel model(snap(kBattery, 5), measured(4.0, 3.0));
    expectRows(model, {{cpu, 4}, {gpu, 3}});
    EXPECT_EQ(model.allocation.unattributedWatts, 0.0);
    EXPECT_DOUBLE_EQ(model.allocation.overageWatts, 2.0);
}

// ---- Source texts ----

struct SourceTextCase {
    const char* name;
    PowerState state;
    Opt rated;
    std::optional<int> minutes;
    const char* detail;
};

class FlowSourceTextTest : public ::testing::TestWithParam<SourceTextCase> {};

TEST_P(FlowSourceTextTest, NamesTheSource) {
    PowerSnapshot snapshot = snap(GetParam().state);
    snapshot.adapterRatedWatts = GetParam().rated;
    snapshot.batteryTimeRemainingMinutes = GetParam().minutes;
    const SankeyFlowModel model(snapshot, ComponentPowerSnapshot{});
    const bool battery = GetParam().state == kBattery;
    EXPECT_EQ(model.sourceSymbol, battery ? "battery.75percent" : "powerplug.fill");
    EXPECT_EQ(model.sourceDetail, GetParam().detail);
    EXPECT_EQ(model.sourceTint, battery ? PaletteColor::warning : PaletteColor::flowSource);
}

// printf rounds the exact binary value half to even: 64.5 gives 64.
INSTANTIATE_TEST_SUITE_P(
    Cases, FlowSourceTextTest,
    ::testing::Values(SourceTextCase{"RatingRoundsLikePrintf", PowerState::charged, 64.5, {}, "额定 64 W"},
                      SourceTextCase{"NaNRatingShowsDash", kPlugged, kNaN, {}, "额定 \u2014 W"},
                      SourceTextCase{"UnratedAdapter", PowerState::unavailable, {}, 90, "实时输入"},
                      SourceTextCase{"BatteryRuntime", kBattery, 96.0, 95, "预计 1 小时 35 分"},
                      SourceTextCase{"BatteryRuntimeUnknown", kBattery, {}, {}, "续航时间估算中"}),
    voltrane::testing::ParamName());

struct RuntimeCase {
    const char* name;
    std::optional<int> minutes;
    const char* expected;
};

class RuntimeTextTest : public ::testing::TestWithParam<RuntimeCase> {};

TEST_P(RuntimeTextTest, TellsTheRuntime) {
    EXPECT_EQ(SankeyFlowModel::runtimeText(GetParam().minutes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RuntimeTextTest,
                         ::testing::Values(RuntimeCase{"Absent", {}, "续航时间估算中"},
                                           RuntimeCase{"Zero", 0, "续航时间估算中"},
                                           RuntimeCase{"OneMinute", 1, "预计续航 1 分钟"},
                                           RuntimeCase{"FiftyNine", 59, "预计续航 59 分钟"},
                                           RuntimeCase{"OneHour", 60, "预计续航 1 小时"},
                                           RuntimeCase{"HourAndMinute", 61, "预计 1 小时 1 分"},
                                           RuntimeCase{"ManyHoursNoGrouping", 60000, "预计续航 1000 小时"}),
                         voltrane::testing::ParamName());

// ---- Row contents ----

TEST(FlowRowContentTest, BatteryRowTellsChargeAndPercent) {
    PowerSnapshot snapshot = snap(kCharging, 10, 15);
    snapshot.chargePercent = 62;
    const SankeyFlowModel model(snapshot, {});
    const SankeyDestination* charging = find(model, battery);
    ASSERT_NE(charging, nullptr);
    EXPECT_EQ(*charging, (SankeyDestination{battery, "电池", "battery.100percent.bolt", 15.0, "充电中 · 62%",
                                            PaletteColor::flowBattery, State::measured}));

    snapshot.state = PowerState::charged;
    snapshot.chargePercent.reset();
    const SankeyFlowModel charged(snapshot, {});
    const SankeyDestination* full = find(charged, battery);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->symbol, "battery.100percent");
    EXPECT_EQ(full->detail, "充电中");
}

TEST(FlowRowContentTest, CounterRowsCarryTheirNamesAndTints) {
    const SankeyFlowModel model(snap(kBattery, 30), measured(5, 4, 3, 2, 1));
    const std::vector<SankeyDestination> expected{
        {cpu, "CPU", "cpu", 5.0, "估算", PaletteColor::flowCPU, State::estimated},
        {gpu, "GPU", "sparkles.rectangle.stack", 4.0, "估算", PaletteColor::flowGPU, State::estimated},
        {ane, "ANE", "brain.head.profile", 3.0, "估算", PaletteColor::flowANE, State::estimated},
        {memory, "内存", "memorychip", 2.0, "估算", PaletteColor::flowMemory, State::estimated},
        {display, "内屏", "display", 1.0, "估算", PaletteColor::flowDisplay, State::estimated},
        {other, "其它", "ellipsis.circle", 15.0, "未归因", PaletteColor::flowOther, State::remainder},
    };
    EXPECT_EQ(model.destinations, expected);
    EXPECT_TRUE(model.estimateAvailable);
}

TEST(FlowRowContentTest, UnreadableCountersMarkTheirRowsUnavailable) {
    ComponentPowerSnapshot components = measured(3.0);
    components.sourceAvailable = false;
    const SankeyFlowModel model(snap(kBattery, 10), components);
    EXPECT_FALSE(model.estimateAvailable);
    ASSERT_NE(find(model, cpu), nullptr);
    EXPECT_EQ(find(model, cpu)->state, State::unavailable);
    EXPECT_EQ(find(model, other)->state, State::remainder);
}

TEST(FlowRowContentTest, PortsRowCountsThePorts) {
    for (const auto& [count, detail] : {std::pair<std::optional<int>, const char*>{2, "2 个接口"},
                                        {0, "0 个接口"},
                                        {std::nullopt, "未检测"}}) {
        PowerSnapshot snapshot = snap(kPlugged, {}, {}, {}, 7.5);
        snapshot.powerOutputPortCount = count;
        const SankeyFlowModel model(snapshot, {});
        const SankeyDestination* row = find(model, ports);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(*row, (SankeyDestination{ports, "接口输出", "cable.connector", 7.5, detail,
                                           PaletteColor::flowPorts, State::measured}));
    }
}

// ---- Usable figures and the 0.2 W row filter ----

struct UsableCase {
    const char* name;
    ComponentPowerSnapshot components;
    Opt ports;
    double identifiedWatts;
    std::vector<ID> rows; // without the remainder
};

UsableCase usable(const char* name, const ComponentPowerSnapshot& components, Opt ports, double identified,
                  std::vector<ID> rows) {
    return {name, components, ports, identified, std::move(rows)};
}

class FlowUsableTest : public ::testing::TestWithParam<UsableCase> {};

TEST_P(FlowUsableTest, KeepsOnlyUsableAndActiveFigures) {
    const SankeyFlowModel model(snap(kPlugged, 100, {}, {}, GetParam().ports), GetParam().components);
    EXPECT_DOUBLE_EQ(model.allocation.identifiedWatts, GetParam().identifiedWatts);
    std::vector<ID> ids;
    for (const SankeyDestination& destination : model.destinations) {
        if (destination.id != other) {
            ids.push_back(destination.id);
        }
    }
    EXPECT_EQ(ids, GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlowUsableTest,
    ::testing::Values(usable("ExactlyPointTwoIsDropped", measured(0.2, 0.2000001), {}, 0.4000001, {gpu}),
                      usable("SmallFlowsCountButAreHidden", measured(0.1, 0.15, 0.05), 0.2, 0.5, {}),
                      usable("DisplayNeedsMoreThanFiveHundredths", measured({}, {}, {}, {}, 0.05), {}, 0, {}),
                      usable("DisplayJustAboveFiveHundredths", measured({}, {}, {}, {}, 0.06), {}, 0.06, {}),
                      usable("NegativeNaNAndInfiniteAreUnusable", measured(-3, kNaN, kInf, -kInf, kNaN), -1.0,
                             0, {}),
                      usable("ZeroIsUsableButInactive", measured(0.0, 1.0), 0.0, 1.0, {gpu})),
    voltrane::testing::ParamName());

// ---- Order ----

struct OrderCase {
    const char* name;
    std::vector<std::pair<ID, Opt>> input;
    std::vector<ID> expected;
};

OrderCase order(const char* name, std::vector<std::pair<ID, Opt>> input, std::vector<ID> expected) {
    return {name, std::move(input), std::move(expected)};
}

class FlowOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(FlowOrderTest, SortsLargerFirstTiesByRawValue) {
    std::vector<SankeyDestination> rows;
    for (const auto& [id, watts] : GetParam().input) {
        rows.push_back({id, "", "", watts, "", PaletteColor::flowOther, State::measured});
    }
    SankeyFlowModel::sortRows(rows);
    std::vector<ID> ids;
    for (const SankeyDestination& row : rows) {
        ids.push_back(row.id);
    }
    EXPECT_EQ(ids, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlowOrderTest,
    ::testing::Values(order("LargerFirst", {{cpu, 1.0}, {gpu, 3.0}, {ane, 2.0}}, {gpu, ane, cpu}),
                      order("WithinTenThousandthTieBreaksByRawValue", {{gpu, 3.00009}, {cpu, 3.0}},
                            {cpu, gpu}),
                      order("JustBeyondTheToleranceIsLarger", {{cpu, 3.0}, {gpu, 3.00011}}, {gpu, cpu}),
                      order("RawValueOrderNotDeclarationOrder",
                            {{battery, 2.0}, {ports, 2.0}, {memory, 2.0}, {display, 2.0}, {ane, 2.0}},
                            {ane, battery, display, memory, ports}),
                      order("RemainderLastWhateverItsWatts", {{other, 90.0}, {cpu, 1.0}}, {cpu, other}),
                      order("AbsentCountsAsZero", {{ane, {}}, {cpu, 0.00005}}, {ane, cpu}),
                      // 1.0, 1.00008 and 1.00016 are pairwise equal or not depending on the pair; the
                      // insertion sort over the candidate order gives one defined answer.
                      order("IntransitiveTiesFollowTheInsertionSort",
                            {{battery, 1.00016}, {cpu, 1.0}, {ane, 1.00008}}, {ane, battery, cpu}),
                      // Ports comes before GPU but not before memory, the row just ahead: it stops there
                      // (a sort that compares with the first row first would move it to the front).
                      order("NewRowStopsAtTheRowJustAhead", {{gpu, 1.0}, {memory, 1.00008}, {ports, 1.00016}},
                            {gpu, memory, ports})),
    voltrane::testing::ParamName());

TEST(FlowOrderModelTest, ModelUsesTheInsertionSortOverTheCandidateOrder) {
    expectRows(SankeyFlowModel(snap(kCharging, {}, 1.00016), measured(1.0, {}, 1.00008)),
               {{ane, 1.00008}, {battery, 1.00016}, {cpu, 1.0}});
    expectRows(SankeyFlowModel(snap(kPlugged, {}, {}, {}, 1.00016), measured({}, 1.0, {}, 1.00008)),
               {{gpu, 1.0}, {memory, 1.00008}, {ports, 1.00016}});
}

// ---- Accessibility summary ----

struct SummaryCase {
    const char* name;
    Opt sourceWatts;
    std::vector<std::pair<const char*, Opt>> rows;
    const char* expected;
};

SummaryCase summary(const char* name, Opt source, std::vector<std::pair<const char*, Opt>> rows,
                    const char* expected) {
    return {name, source, std::move(rows), expected};
}

class FlowSummaryTest : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(FlowSummaryTest, DescribesTheDiagram) {
    SankeyFlowModel model;
    model.sourceTitle = "电池";
    model.sourceWatts = GetParam().sourceWatts;
    for (const auto& [title, watts] : GetParam().rows) {
        model.destinations.push_back({cpu, title, "", watts, "", PaletteColor::flowCPU, State::estimated});
    }
    EXPECT_EQ(model.accessibilitySummary(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlowSummaryTest,
    ::testing::Values(
        summary("WorkedExample", 45.0, {{"电池", 20.5}, {"CPU", 6.2}},
                "电池提供 45.0 W，流向电池 20.5 W，CPU 6.2 W"),
        summary("NoRowsEndsAfterFlowsTo", 3.0, {}, "电池提供 3.0 W，流向"),
        summary("AbsentSourceIsDash", {}, {{"CPU", 1.0}}, "电池提供 \u2014 W，流向CPU 1.0 W"),
        summary("NegativeSourceByMagnitude", -12.34, {}, "电池提供 12.3 W，流向"),
        summary("ZeroNaNAndAbsentRowsAreLeftOut", 10.0,
                {{"CPU", 0.0}, {"GPU", kNaN}, {"ANE", {}}, {"内存", -1.0}, {"其它", 2.0}},
                "电池提供 10.0 W，流向其它 2.0 W"),
        summary("InfiniteRowIsDash", 10.0, {{"CPU", kInf}}, "电池提供 10.0 W，流向CPU \u2014 W"),
        // 0.15 is a little under 0.15 in binary, so printf writes 0.1; 0.25 is exact and rounds to even.
        summary("PrintfRounding", 0.15, {{"CPU", 0.25}, {"GPU", 0.35}},
                "电池提供 0.1 W，流向CPU 0.2 W，GPU 0.3 W")),
    voltrane::testing::ParamName());

} // namespace
} // namespace voltrane
