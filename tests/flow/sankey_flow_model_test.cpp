#include "flow/sankey_flow_model.h"
#include "flow/sankey_stable_layout.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <ranges>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;
using State = SankeyDestination::State;
using Opt = std::optional<double>;
using IDs = std::vector<ID>;
using Entry = SankeyStableLayout::Entry;
using enum SankeyDestination::ID;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr auto kBattery = PowerState::onBattery;
constexpr auto kCharging = PowerState::charging;
constexpr auto kPlugged = PowerState::pluggedIn;

PowerSnapshot snap(PowerState state, Opt system = {}, Opt battery = {}, Opt input = {}, Opt ports = {}) {
    PowerSnapshot snapshot;
    snapshot.state = state;
    snapshot.isExternalConnected = state != PowerState::onBattery;
    std::tie(snapshot.systemWatts, snapshot.batteryWatts, snapshot.inputWatts, snapshot.portOutputWatts) =
        std::tuple(system, battery, input, ports);
    return snapshot;
}
ComponentPowerSnapshot measured(Opt cpu, Opt gpu = {}, Opt ane = {}, Opt dram = {}, Opt display = {}) {
    return {cpu, gpu, ane, dram, display, 1, true, {}};
}
std::string describe(const SankeyFlowModel& model) { // "source system | id watts …", "-" when absent
    std::ostringstream text;
    const auto figure = [&](Opt watts) -> std::ostream& { return watts ? text << *watts : text << "-"; };
    figure(model.sourceWatts) << " ";
    figure(model.systemWatts) << " |";
    for (const SankeyDestination& row : model.destinations) {
        text << " " << rawValue(row.id) << " ";
        figure(row.watts);
    }
    return text.str();
}
IDs idsOf(const std::vector<SankeyDestination>& rows) {
    const auto ids = rows | std::views::transform(&SankeyDestination::id);
    return {ids.begin(), ids.end()};
}
SankeyDestination row(ID id, Opt watts, std::string title = "") {
    return {id, std::move(title), "", watts, "", PaletteColor::flowOther, State::estimated};
}

SankeyStableLayout L(std::optional<double> sourceWatts, std::vector<Entry> entries) {
    SankeyStableLayout result;
    std::tie(result.sourceWatts, result.entries) = std::tuple(sourceWatts, std::move(entries));
    return result;
}
TEST(FlowModelTest, BuildsTheSourceTheSystemEstimateAndTheOrderedRows) {
    const std::tuple<PowerSnapshot, ComponentPowerSnapshot, const char*> rows[] = {
        // The remainder sorts last although it is the largest; ANE falls under the row filter.
        {snap(kBattery, 14.2), measured(4, 1, 0.1, 0.6, 2.5),
         "14.2 14.2 | cpu 4 display 2.5 gpu 1 memory 0.6 other 6"},
        {snap(kCharging, 10, 15), measured(4), "25 10 | battery 15 cpu 4 other 6"},
        {snap(kCharging, 9, 0.15), measured(3), "9 9 | cpu 3 other 6"}, // a trickle: no row, adds nothing
        {snap(kCharging, 9, 0.2), measured(3), "9 9 | cpu 3 other 6"},
        {snap(kCharging, {}, 10, 30), {}, "30 20 | battery 10 other 20"},
        {snap(kPlugged, {}, 0.1, -12), {}, "11.9 11.9 | other 11.9"}, // a trickle still comes off the input
        {snap(kPlugged, {}, -5, 8), {}, "8 8 | other 8"},
        {snap(kCharging, {}, 7, 5), {}, "7 0 | battery 7"},
        {snap(kCharging, {}, kNaN, 30), measured(5), "30 - | cpu 5"},
        {snap(kBattery, {}, -11), measured(3), "11 11 | cpu 3 other 8"},
        {snap(kBattery, {}, 9), {}, "9 9 | other 9"}, // on battery a positive figure is no charge
        {snap(kBattery, {}, {}, 20), measured(3), "- - | cpu 3"},
        {snap(kPlugged, -7), measured(2), "7 7 | cpu 2 other 5"},
        {snap(PowerState::unavailable), {}, "- - |"},
        {snap(kPlugged, 20, {}, {}, 4.5), measured(6), "20 20 | cpu 6 ports 4.5 other 9.5"},
        {snap(kBattery, 5), measured(4, 3), "5 5 | cpu 4 gpu 3"}, // an overage hides the remainder
        // Usable figures count; rows show above 0.2 W, the display's estimate above 0.05 W.
        {snap(kPlugged, 100), measured(0.2, 0.2000001), "100 100 | gpu 0.2 other 99.6"},
        {snap(kPlugged, 100, {}, {}, 0.2), measured(0.1, 0.15, 0.05), "100 100 | other 99.5"},
        {snap(kPlugged, 100), measured({}, {}, {}, {}, 0.05), "100 100 | other 100"},
        {snap(kPlugged, 100), measured({}, {}, {}, {}, 0.06), "100 100 | other 99.94"},
        {snap(kPlugged, 100, {}, {}, -1), measured(-3, kNaN, kInf, -kInf, kNaN), "100 100 | other 100"},
        {snap(kPlugged, 100, {}, {}, 0), measured(0, 1), "100 100 | gpu 1 other 99"}}; // zero: inactive
    for (const auto& [snapshot, components, expected] : rows) {
        const SankeyFlowModel model(snapshot, components);
        EXPECT_EQ(describe(model), expected);
        EXPECT_EQ(model.sourceTitle, snapshot.state == kBattery ? "电池" : "电源适配器") << expected;
    }
    EXPECT_DOUBLE_EQ(SankeyFlowModel(snap(kBattery, 5), measured(4, 3)).allocation.overageWatts, 2.0);
}

TEST(FlowModelTest, TellsTheSourceAndTheRowsInWords) {
    // clang-format off
    const std::tuple<PowerState, std::optional<int>, Opt, const char*> sources[] = {
        {kBattery, {}, 96, "续航时间估算中"}, {kBattery, 0, 96, "续航时间估算中"}, {kBattery, 1, 96, "预计续航 1 分钟"},
        {kBattery, 61, 96, "预计 1 小时 1 分"}, {PowerState::charged, 90, 64.5, "额定 64 W"}, // printf rounds to even
        {PowerState::charged, 90, kNaN, "额定 \u2014 W"}, {PowerState::charged, 90, {}, "实时输入"}};
    // clang-format on
    for (const auto& [state, minutes, rated, text] : sources) {
        PowerSnapshot snapshot = snap(state);
        std::tie(snapshot.batteryTimeRemainingMinutes, snapshot.adapterRatedWatts) =
            std::pair(minutes, rated);
        EXPECT_EQ(SankeyFlowModel(snapshot, {}).sourceDetail, text);
    }
    PowerSnapshot charging = snap(kCharging, 40, 15, {}, 7.5);
    charging.chargePercent = 62;
    const auto wordsOf = [](const SankeyFlowModel& model) {
        std::string words = model.destinations[0].symbol;
        for (const SankeyDestination& row : model.destinations) {
            words += std::string("; ") + rawValue(row.id) + " " + row.detail + " " + caseName(row.state);
        }
        return words;
    };
    EXPECT_EQ(
        wordsOf(SankeyFlowModel(charging, measured(5, 4, 3, 2, 1))),
        "battery.100percent.bolt; battery 充电中 · 62% measured; ports 未检测 measured; cpu 估算 estimated; "
        "gpu 估算 estimated; ane 估算 estimated; memory 估算 estimated; display 估算 estimated; "
        "other 未归因 remainder");
    ComponentPowerSnapshot unreadable = measured(3); // the counters could not be read
    unreadable.sourceAvailable = false;
    const SankeyFlowModel estimateless(charging, unreadable);
    EXPECT_FALSE(estimateless.estimateAvailable);
    EXPECT_EQ(caseName(estimateless.destinations[2].state), std::string("unavailable"));
}

TEST(FlowModelTest, SortsLargerFirstWithTiesByRawValueAndTheRemainderLast) {
    // clang-format off
    const std::pair<std::vector<std::pair<ID, Opt>>, IDs> rows[] = {
        {{{cpu, 1.0}, {gpu, 3.0}, {ane, 2.0}}, {gpu, ane, cpu}},
        {{{gpu, 3.00009}, {cpu, 3.0}}, {cpu, gpu}}, {{{cpu, 3.0}, {gpu, 3.00011}}, {gpu, cpu}}, // within 0.0001: by name
        {{{battery, 2.0}, {ports, 2.0}, {memory, 2.0}, {display, 2.0}, {ane, 2.0}}, {ane, battery, display, memory, ports}},
        {{{other, 90.0}, {cpu, 1.0}}, {cpu, other}}, {{{cpu, 1.0}, {other, 0.5}, {gpu, 2.0}}, {gpu, cpu, other}},
        {{{ane, {}}, {cpu, 0.00005}}, {ane, cpu}}, {{{gpu, 0.5}, {cpu, {}}}, {gpu, cpu}}, // absent counts as zero
        {{{cpu, {}}, {gpu, 0.5}}, {gpu, cpu}}, {{{ane, 0.0}, {cpu, 0.0001}}, {ane, cpu}}, // 0.0001 apart is equal
        // 1.0, 1.00008 and 1.00016 are equal or not depending on the pair: the insertion sort gives
        // one answer, and a new row stops at the row just ahead of it.
        {{{battery, 1.00016}, {cpu, 1.0}, {ane, 1.00008}}, {ane, battery, cpu}},
        {{{gpu, 1.0}, {memory, 1.00008}, {ports, 1.00016}}, {gpu, memory, ports}}};
    // clang-format on
    for (const auto& [input, expected] : rows) {
        std::vector<SankeyDestination> destinations;
        for (const auto& [id, watts] : input) {
            destinations.push_back(row(id, watts));
        }
        SankeyFlowModel::sortRows(destinations);
        EXPECT_EQ(idsOf(destinations), expected) << rawValue(input[0].first);
    }
    std::vector<SankeyDestination> twins{row(cpu, 1.0, "first"), row(cpu, 1.0, "second")};
    SankeyFlowModel::sortRows(twins);
    EXPECT_EQ(twins[0].title + " " + twins[1].title, "first second"); // the sort is stable
    // The model sorts its rows in their candidate order: battery, cpu, gpu, ane, memory, display, ports.
    const auto idsFor = [](PowerSnapshot p, ComponentPowerSnapshot c) {
        return idsOf(SankeyFlowModel(p, c).destinations);
    };
    EXPECT_EQ(idsFor(snap(kCharging, {}, 1.00016), measured(1, {}, 1.00008)), (IDs{ane, battery, cpu}));
    EXPECT_EQ(idsFor(snap(kPlugged, {}, {}, {}, 1.00016), measured({}, 1, {}, 1.00008)),
              (IDs{gpu, memory, ports}));
}

TEST(FlowModelTest, SummaryDescribesTheDiagram) {
    // clang-format off
    const std::tuple<Opt, std::vector<std::pair<const char*, Opt>>, const char*> rows[] = {
        {45.0, {{"电池", 20.5}, {"CPU", 6.2}}, "电池提供 45.0 W，流向电池 20.5 W，CPU 6.2 W"}, {3.0, {}, "电池提供 3.0 W，流向"},
        {{}, {{"CPU", 1.0}}, "电池提供 \u2014 W，流向CPU 1.0 W"}, {kInf, {{"CPU", 1.0}}, "电池提供 \u2014 W，流向CPU 1.0 W"},
        {-12.34, {}, "电池提供 12.3 W，流向"}, {10.0, {{"CPU", kInf}}, "电池提供 10.0 W，流向CPU \u2014 W"},
        {10.0, {{"CPU", 0.0}, {"GPU", kNaN}, {"ANE", {}}, {"内存", -1.0}, {"其它", 2.0}}, "电池提供 10.0 W，流向其它 2.0 W"},
        // 0.15 is a little under 0.15 in binary, so printf writes 0.1; 0.25 is exact and rounds to even.
        {0.15, {{"CPU", 0.25}, {"GPU", 0.35}}, "电池提供 0.1 W，流向CPU 0.2 W，GPU 0.3 W"}};
    // clang-format on
    for (const auto& [source, destinations, expected] : rows) {
        SankeyFlowModel model;
        std::tie(model.sourceTitle, model.sourceWatts) = std::pair("电池", source);
        for (const auto& [title, watts] : destinations) {
            model.destinations.push_back(row(cpu, watts, title));
        }
        EXPECT_EQ(model.accessibilitySummary(), expected);
    }
}

// Adopted: a change of more than 2 W, or of the row set with a row over 2 W or the battery row.
TEST(StableLayoutTest, AdoptsOnlyChangesThatMatter) {
    // clang-format off
    const std::tuple<SankeyStableLayout, SankeyStableLayout, bool> rows[] = {
        // A row or the source moving: kept within 2 W, adopted beyond; an appearing or vanishing source.
        {L(20, {{cpu, 5}, {gpu, 4.9}}), L(20, {{gpu, 5.3}, {cpu, 4.8}}), false},
        {L(20, {{cpu, 5}, {gpu, 4.9}}), L(20, {{cpu, 7.1}, {gpu, 4.9}}), true},
        {L(20, {{cpu, 5}}), L(20, {{cpu, 7}}), false},      {L(20, {{cpu, 5}}), L(20, {{cpu, 2.9}}), true},
        {L(20, {{cpu, 5}}), L(22.5, {{cpu, 5.5}}), true},   {L(20, {{cpu, 5}}), L(17.5, {{cpu, 5}}), true},
        {L(20, {{cpu, 5}}), L(22, {{cpu, 5}}), false},      {L({}, {{cpu, 5}}), L(0.5, {{cpu, 5}}), true},
        {L(0.5, {{cpu, 5}}), L({}, {{cpu, 5}}), true},      {L({}, {{cpu, 5}}), L({}, {{cpu, 5}}), false},
        // The row set changing: a row over 2 W, or the battery row at any watts, or a kept row moving.
        {L(20, {{cpu, 5}}), L(22.5, {{cpu, 5}, {gpu, 1.5}}), false}, {L(20, {{cpu, 5}}), L(20, {{cpu, 5}, {gpu, 2}}), false},
        {L(20, {{cpu, 5}}), L(20, {{cpu, 5}, {gpu, 2.1}}), true},     {L(20, {{cpu, 5}}), L(20, {{cpu, 8}, {gpu, 0.5}}), true},
        {L(20, {{cpu, 5}, {gpu, 3}}), L(20, {{cpu, 5}}), true},       {L(20, {{cpu, 5}, {gpu, 1}}), L(20, {{cpu, 5}}), false},
        {L(20, {{cpu, 5}}), L(20, {{battery, 0.3}, {cpu, 5}}), true}, {L(20, {{battery, 0.3}, {cpu, 5}}), L(20, {{cpu, 5}}), true},
        {L(20, {{battery, 5}, {cpu, 5}}), L(20, {{battery, 8}, {cpu, 5}, {gpu, 1}}), true},
        {L({}, {}), L(6, {{cpu, 2}, {gpu, 1.9}, {other, 2}}), false}, {L({}, {}), L(6, {{cpu, 2}, {gpu, 2.01}}), true},
        {L(10, {{cpu, 1}}), L(10, {{gpu, 1}}), false}, // swapped identities of equal watts
        {L(20, {{cpu, 5}, {cpu, 9}}), L(20, {{cpu, 5}}), false}}; // of a repeated entry the first counts
    // clang-format on
    for (const auto& row : rows) {
        EXPECT_EQ(std::get<0>(row).shouldAdopt(std::get<1>(row)), std::get<2>(row)) << "row " << &row - rows;
    }
}

TEST(StableLayoutTest, RemembersFiniteRowsAndShowsThemInTheHeldOrderWithCurrentFigures) {
    SankeyFlowModel model;
    model.sourceWatts = kNaN;
    model.destinations = {row(gpu, 4.0),     row(cpu, std::nullopt), row(ane, kInf),
                          row(memory, -1.5), row(other, kNaN),       row(battery, 2.0)};
    const SankeyStableLayout made(model);
    EXPECT_TRUE(made.sourceWatts && std::isnan(*made.sourceWatts));
    EXPECT_EQ(made.entries, (std::vector<Entry>{{gpu, 4.0}, {memory, 0.0}, {battery, 2.0}}));
    const SankeyStableLayout held = L(20, {{cpu, 5}, {gpu, 4.9}});
    EXPECT_EQ(held.ordered({row(gpu, 5.3), row(cpu, 4.8)}), (std::vector{row(cpu, 4.8), row(gpu, 5.3)}));
    EXPECT_EQ(held.layoutWatts({row(cpu, 6), row(gpu, 4), row(ane, 0.7)}),
              (std::vector<std::optional<double>>{5.0, 4.9, 0.7}));
    // A new row waits for adoption, a vanished one goes at once; a repeated entry shows once.
    EXPECT_EQ(idsOf(L(20, {{cpu, 5}, {memory, 3}, {other, 6}})
                        .ordered({row(cpu, 5.1), row(gpu, 1.5), row(other, 6)})),
              (IDs{cpu, other}));
    EXPECT_EQ(idsOf(L(1, {{cpu, 1}, {gpu, 1}, {cpu, 2}}).ordered({row(gpu, 1), row(cpu, 1)})),
              (IDs{cpu, gpu}));
}

} // namespace
} // namespace voltrane
