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
using enum SankeyDestination::ID;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

SankeyStableLayout L(std::optional<double> sourceWatts, std::vector<Entry> entries) {
    SankeyStableLayout result;
    result.sourceWatts = sourceWatts;
    result.entries = std::move(entries);
    return result;
}

SankeyDestination row(ID id, std::optional<double> watts) {
    return {id, "", "", watts, "", PaletteColor::flowOther, SankeyDestination::State::measured};
}

std::vector<ID> idsOf(const std::vector<SankeyDestination>& rows) {
    std::vector<ID> ids;
    for (const SankeyDestination& destination : rows) {
        ids.push_back(destination.id);
    }
    return ids;
}

TEST(StableLayoutInitTest, KeepsFiniteRowsInOrderAndTheSourceUnchanged) {
    SankeyFlowModel model;
    model.sourceWatts = kNaN;
    model.destinations = {
        row(gpu, 4.0),     row(cpu, std::nullopt), row(ane, std::numeric_limits<double>::infinity()),
        row(memory, -1.5), row(other, kNaN),       row(battery, 2.0)};
    const SankeyStableLayout made(model);
    ASSERT_TRUE(made.sourceWatts.has_value());
    EXPECT_TRUE(std::isnan(*made.sourceWatts));
    EXPECT_EQ(made.entries, (std::vector<Entry>{{gpu, 4.0}, {memory, 0.0}, {battery, 2.0}}));

    model.sourceWatts.reset();
    EXPECT_EQ(SankeyStableLayout(model).sourceWatts, std::nullopt);
}

// ---- shouldAdopt: changes of more than 2 W, or of the row set with a row over 2 W or a battery ----

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
    ::testing::Values(AdoptCase{"SwapWithinTwoWattsIsKept", L(20, {{cpu, 5}, {gpu, 4.9}}),
                                L(20, {{gpu, 5.3}, {cpu, 4.8}}), false},
                      AdoptCase{"RowMovesMoreThanTwoWatts", L(20, {{cpu, 5}, {gpu, 4.9}}),
                                L(20, {{cpu, 7.1}, {gpu, 4.9}}), true},
                      AdoptCase{"RowMovesExactlyTwoWatts", L(20, {{cpu, 5}}), L(20, {{cpu, 7}}), false},
                      AdoptCase{"RowFallsMoreThanTwoWatts", L(20, {{cpu, 5}}), L(20, {{cpu, 2.9}}), true},
                      AdoptCase{"SourceMovesMoreThanTwoWatts", L(20, {{cpu, 5}}), L(22.5, {{cpu, 5.5}}),
                                true},
                      AdoptCase{"SourceMovesExactlyTwoWatts", L(20, {{cpu, 5}}), L(22, {{cpu, 5}}), false},
                      AdoptCase{"SourceAppears", L({}, {{cpu, 5}}), L(0.5, {{cpu, 5}}), true},
                      AdoptCase{"SourceVanishes", L(0.5, {{cpu, 5}}), L({}, {{cpu, 5}}), true},
                      AdoptCase{"SourceAbsentInBoth", L({}, {{cpu, 5}}), L({}, {{cpu, 5}}), false}),
    voltrane::testing::ParamName());

INSTANTIATE_TEST_SUITE_P(
    DifferentSet, ShouldAdoptTest,
    ::testing::Values(
        AdoptCase{"SmallRowAppearsWithSourceChange", L(20, {{cpu, 5}}), L(22.5, {{cpu, 5}, {gpu, 1.5}}),
                  false},
        AdoptCase{"RowAppearsWithMoreThanTwoWatts", L(20, {{cpu, 5}}), L(20, {{cpu, 5}, {gpu, 2.1}}), true},
        AdoptCase{"RowAppearsWithExactlyTwoWatts", L(20, {{cpu, 5}}), L(20, {{cpu, 5}, {gpu, 2}}), false},
        AdoptCase{"RowVanishesWithMoreThanTwoWatts", L(20, {{cpu, 5}, {gpu, 3}}), L(20, {{cpu, 5}}), true},
        AdoptCase{"SmallRowVanishes", L(20, {{cpu, 5}, {gpu, 1}}), L(20, {{cpu, 5}}), false},
        AdoptCase{"KeptRowMovesWhileSetChanges", L(20, {{cpu, 5}}), L(20, {{cpu, 8}, {gpu, 0.5}}), true},
        AdoptCase{"BatteryAppearsWithAnyWatts", L(20, {{cpu, 5}}), L(20, {{battery, 0.3}, {cpu, 5}}), true},
        AdoptCase{"BatteryVanishes", L(20, {{battery, 0.3}, {cpu, 5}}), L(20, {{cpu, 5}}), true},
        AdoptCase{"EmptyHeldSmallRowsNoBattery", L({}, {}), L(6, {{cpu, 2}, {gpu, 1.9}, {other, 2}}), false},
        AdoptCase{"EmptyHeldOneRowAboveTwoWatts", L({}, {}), L(6, {{cpu, 2}, {gpu, 2.01}}), true},
        AdoptCase{"SwappedIdentitiesOfEqualWatts", L(10, {{cpu, 1}}), L(10, {{gpu, 1}}), false}),
    voltrane::testing::ParamName());

// ---- ordered and layoutWatts ----

TEST(StableLayoutOrderedTest, KeepsTheHeldOrderWithCurrentFigures) {
    const SankeyStableLayout held = L(20, {{cpu, 5}, {gpu, 4.9}});
    const std::vector<SankeyDestination> shown = held.ordered({row(gpu, 5.3), row(cpu, 4.8)});
    EXPECT_EQ(shown, (std::vector<SankeyDestination>{row(cpu, 4.8), row(gpu, 5.3)}));
    EXPECT_EQ(held.layoutWatts({row(cpu, 6), row(gpu, 4), row(ane, 0.7)}),
              (std::vector<std::optional<double>>{5.0, 4.9, 0.7}));
}

TEST(StableLayoutOrderedTest, NewRowWaitsForAdoptionAndVanishedRowGoesAtOnce) {
    const SankeyStableLayout held = L(20, {{cpu, 5}, {memory, 3}, {other, 6}});
    EXPECT_EQ(idsOf(held.ordered({row(cpu, 5.1), row(gpu, 1.5), row(other, 6)})),
              (std::vector<ID>{cpu, other}));
}

TEST(StableLayoutOrderedTest, RepeatedEntryShowsTheRowOnce) {
    const SankeyStableLayout held = L(1, {{cpu, 1}, {gpu, 1}, {cpu, 2}});
    EXPECT_EQ(idsOf(held.ordered({row(gpu, 1), row(cpu, 1)})), (std::vector<ID>{cpu, gpu}));
}

TEST(StableLayoutFlowTest, CalmLayoutFromSuccessiveModels) {
    // Two ticks whose CPU and GPU swap by a fraction of a watt: the diagram keeps its order.
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.systemWatts = 12;
    const SankeyStableLayout held{SankeyFlowModel(snapshot, {5.0, 4.9, {}, {}, {}, 1, true, {}})};
    snapshot.systemWatts = 12.4;
    const SankeyFlowModel next(snapshot, {4.8, 5.3, {}, {}, {}, 1, true, {}});
    ASSERT_EQ(idsOf(next.destinations), (std::vector<ID>{gpu, cpu, other}));
    EXPECT_FALSE(held.shouldAdopt(SankeyStableLayout(next)));
    EXPECT_EQ(idsOf(held.ordered(next.destinations)), (std::vector<ID>{cpu, gpu, other}));
}

} // namespace
} // namespace voltrane
