#include "fake_energy_report.h"
#include "support/param_name.h"
#include "telemetry/components/io_report_component_power_provider.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

using ::testing::IsEmpty;
using voltrane::testing::FakeChannel;
using voltrane::testing::FakeEnergyReport;
using voltrane::testing::FakeEnergyReportState;

const Date kAt{std::chrono::seconds(1'800'000'000)};

FakeChannel energy(std::string name, std::string unit, std::int64_t count) {
    return {"Energy Model", "", std::move(name), std::move(unit), count};
}

FakeChannel display(std::int64_t count, std::string unit = "\u00B5J") {
    return {"DCP", "display stats", "power", std::move(unit), count};
}

struct Watts {
    std::optional<double> cpu = std::nullopt;
    std::optional<double> gpu = std::nullopt;
    std::optional<double> ane = std::nullopt;
    std::optional<double> dram = std::nullopt;
    std::optional<double> display = std::nullopt;
};

struct ChannelRuleRow {
    const char* name;
    std::vector<FakeChannel> channels;
    double interval;
    Watts expected;
};

/// An opened library with every function resolved, as the sampler holds it.
class ChannelRuleTest : public ::testing::TestWithParam<ChannelRuleRow> {
protected:
    void SetUp() override {
        ASSERT_TRUE(api.open());
        for (const EnergyReportSymbol symbol : kEnergyReportSymbols) {
            ASSERT_TRUE(api.resolve(symbol));
        }
    }

    /// Converts the delta, gives it back and checks that nothing borrowed was released.
    ComponentPowerSnapshot convert(EnergyReportLibrary::Object delta, double interval) {
        const auto snapshot = IOReportComponentPowerProvider::snapshot(delta, interval, kAt, api);
        api.release(delta);
        EXPECT_THAT(state.faults, IsEmpty());
        EXPECT_THAT(state.leaks(), IsEmpty());
        return snapshot;
    }

    FakeEnergyReportState state;
    FakeEnergyReport api{state};
};

TEST_P(ChannelRuleTest, ConvertsTheDelta) {
    const ChannelRuleRow& row = GetParam();
    const ComponentPowerSnapshot snapshot = convert(state.makeDelta(row.channels), row.interval);

    ComponentPowerSnapshot expected = ComponentPowerSnapshot::waiting(kAt);
    expected.sampleInterval = row.interval;
    expected.cpuWatts = row.expected.cpu;
    expected.gpuWatts = row.expected.gpu;
    expected.aneWatts = row.expected.ane;
    expected.dramWatts = row.expected.dram;
    expected.displayWatts = row.expected.display;
    EXPECT_EQ(snapshot, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChannelRuleTest,
    ::testing::Values(
        ChannelRuleRow{"CpuEnergyInMillijoules", {energy("CPU Energy", "mJ", 5'000)}, 2.0, {.cpu = 2.5}},
        ChannelRuleRow{"CpuEnergySuffixesAreSummed",
                       {energy("EACC_CPU Energy", "mJ", 500), energy("PACC0_CPU Energy", "mJ", 250)},
                       1.0,
                       {.cpu = 0.75}},
        ChannelRuleRow{
            "CoreClustersWithoutTheSuffixAreIgnored",
            {energy("ECPU", "mJ", 1'000), energy("PCPU0", "mJ", 1'000), energy("CPU Energy0", "mJ", 1)},
            1.0,
            {}},
        ChannelRuleRow{
            "GpuEnergyIsNotAddedToNumberedGpus",
            {energy("GPU0", "mJ", 500), energy("GPU Energy", "mJ", 1'000), energy("GPU1", "mJ", 250)},
            1.0,
            {.gpu = 1.0}},
        ChannelRuleRow{"NumberedGpusAreSummed",
                       {energy("GPU0", "mJ", 500), energy("GPU1", "mJ", 250), energy("GPU12", "mJ", 125)},
                       1.0,
                       {.gpu = 0.875}},
        ChannelRuleRow{"BareOrLetteredGpuNamesCountForNothing",
                       {energy("GPU", "mJ", 500), energy("GPUX", "mJ", 500), energy("GPU0a", "mJ", 500),
                        energy("GPU-1", "mJ", 500)},
                       1.0,
                       {}},
        ChannelRuleRow{"AneAndDramByPrefix",
                       {energy("ANE0", "mJ", 250), energy("ANE", "mJ", 250), energy("DRAM0", "mJ", 500),
                        energy("DRAM", "mJ", 125)},
                       1.0,
                       {.ane = 0.5, .dram = 0.625}},
        ChannelRuleRow{"NamesAreCaseSensitive",
                       {energy("cpu energy", "mJ", 500), energy("gpu0", "mJ", 500), energy("ane", "mJ", 500),
                        energy("Dram", "mJ", 500)},
                       1.0,
                       {}},
        ChannelRuleRow{"CounterThatWentBackwardsGivesPresentZero",
                       {energy("CPU Energy", "mJ", -5'000), energy("CPU Energy", "mJ", -1)},
                       1.0,
                       {.cpu = 0.0}},
        ChannelRuleRow{
            "UnknownUnitsSkipTheChannel", {energy("CPU Energy", "J", 5), energy("DRAM", "", 5'000)}, 1.0, {}},
        ChannelRuleRow{"OtherGroupsAreSkipped",
                       {{"PMP", "", "CPU Energy", "mJ", 1'000}, {"energy model", "", "DRAM", "mJ", 1'000}},
                       1.0,
                       {}},
        ChannelRuleRow{"NullStringsReadAsEmptyAndAreSkipped",
                       {{"Energy Model", "", std::nullopt, "mJ", 1'000},
                        {std::nullopt, "", "CPU Energy", "mJ", 1'000},
                        {"Energy Model", std::nullopt, "DRAM", std::nullopt, 1'000},
                        {"DCP", std::nullopt, "power", "\u00B5J", 2'000'000},
                        {"DCP", "display stats", std::nullopt, "\u00B5J", 2'000'000}},
                       1.0,
                       {}},
        ChannelRuleRow{"NullSubgroupDoesNotMatterOutsideTheDisplay",
                       {{"Energy Model", std::nullopt, "CPU Energy", "mJ", 1'000}},
                       1.0,
                       {.cpu = 1.0}},
        ChannelRuleRow{"DisplayBelowTheFloorIsAbsent", {display(40'000)}, 1.0, {}},
        ChannelRuleRow{"DisplayAtTheFloorIsAbsent", {display(50'000)}, 1.0, {}},
        ChannelRuleRow{"DisplayAboveTheFloor", {display(2'000'000)}, 1.0, {.display = 2.0}},
        ChannelRuleRow{
            "DisplayCountsMicrojoulesWhateverTheLabel", {display(2'000'000, "nJ")}, 1.0, {.display = 2.0}},
        ChannelRuleRow{"LaterDisplayChannelOverwrites", {display(2'000'000), display(10'000)}, 1.0, {}},
        ChannelRuleRow{"LaterDisplayChannelOverwritesWithAFigure",
                       {display(10'000), display(3'000'000)},
                       1.0,
                       {.display = 3.0}},
        ChannelRuleRow{"DisplayWentBackwards", {display(-2'000'000)}, 1.0, {}},
        ChannelRuleRow{"DisplayNeedsItsSubgroupAndName",
                       {{"DCP", "other stats", "power", "\u00B5J", 2'000'000},
                        {"DCP", "display stats", "Power", "\u00B5J", 2'000'000},
                        {"Energy Model", "display stats", "power", "\u00B5J", 2'000'000}},
                       1.0,
                       {}},
        ChannelRuleRow{
            "NoIntervalGivesNoFigures", {energy("CPU Energy", "mJ", 5'000), display(2'000'000)}, 0.0, {}},
        ChannelRuleRow{"EveryComponent",
                       {energy("EACC_CPU Energy", "mJ", 1'000), energy("GPU Energy", "mJ", 500),
                        energy("ANE0", "mJ", 250), energy("DRAM0", "mJ", 125), display(4'000'000)},
                       0.5,
                       {.cpu = 2.0, .gpu = 1.0, .ane = 0.5, .dram = 0.25, .display = 8.0}}),
    voltrane::testing::ParamName());

TEST_F(ChannelRuleTest, DeltaWithoutChannelsOrWithAnEmptyArrayHasNoFigures) {
    ComponentPowerSnapshot expected = ComponentPowerSnapshot::waiting(kAt);
    expected.sampleInterval = 1.5;
    EXPECT_EQ(convert(state.makeDeltaWithoutChannels(), 1.5), expected);
    EXPECT_EQ(convert(state.makeDelta({}), 1.5), expected);
}

struct WattsRow {
    const char* name;
    std::int64_t energy;
    const char* unit;
    double interval;
    std::optional<double> expected;
};

class WattsTest : public ::testing::TestWithParam<WattsRow> {};

TEST_P(WattsTest, Converts) {
    const WattsRow& row = GetParam();
    EXPECT_EQ(IOReportComponentPowerProvider::watts(row.energy, row.unit, row.interval), row.expected);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Rows, WattsTest,
    ::testing::Values(WattsRow{"Millijoules", 5'000, "mJ", 2.0, 2.5},
                      WattsRow{"MicrojoulesInAscii", 3'000'000, "uJ", 2.0, 1.5},
                      WattsRow{"MicrojoulesWithTheMicroSign", 3'000'000, "\u00B5J", 2.0, 1.5},
                      WattsRow{"Nanojoules", 500'000'000, "nJ", 0.5, 1.0},
                      WattsRow{"BlankAndLineBreakTrimmed", 1'000'000'000, " nJ\n", 1.0, 1.0},
                      WattsRow{"UnicodeBlanksTrimmed", 1'000, "\u00A0\u3000mJ\u2028\u0085", 1.0, 1.0},
                      WattsRow{"GreekMuIsNotTheMicroSign", 1'000'000, "\u03BCJ", 1.0, std::nullopt},
                      WattsRow{"PlainJoulesRejected", 1, "J", 1.0, std::nullopt},
                      WattsRow{"EmptyLabelRejected", 1'000, "", 1.0, std::nullopt},
                      WattsRow{"LowerCaseRejected", 1'000, "mj", 1.0, std::nullopt},
                      WattsRow{"ZeroIntervalGivesNothing", 1'000, "mJ", 0.0, std::nullopt},
                      WattsRow{"NaNIntervalGivesNothing", 1'000, "mJ", kNaN, std::nullopt},
                      WattsRow{"NegativeEnergyIsZero", -1'000, "mJ", 1.0, 0.0}),
    voltrane::testing::ParamName());

} // namespace
} // namespace voltrane
