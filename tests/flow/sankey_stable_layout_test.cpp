#include "flow/sankey_flow_model.h"
#include "flow/sankey_stable_layout.h"
#include "support/param_name.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;
using Entry = SankeyStableLayout::Entry;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

SankeyStableLayout layout(std::optional<double> sourceWatts, std::vector<Entry> entries) {
    SankeyStableLayout result;
    result.sourceWatts = sourceWatts;
    result.entries = std::move(entries);
    return result;
}

SankeyDestination row(ID id, std::optional<double> watts) {
    SankeyDestination destination;
    destination.id = id;
    destination.watts = watts;
    return destination;
}

// ---- init(model:) ----

TEST(StableLayoutInitTest, KeepsFiniteRowsInOrderAndTheSourceUnchanged) {
    SankeyFlowModel model;
    model.sourceWatts = kNaN;
    model.destinations = {row(ID::gpu, 4.0),     row(ID::cpu, std::nullopt), row(ID::ane, kInf),
                          row(ID::memory, -1.5), row(ID::other, kNaN),       row(ID::battery, 2.0)};
    const SankeyStableLayout made(model);
    EXPECT_TRUE(made.sourceWatts.has_value());
    EXPECT_TRUE(std::isnan(*made.sourceWatts));
    const std::vector<Entry> expected{{ID::gpu, 4.0}, {ID::memory, 0.0}, {ID::battery, 2.0}};
    EXPECT_EQ(made.entries, expected);
}

TEST(StableLayoutInitTest, AbsentSourceStaysAbsent) {
    SankeyFlowModel model;
    model.destinations = {row(ID::cpu, 1.0)};
    EXPECT_EQ(SankeyStableLayout(model), layout(std::nullopt, {{ID::cpu, 1.0}}));
}

// ---- shouldAdopt(_:) ----

struct AdoptCase {
    const char* name;
    SankeyStableLayout held;
    SankeyStableLayout candidate;
    bool adopt;
};

class ShouldAdoptTest : public ::testing::TestWithParam<AdoptCase> {};

TEST_P(ShouldAdoptTest, AdoptsOnlyChangesThatMatter) {
    EXPECT_EQ(GetParam().held.shouldAdopt(GetParam().candidate), GetParam().adopt);
}

INSTANTIATE_TEST_SUITE_P(
    SameSet, ShouldAdoptTest,
    ::testing::Values(AdoptCase{"SwapWithinTwoWattsIsKept", layout(20.0, {{ID::cpu, 5.0}, {ID::gpu, 4.9}}),
                                layout(20.0, {{ID::gpu, 5.3}, {ID::cpu, 4.8}}), false},
                      AdoptCase{"RowMovesMoreThanTwoWatts", layout(20.0, {{ID::cpu, 5.0}, {ID::gpu, 4.9}}),
                                layout(20.0, {{ID::cpu, 7.1}, {ID::gpu, 4.9}}), true},
                      AdoptCase{"RowMovesExactlyTwoWatts", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(20.0, {{ID::cpu, 7.0}}), false},
                      AdoptCase{"RowFallsMoreThanTwoWatts", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(20.0, {{ID::cpu, 2.9}}), true},
                      AdoptCase{"SourceMovesMoreThanTwoWatts", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(22.5, {{ID::cpu, 5.5}}), true},
                      AdoptCase{"SourceMovesExactlyTwoWatts", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(22.0, {{ID::cpu, 5.0}}), false},
                      AdoptCase{"SourceAppears", layout(std::nullopt, {{ID::cpu, 5.0}}),
                                layout(0.5, {{ID::cpu, 5.0}}), true},
                      AdoptCase{"SourceVanishes", layout(0.5, {{ID::cpu, 5.0}}),
                                layout(std::nullopt, {{ID::cpu, 5.0}}), true},
                      AdoptCase{"SourceAbsentInBoth", layout(std::nullopt, {{ID::cpu, 5.0}}),
                                layout(std::nullopt, {{ID::cpu, 5.0}}), false},
                      AdoptCase{"BothEmpty", layout(std::nullopt, {}), layout(std::nullopt, {}), false}),
    voltrane::testing::ParamName());

INSTANTIATE_TEST_SUITE_P(
    DifferentSet, ShouldAdoptTest,
    ::testing::Values(AdoptCase{"SmallRowAppearsWithSourceChange", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(22.5, {{ID::cpu, 5.0}, {ID::gpu, 1.5}}), false},
                      AdoptCase{"RowAppearsWithMoreThanTwoWatts", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(20.0, {{ID::cpu, 5.0}, {ID::gpu, 2.1}}), true},
                      AdoptCase{"RowAppearsWithExactlyTwoWatts", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(20.0, {{ID::cpu, 5.0}, {ID::gpu, 2.0}}), false},
                      AdoptCase{"RowVanishesWithMoreThanTwoWatts",
                                layout(20.0, {{ID::cpu, 5.0}, {ID::gpu, 3.0}}),
                                layout(20.0, {{ID::cpu, 5.0}}), true},
                      AdoptCase{"SmallRowVanishes", layout(20.0, {{ID::cpu, 5.0}, {ID::gpu, 1.0}}),
                                layout(20.0, {{ID::cpu, 5.0}}), false},
                      AdoptCase{"KeptRowMovesWhileSetChanges", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(20.0, {{ID::cpu, 8.0}, {ID::gpu, 0.5}}), true},
                      AdoptCase{"BatteryAppearsWithAnyWatts", layout(20.0, {{ID::cpu, 5.0}}),
                                layout(20.0, {{ID::battery, 0.3}, {ID::cpu, 5.0}}), true},
                      AdoptCase{"BatteryVanishes", layout(20.0, {{ID::battery, 0.3}, {ID::cpu, 5.0}}),
                                layout(20.0, {{ID::cpu, 5.0}}), true},
                      AdoptCase{"EmptyHeldSmallRowsNoBattery", layout(std::nullopt, {}),
                                layout(6.0, {{ID::cpu, 2.0}, {ID::gpu, 1.9}, {ID::other, 2.0}}), false},
                      AdoptCase{"EmptyHeldOneRowAboveTwoWatts", layout(std::nullopt, {}),
                                layout(6.0, {{ID::cpu, 2.0}, {ID::gpu, 2.01}}), true},
                      AdoptCase{"SwappedIdentitiesOfEqualWatts", layout(10.0, {{ID::cpu, 1.0}}),
                                layout(10.0, {{ID::gpu, 1.0}}), false}),
    voltrane::testing::ParamName());

// ---- ordered(_:) ----

std::vector<ID> idsOf(const std::vector<SankeyDestination>& rows) {
    std::vector<ID> ids;
    for (const SankeyDestination& destination : rows) {
        ids.push_back(destination.id);
    }
    return ids;
}

TEST(StableLayoutOrderedTest, KeepsTheHeldOrderWithCurrentFigures) {
    const SankeyStableLayout held = layout(20.0, {{ID::cpu, 5.0}, {ID::gpu, 4.9}});
    const std::vector<SankeyDestination> now{row(ID::gpu, 5.3), row(ID::cpu, 4.8)};
    const std::vector<SankeyDestination> shown = held.ordered(now);
    ASSERT_EQ(idsOf(shown), (std::vector<ID>{ID::cpu, ID::gpu}));
    EXPECT_EQ(shown[0].watts, 4.8);
    EXPECT_EQ(shown[1].watts, 5.3);
}

TEST(StableLayoutOrderedTest, NewRowWaitsForAdoptionAndVanishedRowGoesAtOnce) {
    const SankeyStableLayout held = layout(20.0, {{ID::cpu, 5.0}, {ID::memory, 3.0}, {ID::other, 6.0}});
    const std::vector<SankeyDestination> now{row(ID::cpu, 5.1), row(ID::gpu, 1.5), row(ID::other, 6.0)};
    EXPECT_EQ(idsOf(held.ordered(now)), (std::vector<ID>{ID::cpu, ID::other}));
}

TEST(StableLayoutOrderedTest, RepeatedEntryShowsTheRowOnce) {
    const SankeyStableLayout held = layout(1.0, {{ID::cpu, 1.0}, {ID::gpu, 1.0}, {ID::cpu, 2.0}});
    EXPECT_EQ(idsOf(held.ordered({row(ID::gpu, 1.0), row(ID::cpu, 1.0)})),
              (std::vector<ID>{ID::cpu, ID::gpu}));
}

TEST(StableLayoutOrderedTest, LayoutWattsFollowTheRememberedFigures) {
    const SankeyStableLayout held = layout(20.0, {{ID::cpu, 5.0}, {ID::gpu, 4.9}});
    const std::vector<std::optional<double>> watts =
        held.layoutWatts({row(ID::cpu, 6.0), row(ID::gpu, 4.0), row(ID::ane, 0.7)});
    EXPECT_EQ(watts, (std::vector<std::optional<double>>{5.0, 4.9, 0.7}));
}

TEST(StableLayoutFlowTest, CalmLayoutFromSuccessiveModels) {
    // Two ticks whose CPU and GPU swap by a fraction of a watt: the diagram keeps its order.
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.systemWatts = 12;
    ComponentPowerSnapshot components;
    components.sourceAvailable = true;
    components.cpuWatts = 5.0;
    components.gpuWatts = 4.9;
    const SankeyStableLayout held{SankeyFlowModel(snapshot, components)};

    components.cpuWatts = 4.8;
    components.gpuWatts = 5.3;
    snapshot.systemWatts = 12.4;
    const SankeyFlowModel next(snapshot, components);
    ASSERT_EQ(idsOf(next.destinations), (std::vector<ID>{ID::gpu, ID::cpu, ID::other}));
    EXPECT_FALSE(held.shouldAdopt(SankeyStableLayout(next)));
    EXPECT_EQ(idsOf(held.ordered(next.destinations)), (std::vector<ID>{ID::cpu, ID::gpu, ID::other}));
}

} // namespace
} // namespace voltrane
