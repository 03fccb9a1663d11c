#include "flow/sankey_flow_model.h"
#include "flow/sankey_stable_layout.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace voltrane {
namespace {

using IDs = std::vector<SankeyDestination::ID>;
using Entry = SankeyStableLayout::Entry;
using enum SankeyDestination::ID;

SankeyStableLayout L(std::optional<double> sourceWatts, std::vector<Entry> entries) {
    SankeyStableLayout result;
    result.sourceWatts = sourceWatts;
    result.entries = std::move(entries);
    return result;
}
SankeyDestination row(SankeyDestination::ID id, std::optional<double> watts) {
    return {id, "", "", watts, "", PaletteColor::flowOther, SankeyDestination::State::measured};
}
IDs idsOf(const std::vector<SankeyDestination>& rows) {
    IDs ids;
    for (const SankeyDestination& destination : rows) {
        ids.push_back(destination.id);
    }
    return ids;
}

TEST(StableLayoutTest, RemembersFiniteRowsInOrderAndTheSourceAsIs) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    SankeyFlowModel model;
    model.sourceWatts = kNaN;
    model.destinations = {
        row(gpu, 4.0),     row(cpu, std::nullopt), row(ane, std::numeric_limits<double>::infinity()),
        row(memory, -1.5), row(other, kNaN),       row(battery, 2.0)};
    const SankeyStableLayout made(model);
    EXPECT_TRUE(made.sourceWatts && std::isnan(*made.sourceWatts));
    EXPECT_EQ(made.entries, (std::vector<Entry>{{gpu, 4.0}, {memory, 0.0}, {battery, 2.0}}));
}

// Adopted: a change of more than 2 W, or of the row set with a row over 2 W or the battery row.
TEST(StableLayoutTest, AdoptsOnlyChangesThatMatter) {
    // clang-format off
    const std::tuple<const char*, SankeyStableLayout, SankeyStableLayout, bool> rows[] = {
        {"SwapWithinTwoWattsIsKept", L(20, {{cpu, 5}, {gpu, 4.9}}), L(20, {{gpu, 5.3}, {cpu, 4.8}}), false},
        {"RowMovesMoreThanTwoWatts", L(20, {{cpu, 5}, {gpu, 4.9}}), L(20, {{cpu, 7.1}, {gpu, 4.9}}), true},
        {"RowMovesExactlyTwoWatts", L(20, {{cpu, 5}}), L(20, {{cpu, 7}}), false},
        {"RowFallsMoreThanTwoWatts", L(20, {{cpu, 5}}), L(20, {{cpu, 2.9}}), true},
        {"SourceMovesMoreThanTwoWatts", L(20, {{cpu, 5}}), L(22.5, {{cpu, 5.5}}), true},
        {"SourceFallsMoreThanTwoWatts", L(20, {{cpu, 5}}), L(17.5, {{cpu, 5}}), true},
        {"SourceMovesExactlyTwoWatts", L(20, {{cpu, 5}}), L(22, {{cpu, 5}}), false},
        {"SourceAppears", L({}, {{cpu, 5}}), L(0.5, {{cpu, 5}}), true},
        {"SourceVanishes", L(0.5, {{cpu, 5}}), L({}, {{cpu, 5}}), true},
        {"SourceAbsentInBoth", L({}, {{cpu, 5}}), L({}, {{cpu, 5}}), false},
        {"SmallRowAppearsWithSourceChange", L(20, {{cpu, 5}}), L(22.5, {{cpu, 5}, {gpu, 1.5}}), false},
        {"RowAppearsWithMoreThanTwoWatts", L(20, {{cpu, 5}}), L(20, {{cpu, 5}, {gpu, 2.1}}), true},
        {"RowAppearsWithExactlyTwoWatts", L(20, {{cpu, 5}}), L(20, {{cpu, 5}, {gpu, 2}}), false},
        {"RowVanishesWithMoreThanTwoWatts", L(20, {{cpu, 5}, {gpu, 3}}), L(20, {{cpu, 5}}), true},
        {"SmallRowVanishes", L(20, {{cpu, 5}, {gpu, 1}}), L(20, {{cpu, 5}}), false},
        {"KeptRowMovesWhileSetChanges", L(20, {{cpu, 5}}), L(20, {{cpu, 8}, {gpu, 0.5}}), true},
        {"BatteryAppearsWithAnyWatts", L(20, {{cpu, 5}}), L(20, {{battery, 0.3}, {cpu, 5}}), true},
        {"BatteryVanishes", L(20, {{battery, 0.3}, {cpu, 5}}), L(20, {{cpu, 5}}), true},
        {"BatteryMovesWhileSetChanges", L(20, {{battery, 5}, {cpu, 5}}), L(20, {{battery, 8}, {cpu, 5}, {gpu, 1}}), true},
        {"EmptyHeldSmallRowsNoBattery", L({}, {}), L(6, {{cpu, 2}, {gpu, 1.9}, {other, 2}}), false},
        {"EmptyHeldOneRowAboveTwoWatts", L({}, {}), L(6, {{cpu, 2}, {gpu, 2.01}}), true},
        {"SwappedIdentitiesOfEqualWatts", L(10, {{cpu, 1}}), L(10, {{gpu, 1}}), false},
        {"RepeatedEntryFirstCounts", L(20, {{cpu, 5}, {cpu, 9}}), L(20, {{cpu, 5}}), false}};
    // clang-format on
    for (const auto& [name, held, candidate, adopt] : rows) {
        EXPECT_EQ(held.shouldAdopt(candidate), adopt) << name;
    }
}

TEST(StableLayoutTest, ShowsRowsInTheHeldOrderWithCurrentFigures) {
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
    // Two ticks whose CPU and GPU swap by a fraction of a watt: the diagram keeps its order.
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.systemWatts = 12;
    const SankeyStableLayout calm{SankeyFlowModel(snapshot, {5.0, 4.9, {}, {}, {}, 1, true, {}})};
    snapshot.systemWatts = 12.4;
    const SankeyFlowModel next(snapshot, {4.8, 5.3, {}, {}, {}, 1, true, {}});
    ASSERT_EQ(idsOf(next.destinations), (IDs{gpu, cpu, other}));
    EXPECT_FALSE(calm.shouldAdopt(SankeyStableLayout(next)));
    EXPECT_EQ(idsOf(calm.ordered(next.destinations)), (IDs{cpu, gpu, other}));
}

} // namespace
} // namespace voltrane
