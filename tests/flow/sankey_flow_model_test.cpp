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

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

PowerSnapshot snapshotIn(PowerState state) {
    PowerSnapshot snapshot;
    snapshot.state = state;
    snapshot.isExternalConnected = state != PowerState::onBattery;
    return snapshot;
}

ComponentPowerSnapshot measured(std::optional<double> cpu, std::optional<double> gpu = std::nullopt,
                                std::optional<double> ane = std::nullopt,
                                std::optional<double> dram = std::nullopt,
                                std::optional<double> display = std::nullopt) {
    ComponentPowerSnapshot components;
    components.cpuWatts = cpu;
    components.gpuWatts = gpu;
    components.aneWatts = ane;
    components.dramWatts = dram;
    components.displayWatts = display;
    components.sampleInterval = 1;
    components.sourceAvailable = true;
    return components;
}

std::vector<std::pair<ID, double>> rowsOf(const SankeyFlowModel& model) {
    std::vector<std::pair<ID, double>> rows;
    for (const SankeyDestination& row : model.destinations) {
        rows.emplace_back(row.id, row.watts.value_or(kNaN));
    }
    return rows;
}

void expectRows(const SankeyFlowModel& model, const std::vector<std::pair<ID, double>>& expected) {
    const auto rows = rowsOf(model);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rawValue(rows[i].first), std::string(rawValue(expected[i].first))) << "row " << i;
        EXPECT_NEAR(rows[i].second, expected[i].second, 1e-9) << "row " << i;
    }
}

// ---- Scenarios: source, system estimate and the rows in their order ----

struct ScenarioCase {
    const char* name;
    PowerSnapshot snapshot;
    ComponentPowerSnapshot components;
    const char* sourceTitle;
    std::optional<double> sourceWatts;
    std::optional<double> systemWatts;
    std::vector<std::pair<ID, double>> rows;
};

PowerSnapshot with(PowerSnapshot snapshot, void (*edit)(PowerSnapshot&)) {
    edit(snapshot);
    return snapshot;
}

class FlowScenarioTest : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(FlowScenarioTest, BuildsSourceAndOrderedRows) {
    const ScenarioCase& row = GetParam();
    const SankeyFlowModel model(row.snapshot, row.components);
    EXPECT_EQ(model.sourceTitle, row.sourceTitle);
    ASSERT_EQ(model.sourceWatts.has_value(), row.sourceWatts.has_value());
    if (row.sourceWatts) {
        EXPECT_NEAR(*model.sourceWatts, *row.sourceWatts, 1e-9);
    }
    ASSERT_EQ(model.systemWatts.has_value(), row.systemWatts.has_value());
    if (row.systemWatts) {
        EXPECT_NEAR(*model.systemWatts, *row.systemWatts, 1e-9);
    }
    expectRows(model, row.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, FlowScenarioTest,
    ::testing::Values(
        ScenarioCase{
            "OnBatteryRemainderLastAneFiltered",
            with(snapshotIn(PowerState::onBattery), [](PowerSnapshot& s) { s.systemWatts = 14.2; }),
            measured(4.0, 1.0, 0.1, 0.6, 2.5),
            "电池",
            14.2,
            14.2,
            {{ID::cpu, 4.0}, {ID::display, 2.5}, {ID::gpu, 1.0}, {ID::memory, 0.6}, {ID::other, 6.0}}},
        ScenarioCase{"ChargingBatteryRowSortsFirst",
                     with(snapshotIn(PowerState::charging),
                          [](PowerSnapshot& s) {
                              s.systemWatts = 10;
                              s.batteryWatts = 15;
                              s.chargePercent = 62;
                          }),
                     measured(4.0),
                     "电源适配器",
                     25.0,
                     10.0,
                     {{ID::battery, 15.0}, {ID::cpu, 4.0}, {ID::other, 6.0}}},
        ScenarioCase{"TrickleChargeShowsNoRowAndAddsNothing",
                     with(snapshotIn(PowerState::charging),
                          [](PowerSnapshot& s) {
                              s.systemWatts = 9;
                              s.batteryWatts = 0.15;
                          }),
                     measured(3.0),
                     "电源适配器",
                     9.0,
                     9.0,
                     {{ID::cpu, 3.0}, {ID::other, 6.0}}},
        ScenarioCase{"SystemFromInputLessUnthresholdedCharge",
                     with(snapshotIn(PowerState::charging),
                          [](PowerSnapshot& s) {
                              s.inputWatts = 30;
                              s.batteryWatts = 10;
                          }),
                     ComponentPowerSnapshot{},
                     "电源适配器",
                     30.0,
                     20.0,
                     {{ID::battery, 10.0}, {ID::other, 20.0}}},
        ScenarioCase{"TrickleStillComesOffTheInput",
                     with(snapshotIn(PowerState::pluggedIn),
                          [](PowerSnapshot& s) {
                              s.inputWatts = -12;
                              s.batteryWatts = 0.1;
                          }),
                     ComponentPowerSnapshot{},
                     "电源适配器",
                     11.9,
                     11.9,
                     {{ID::other, 11.9}}},
        ScenarioCase{"DischargingOnAdapterCountsAsNoCharge",
                     with(snapshotIn(PowerState::pluggedIn),
                          [](PowerSnapshot& s) {
                              s.inputWatts = 8;
                              s.batteryWatts = -5;
                          }),
                     ComponentPowerSnapshot{},
                     "电源适配器",
                     8.0,
                     8.0,
                     {{ID::other, 8.0}}},
        ScenarioCase{"InputBelowChargeGivesZeroSystem",
                     with(snapshotIn(PowerState::charging),
                          [](PowerSnapshot& s) {
                              s.inputWatts = 5;
                              s.batteryWatts = 7;
                          }),
                     ComponentPowerSnapshot{},
                     "电源适配器",
                     7.0,
                     0.0,
                     {{ID::battery, 7.0}}},
        ScenarioCase{"NaNChargeLeavesOnlyTheInput",
                     with(snapshotIn(PowerState::charging),
                          [](PowerSnapshot& s) {
                              s.inputWatts = 30;
                              s.batteryWatts = kNaN;
                          }),
                     measured(5.0),
                     "电源适配器",
                     30.0,
                     std::nullopt,
                     {{ID::cpu, 5.0}}},
        ScenarioCase{"OnBatteryFallsBackToBatteryMagnitude",
                     with(snapshotIn(PowerState::onBattery), [](PowerSnapshot& s) { s.batteryWatts = -11; }),
                     measured(3.0),
                     "电池",
                     11.0,
                     11.0,
                     {{ID::cpu, 3.0}, {ID::other, 8.0}}},
        ScenarioCase{"OnBatteryIgnoresInputWithoutCharge",
                     with(snapshotIn(PowerState::onBattery), [](PowerSnapshot& s) { s.inputWatts = 20; }),
                     measured(3.0),
                     "电池",
                     std::nullopt,
                     std::nullopt,
                     {{ID::cpu, 3.0}}},
        ScenarioCase{"NegativeSystemCountsByMagnitude",
                     with(snapshotIn(PowerState::pluggedIn), [](PowerSnapshot& s) { s.systemWatts = -7; }),
                     measured(2.0),
                     "电源适配器",
                     7.0,
                     7.0,
                     {{ID::cpu, 2.0}, {ID::other, 5.0}}},
        ScenarioCase{"OverageLeavesNoRemainderRow",
                     with(snapshotIn(PowerState::onBattery), [](PowerSnapshot& s) { s.systemWatts = 5; }),
                     measured(4.0, 3.0),
                     "电池",
                     5.0,
                     5.0,
                     {{ID::cpu, 4.0}, {ID::gpu, 3.0}}},
        ScenarioCase{"NothingReadable",
                     snapshotIn(PowerState::unavailable),
                     ComponentPowerSnapshot{},
                     "电源适配器",
                     std::nullopt,
                     std::nullopt,
                     {}},
        ScenarioCase{"PortsAreARowAndCountInTheAllocation",
                     with(snapshotIn(PowerState::pluggedIn),
                          [](PowerSnapshot& s) {
                              s.systemWatts = 20;
                              s.portOutputWatts = 4.5;
                          }),
                     measured(6.0),
                     "电源适配器",
                     20.0,
                     20.0,
                     {{ID::cpu, 6.0}, {ID::ports, 4.5}, {ID::other, 9.5}}}),
    voltrane::testing::ParamName());

// ---- Source texts ----

struct SourceTextCase {
    const char* name;
    PowerState state;
    std::optional<double> adapterRatedWatts;
    std::optional<int> minutes;
    const char* symbol;
    const char* detail;
    PaletteColor tint;
};

class FlowSourceTextTest : public ::testing::TestWithParam<SourceTextCase> {};

TEST_P(FlowSourceTextTest, NamesTheSource) {
    const SourceTextCase& row = GetParam();
    PowerSnapshot snapshot = snapshotIn(row.state);
    snapshot.adapterRatedWatts = row.adapterRatedWatts;
    snapshot.batteryTimeRemainingMinutes = row.minutes;
    const SankeyFlowModel model(snapshot, ComponentPowerSnapshot{});
    EXPECT_EQ(model.sourceSymbol, row.symbol);
    EXPECT_EQ(model.sourceDetail, row.detail);
    EXPECT_EQ(model.sourceTint, row.tint);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlowSourceTextTest,
    ::testing::Values(SourceTextCase{"RatedAdapter", PowerState::charging, 96.0, std::nullopt,
                                     "powerplug.fill", "额定 96 W", PaletteColor::flowSource},
                      // printf rounds the exact binary value half to even: 64.5 → 64, 65.5 → 66.
                      SourceTextCase{"RatingRoundsLikePrintfDown", PowerState::charged, 64.5, std::nullopt,
                                     "powerplug.fill", "额定 64 W", PaletteColor::flowSource},
                      SourceTextCase{"RatingRoundsLikePrintfUp", PowerState::pluggedIn, 65.5, std::nullopt,
                                     "powerplug.fill", "额定 66 W", PaletteColor::flowSource},
                      SourceTextCase{"NaNRatingShowsDash", PowerState::pluggedIn, kNaN, std::nullopt,
                                     "powerplug.fill", "额定 \u2014 W", PaletteColor::flowSource},
                      SourceTextCase{"UnratedAdapter", PowerState::unavailable, std::nullopt, 90,
                                     "powerplug.fill", "实时输入", PaletteColor::flowSource},
                      SourceTextCase{"BatteryRuntime", PowerState::onBattery, 96.0, 95, "battery.75percent",
                                     "预计 1 小时 35 分", PaletteColor::warning},
                      SourceTextCase{"BatteryRuntimeUnknown", PowerState::onBattery, std::nullopt,
                                     std::nullopt, "battery.75percent", "续航时间估算中",
                                     PaletteColor::warning}),
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
                         ::testing::Values(RuntimeCase{"Absent", std::nullopt, "续航时间估算中"},
                                           RuntimeCase{"Negative", -5, "续航时间估算中"},
                                           RuntimeCase{"Zero", 0, "续航时间估算中"},
                                           RuntimeCase{"OneMinute", 1, "预计续航 1 分钟"},
                                           RuntimeCase{"FiftyNine", 59, "预计续航 59 分钟"},
                                           RuntimeCase{"OneHour", 60, "预计续航 1 小时"},
                                           RuntimeCase{"HourAndMinute", 61, "预计 1 小时 1 分"},
                                           RuntimeCase{"ManyHoursNoGrouping", 60000, "预计续航 1000 小时"},
                                           RuntimeCase{"HoursAndMinutes", 719, "预计 11 小时 59 分"}),
                         voltrane::testing::ParamName());

// ---- Row contents ----

const SankeyDestination* find(const SankeyFlowModel& model, ID id) {
    for (const SankeyDestination& row : model.destinations) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

TEST(FlowRowContentTest, BatteryRowTellsChargeAndPercent) {
    PowerSnapshot snapshot = snapshotIn(PowerState::charging);
    snapshot.systemWatts = 10;
    snapshot.batteryWatts = 15;
    snapshot.chargePercent = 62;
    const SankeyFlowModel charging(snapshot, ComponentPowerSnapshot{});
    const SankeyDestination* battery = find(charging, ID::battery);
    ASSERT_NE(battery, nullptr);
    EXPECT_EQ(*battery, (SankeyDestination{ID::battery, "电池", "battery.100percent.bolt", 15.0,
                                           "充电中 · 62%", PaletteColor::flowBattery, State::measured}));

    snapshot.state = PowerState::charged;
    snapshot.chargePercent.reset();
    const SankeyFlowModel charged(snapshot, ComponentPowerSnapshot{});
    const SankeyDestination* full = find(charged, ID::battery);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->symbol, "battery.100percent");
    EXPECT_EQ(full->detail, "充电中");
}

TEST(FlowRowContentTest, OnBatteryNeverShowsABatteryRow) {
    PowerSnapshot snapshot = snapshotIn(PowerState::onBattery);
    snapshot.batteryWatts = 9; // a stray positive figure while on battery is not a charge
    const SankeyFlowModel model(snapshot, ComponentPowerSnapshot{});
    EXPECT_EQ(find(model, ID::battery), nullptr);
    EXPECT_EQ(model.systemWatts, 9.0);
}

TEST(FlowRowContentTest, CounterRowsCarryTheirNamesAndTints) {
    PowerSnapshot snapshot = snapshotIn(PowerState::onBattery);
    snapshot.systemWatts = 30;
    const SankeyFlowModel model(snapshot, measured(5, 4, 3, 2, 1));
    const std::vector<SankeyDestination> expected{
        {ID::cpu, "CPU", "cpu", 5.0, "估算", PaletteColor::flowCPU, State::estimated},
        {ID::gpu, "GPU", "sparkles.rectangle.stack", 4.0, "估算", PaletteColor::flowGPU, State::estimated},
        {ID::ane, "ANE", "brain.head.profile", 3.0, "估算", PaletteColor::flowANE, State::estimated},
        {ID::memory, "内存", "memorychip", 2.0, "估算", PaletteColor::flowMemory, State::estimated},
        {ID::display, "内屏", "display", 1.0, "估算", PaletteColor::flowDisplay, State::estimated},
        {ID::other, "其它", "ellipsis.circle", 15.0, "未归因", PaletteColor::flowOther, State::remainder},
    };
    EXPECT_EQ(model.destinations, expected);
    EXPECT_TRUE(model.estimateAvailable);
}

TEST(FlowRowContentTest, UnreadableCountersMarkTheirRowsUnavailable) {
    PowerSnapshot snapshot = snapshotIn(PowerState::onBattery);
    snapshot.systemWatts = 10;
    ComponentPowerSnapshot components = measured(3.0);
    components.sourceAvailable = false;
    const SankeyFlowModel model(snapshot, components);
    EXPECT_FALSE(model.estimateAvailable);
    ASSERT_NE(find(model, ID::cpu), nullptr);
    EXPECT_EQ(find(model, ID::cpu)->state, State::unavailable);
    EXPECT_EQ(find(model, ID::other)->state, State::remainder);
}

struct PortsCase {
    const char* name;
    std::optional<int> count;
    const char* detail;
};

class FlowPortsDetailTest : public ::testing::TestWithParam<PortsCase> {};

TEST_P(FlowPortsDetailTest, CountsThePorts) {
    PowerSnapshot snapshot = snapshotIn(PowerState::pluggedIn);
    snapshot.portOutputWatts = 7.5;
    snapshot.powerOutputPortCount = GetParam().count;
    const SankeyFlowModel model(snapshot, ComponentPowerSnapshot{});
    const SankeyDestination* ports = find(model, ID::ports);
    ASSERT_NE(ports, nullptr);
    EXPECT_EQ(*ports, (SankeyDestination{ID::ports, "接口输出", "cable.connector", 7.5, GetParam().detail,
                                         PaletteColor::flowPorts, State::measured}));
}

INSTANTIATE_TEST_SUITE_P(Cases, FlowPortsDetailTest,
                         ::testing::Values(PortsCase{"Two", 2, "2 个接口"}, PortsCase{"Zero", 0, "0 个接口"},
                                           PortsCase{"Unknown", std::nullopt, "未检测"}),
                         voltrane::testing::ParamName());

// ---- Usable figures and the 0.2 W filter ----

struct UsableCase {
    const char* name;
    ComponentPowerSnapshot components;
    std::optional<double> portOutputWatts;
    double identifiedWatts;
    std::vector<ID> rows; // without the remainder
};

class FlowUsableTest : public ::testing::TestWithParam<UsableCase> {};

TEST_P(FlowUsableTest, KeepsOnlyUsableAndActiveFigures) {
    const UsableCase& row = GetParam();
    PowerSnapshot snapshot = snapshotIn(PowerState::pluggedIn);
    snapshot.systemWatts = 100;
    snapshot.portOutputWatts = row.portOutputWatts;
    const SankeyFlowModel model(snapshot, row.components);
    EXPECT_DOUBLE_EQ(model.allocation.identifiedWatts, row.identifiedWatts);
    std::vector<ID> ids;
    for (const SankeyDestination& destination : model.destinations) {
        if (destination.id != ID::other) {
            ids.push_back(destination.id);
        }
    }
    EXPECT_EQ(ids, row.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlowUsableTest,
    ::testing::Values(
        UsableCase{"ExactlyPointTwoIsDropped", measured(0.2, 0.2000001), std::nullopt, 0.4000001, {ID::gpu}},
        UsableCase{"SmallFlowsCountButAreHidden", measured(0.1, 0.15, 0.05), 0.2, 0.5, {}},
        UsableCase{"DisplayNeedsMoreThanFiveHundredths",
                   measured(std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0.05),
                   std::nullopt,
                   0.0,
                   {}},
        UsableCase{"DisplayJustAboveFiveHundredths",
                   measured(std::nullopt, std::nullopt, std::nullopt, std::nullopt, 0.06),
                   std::nullopt,
                   0.06,
                   {}},
        UsableCase{
            "NegativeNaNAndInfiniteAreUnusable", measured(-3.0, kNaN, kInf, -kInf, kNaN), -1.0, 0.0, {}},
        UsableCase{"ZeroIsUsableButInactive", measured(0.0, 1.0), 0.0, 1.0, {ID::gpu}}),
    voltrane::testing::ParamName());

TEST(FlowRemainderTest, RemainderIsLastEvenWhenLargest) {
    PowerSnapshot snapshot = snapshotIn(PowerState::onBattery);
    snapshot.systemWatts = 50;
    const SankeyFlowModel model(snapshot, measured(1.0, 2.0));
    ASSERT_FALSE(model.destinations.empty());
    EXPECT_EQ(model.destinations.back().id, ID::other);
    EXPECT_EQ(model.destinations.back().watts, 47.0);
}

TEST(FlowRemainderTest, OverageIsReportedWhileTheRowDisappears) {
    PowerSnapshot snapshot = snapshotIn(PowerState::onBattery);
    snapshot.systemWatts = 5;
    const SankeyFlowModel model(snapshot, measured(4.0, 3.0));
    EXPECT_EQ(model.allocation.unattributedWatts, 0.0);
    EXPECT_DOUBLE_EQ(model.allocation.overageWatts, 2.0);
    EXPECT_EQ(find(model, ID::other), nullptr);
}

// ---- Order ----

SankeyDestination rowOf(ID id, std::optional<double> watts) {
    SankeyDestination row;
    row.id = id;
    row.watts = watts;
    return row;
}

struct OrderCase {
    const char* name;
    std::vector<std::pair<ID, std::optional<double>>> input;
    std::vector<ID> expected;
};

class FlowOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(FlowOrderTest, SortsLargerFirstTiesByRawValue) {
    std::vector<SankeyDestination> rows;
    for (const auto& [id, watts] : GetParam().input) {
        rows.push_back(rowOf(id, watts));
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
    ::testing::Values(
        OrderCase{
            "LargerFirst", {{ID::cpu, 1.0}, {ID::gpu, 3.0}, {ID::ane, 2.0}}, {ID::gpu, ID::ane, ID::cpu}},
        OrderCase{"WithinTenThousandthTieBreaksByRawValue",
                  {{ID::gpu, 3.00009}, {ID::cpu, 3.0}},
                  {ID::cpu, ID::gpu}},
        OrderCase{"JustBeyondTheToleranceIsLarger", {{ID::cpu, 3.0}, {ID::gpu, 3.00011}}, {ID::gpu, ID::cpu}},
        OrderCase{
            "RawValueOrderNotDeclarationOrder",
            {{ID::battery, 2.0}, {ID::ports, 2.0}, {ID::memory, 2.0}, {ID::display, 2.0}, {ID::ane, 2.0}},
            {ID::ane, ID::battery, ID::display, ID::memory, ID::ports}},
        OrderCase{"RemainderLastWhateverItsWatts", {{ID::other, 90.0}, {ID::cpu, 1.0}}, {ID::cpu, ID::other}},
        OrderCase{"AbsentCountsAsZero", {{ID::ane, std::nullopt}, {ID::cpu, 0.00005}}, {ID::ane, ID::cpu}},
        // 1.0, 1.00008 and 1.00016 are pairwise equal or not depending on the pair; the insertion
        // sort over the candidate order gives one defined answer.
        OrderCase{"IntransitiveTiesFollowTheInsertionSort",
                  {{ID::battery, 1.00016}, {ID::cpu, 1.0}, {ID::ane, 1.00008}},
                  {ID::ane, ID::battery, ID::cpu}},
        OrderCase{"IntransitiveTiesOtherInputOrder",
                  {{ID::cpu, 1.0}, {ID::ane, 1.00008}, {ID::battery, 1.00016}},
                  {ID::ane, ID::battery, ID::cpu}},
        // Ports comes before GPU but not before memory, the row just ahead: it stops there
        // (a sort that compares with the first row first would move it to the front).
        OrderCase{"NewRowStopsAtTheRowJustAhead",
                  {{ID::gpu, 1.0}, {ID::memory, 1.00008}, {ID::ports, 1.00016}},
                  {ID::gpu, ID::memory, ID::ports}},
        OrderCase{"Empty", {}, {}}),
    voltrane::testing::ParamName());

TEST(FlowOrderModelTest, ModelUsesTheInsertionSortOverTheCandidateOrder) {
    PowerSnapshot snapshot = snapshotIn(PowerState::charging);
    snapshot.batteryWatts = 1.00016;
    const SankeyFlowModel model(snapshot, measured(1.0, std::nullopt, 1.00008));
    expectRows(model, {{ID::ane, 1.00008}, {ID::battery, 1.00016}, {ID::cpu, 1.0}});

    PowerSnapshot plugged = snapshotIn(PowerState::pluggedIn);
    plugged.portOutputWatts = 1.00016;
    const SankeyFlowModel chained(plugged, measured(std::nullopt, 1.0, std::nullopt, 1.00008));
    expectRows(chained, {{ID::gpu, 1.0}, {ID::memory, 1.00008}, {ID::ports, 1.00016}});
}

// ---- Accessibility summary ----

struct SummaryCase {
    const char* name;
    const char* sourceTitle;
    std::optional<double> sourceWatts;
    std::vector<std::pair<const char*, std::optional<double>>> rows;
    const char* expected;
};

class FlowSummaryTest : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(FlowSummaryTest, DescribesTheDiagram) {
    SankeyFlowModel model;
    model.sourceTitle = GetParam().sourceTitle;
    model.sourceWatts = GetParam().sourceWatts;
    for (const auto& [title, watts] : GetParam().rows) {
        SankeyDestination row = rowOf(ID::cpu, watts);
        row.title = title;
        model.destinations.push_back(row);
    }
    EXPECT_EQ(model.accessibilitySummary(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlowSummaryTest,
    ::testing::Values(
        SummaryCase{"WorkedExample",
                    "电源适配器",
                    45.0,
                    {{"电池", 20.5}, {"CPU", 6.2}},
                    "电源适配器提供 45.0 W，流向电池 20.5 W，CPU 6.2 W"},
        SummaryCase{"NoRowsEndsAfterFlowsTo", "电池", 3.0, {}, "电池提供 3.0 W，流向"},
        SummaryCase{
            "AbsentSourceIsDash", "电池", std::nullopt, {{"CPU", 1.0}}, "电池提供 \u2014 W，流向CPU 1.0 W"},
        SummaryCase{"NaNSourceIsDash", "电池", kNaN, {}, "电池提供 \u2014 W，流向"},
        SummaryCase{"NegativeSourceByMagnitude", "电池", -12.34, {}, "电池提供 12.3 W，流向"},
        SummaryCase{"ZeroNaNAndAbsentRowsAreLeftOut",
                    "电源适配器",
                    10.0,
                    {{"CPU", 0.0}, {"GPU", kNaN}, {"ANE", std::nullopt}, {"内存", -1.0}, {"其它", 2.0}},
                    "电源适配器提供 10.0 W，流向其它 2.0 W"},
        SummaryCase{"InfiniteRowIsDash",
                    "电源适配器",
                    10.0,
                    {{"CPU", kInf}},
                    "电源适配器提供 10.0 W，流向CPU \u2014 W"},
        // 0.15 is a little under 0.15 in binary, so printf writes 0.1; 0.25 is exact and rounds to even.
        SummaryCase{"PrintfRounding",
                    "电池",
                    0.15,
                    {{"CPU", 0.25}, {"GPU", 0.35}},
                    "电池提供 0.1 W，流向CPU 0.2 W，GPU 0.3 W"}),
    voltrane::testing::ParamName());

} // namespace
} // namespace voltrane
