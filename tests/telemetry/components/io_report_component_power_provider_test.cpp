#include "fake_energy_report.h"
#include "support/param_name.h"
#include "telemetry/components/io_report_component_power_provider.h"

#include <algorithm>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ostream>

namespace voltrane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using voltrane::testing::FakeChannel;
using voltrane::testing::FakeEnergyReport;
using voltrane::testing::FakeEnergyReportState;

const Date kStart{std::chrono::seconds(1'800'000'000)};

FakeChannel energyChannel(std::string name, std::int64_t counter = 0) {
    return {"Energy Model", "", std::move(name), "mJ", counter};
}

FakeChannel displayChannel(std::int64_t counter = 0) {
    return {"DCP", "display stats", "power", "\u00B5J", counter};
}

/// A sampler over the fake library, with an uptime and a wall clock the test sets.
class Sampler {
public:
    Sampler() {
        state.channels = {energyChannel("CPU Energy"), energyChannel("GPU Energy"), energyChannel("ANE0"),
                          energyChannel("DRAM0"), displayChannel()};
    }

    void start() {
        provider = std::make_unique<IOReportComponentPowerProvider>(
            std::make_unique<FakeEnergyReport>(state),
            [this] {
                state.calls.push_back("uptime");
                return uptime;
            },
            [this] {
                state.calls.push_back("clock");
                return wall;
            });
    }

    ComponentPowerSnapshot readAt(double seconds, Date at) {
        uptime = seconds;
        wall = at;
        return provider->readSnapshot();
    }

    ComponentPowerSnapshot readAt(double seconds) {
        return readAt(seconds, kStart + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                            std::chrono::duration<double>(seconds)));
    }

    void count(const std::string& channel, std::int64_t amount) {
        state.channelNamed(channel)->counter += amount;
    }

    /// Destroys the sampler and checks that it gave back every object once and closed the
    /// library it opened.
    void stopAndExpectClean() {
        provider.reset();
        EXPECT_THAT(state.faults, IsEmpty());
        EXPECT_THAT(state.leaks(), IsEmpty());
        EXPECT_EQ(state.closes, state.opens > 0 && state.libraryPresent ? 1 : 0);
    }

    int callsTo(EnergyReportSymbol symbol) const {
        return static_cast<int>(
            std::count(state.calls.begin(), state.calls.end(), std::string(symbolName(symbol))));
    }

    FakeEnergyReportState state;
    double uptime = 0;
    Date wall = kStart;
    std::unique_ptr<IOReportComponentPowerProvider> provider;
};

void expectUnavailable(const ComponentPowerSnapshot& snapshot, Date at) {
    EXPECT_EQ(snapshot, ComponentPowerSnapshot::unavailable(at));
}

// Start-up failures: the sampler stays unusable, gives back what it took and never samples.

struct StartupFailureRow {
    const char* name;
    std::function<void(FakeEnergyReportState&)> arrange;
    int ownedObjects; // how many objects the library handed over before the failure
};

void PrintTo(const StartupFailureRow& row, std::ostream* out) {
    *out << row.name;
}

class StartupFailureTest : public ::testing::TestWithParam<StartupFailureRow> {};

TEST_P(StartupFailureTest, StaysUnavailableAndReleasesEverythingOnce) {
    Sampler sampler;
    GetParam().arrange(sampler.state);
    sampler.start();
    EXPECT_THAT(sampler.state.leaks(), IsEmpty()) << "objects held by an unusable sampler";
    EXPECT_EQ(sampler.state.ownedCount(), GetParam().ownedObjects);

    expectUnavailable(sampler.readAt(1.0, kStart), kStart);
    expectUnavailable(sampler.readAt(2.0, kStart + std::chrono::seconds(1)),
                      kStart + std::chrono::seconds(1));
    EXPECT_EQ(sampler.callsTo(EnergyReportSymbol::createSamples), 0);
    sampler.stopAndExpectClean();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartupFailureTest,
    ::testing::Values(
        StartupFailureRow{"LibraryMissing", [](FakeEnergyReportState& s) { s.libraryPresent = false; }, 0},
        StartupFailureRow{"EnergyModelGroupNull",
                          [](FakeEnergyReportState& s) { s.emptyGroups = {"Energy Model"}; }, 0},
        StartupFailureRow{"MutableCopyFails", [](FakeEnergyReportState& s) { s.mutableCopyFails = true; }, 1},
        StartupFailureRow{"SubscriptionNullWithoutOutParameter",
                          [](FakeEnergyReportState& s) {
                              s.subscriptionFails = true;
                              s.subscriptionFillsOut = false;
                          },
                          3},
        StartupFailureRow{"SubscriptionNullWithOutParameter",
                          [](FakeEnergyReportState& s) { s.subscriptionFails = true; }, 4},
        StartupFailureRow{"SubscriptionNullWithoutDisplayChannels",
                          [](FakeEnergyReportState& s) {
                              s.subscriptionFails = true;
                              s.emptyGroups = {"DCP"};
                          },
                          3}),
    voltrane::testing::ParamName());

struct MissingSymbolRow {
    std::string name;
    std::size_t position;
};

void PrintTo(const MissingSymbolRow& row, std::ostream* out) {
    *out << row.name;
}

class MissingSymbolTest : public ::testing::TestWithParam<MissingSymbolRow> {};

TEST_P(MissingSymbolTest, StopsResolvingAndClosesTheLibraryAtOnce) {
    Sampler sampler;
    const EnergyReportSymbol missing = kEnergyReportSymbols[GetParam().position];
    sampler.state.missingSymbols = {missing};
    sampler.start();

    const std::vector<EnergyReportSymbol> expected(kEnergyReportSymbols.begin(),
                                                   kEnergyReportSymbols.begin() + GetParam().position + 1);
    EXPECT_EQ(sampler.state.resolved, expected) << "resolution goes in order and stops at the missing one";
    EXPECT_EQ(sampler.state.closes, 1) << "no handle is kept when a function is missing";
    EXPECT_EQ(sampler.state.ownedCount(), 0);
    expectUnavailable(sampler.readAt(1.0, kStart), kStart);
    sampler.provider.reset();
    EXPECT_EQ(sampler.state.closes, 1) << "closed exactly once";
    EXPECT_THAT(sampler.state.faults, IsEmpty());
}

std::vector<MissingSymbolRow> missingSymbolRows() {
    std::vector<MissingSymbolRow> rows;
    for (std::size_t position = 0; position < kEnergyReportSymbols.size(); ++position) {
        rows.push_back({std::string(symbolName(kEnergyReportSymbols[position])), position});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Rows, MissingSymbolTest, ::testing::ValuesIn(missingSymbolRows()),
                         voltrane::testing::ParamName());

// Sampling.

TEST(IOReportComponentPowerProviderTest, FirstReadWaitsAndSecondMeasuresOverTheUptime) {
    Sampler sampler;
    sampler.start();
    EXPECT_EQ(sampler.readAt(100.0, kStart), ComponentPowerSnapshot::waiting(kStart));

    sampler.count("CPU Energy", 5'000);
    sampler.count("GPU Energy", 1'000);
    sampler.count("ANE0", 500);
    sampler.count("DRAM0", 250);
    sampler.count("power", 3'000'000);
    // The wall clock was set back an hour meanwhile: the interval still comes from the uptime.
    const Date later = kStart - std::chrono::hours(1);
    const ComponentPowerSnapshot measured = sampler.readAt(102.0, later);

    ComponentPowerSnapshot expected = ComponentPowerSnapshot::waiting(later);
    expected.sampleInterval = 2.0;
    expected.cpuWatts = 2.5;
    expected.gpuWatts = 0.5;
    expected.aneWatts = 0.25;
    expected.dramWatts = 0.125;
    expected.displayWatts = 1.5;
    EXPECT_EQ(measured, expected);
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, EachMeasuredReadStartsFromThePreviousOne) {
    Sampler sampler;
    sampler.start();
    sampler.readAt(10.0);
    const std::vector<std::pair<double, std::int64_t>> reads{{11.0, 1'000}, {13.0, 1'000}, {13.5, 3'000}};
    const std::vector<std::pair<double, double>> expected{{1.0, 1.0}, {2.0, 0.5}, {0.5, 6.0}};
    for (std::size_t i = 0; i < reads.size(); ++i) {
        sampler.count("CPU Energy", reads[i].second);
        const auto measured = sampler.readAt(reads[i].first);
        EXPECT_DOUBLE_EQ(measured.sampleInterval, expected[i].first) << "read " << i;
        EXPECT_DOUBLE_EQ(measured.cpuWatts.value_or(-1), expected[i].second) << "read " << i;
    }
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, ReadsTheClockFirstAndTheUptimeAfterTheSample) {
    Sampler sampler;
    sampler.start();
    sampler.state.calls.clear();
    sampler.readAt(1.0);
    const auto& calls = sampler.state.calls;
    const auto position = [&](const std::string& name) {
        return std::find(calls.begin(), calls.end(), name) - calls.begin();
    };
    EXPECT_EQ(position("clock"), 0);
    EXPECT_LT(position("IOReportCreateSamples"), position("uptime"));
    EXPECT_LT(position("uptime"), static_cast<long>(calls.size()));
}

TEST(IOReportComponentPowerProviderTest, TooShortIntervalWaitsButMovesTheBaseline) {
    Sampler sampler;
    sampler.start();
    sampler.readAt(10.0);
    sampler.count("CPU Energy", 1'000);
    const auto tooSoon = sampler.readAt(10.05);
    EXPECT_EQ(tooSoon, ComponentPowerSnapshot::waiting(tooSoon.sampledAt));

    sampler.count("CPU Energy", 2'000);
    const auto measured = sampler.readAt(11.05);
    // Against the second read (2000 mJ over 1 s), not the first (3000 mJ over 1.05 s).
    EXPECT_DOUBLE_EQ(measured.sampleInterval, 1.0);
    EXPECT_DOUBLE_EQ(measured.cpuWatts.value_or(-1), 2.0);
    EXPECT_EQ(sampler.callsTo(EnergyReportSymbol::createSamplesDelta), 1);
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, IntervalOfExactlyTheMinimumFormsNoDelta) {
    Sampler sampler;
    sampler.start();
    sampler.readAt(0.0);
    sampler.count("CPU Energy", 1'000);
    const auto atMinimum = sampler.readAt(IOReportComponentPowerProvider::minimumInterval);
    EXPECT_EQ(atMinimum, ComponentPowerSnapshot::waiting(atMinimum.sampledAt));
    EXPECT_EQ(sampler.callsTo(EnergyReportSymbol::createSamplesDelta), 0);
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, FailedSampleIsUnavailableAndKeepsTheBaseline) {
    Sampler sampler;
    sampler.start();
    sampler.readAt(10.0);
    sampler.count("CPU Energy", 1'000);
    sampler.state.failingSamples = 1;
    const auto failed = sampler.readAt(11.0);
    expectUnavailable(failed, failed.sampledAt);

    sampler.count("CPU Energy", 3'000);
    const auto measured = sampler.readAt(12.0);
    EXPECT_TRUE(measured.sourceAvailable);
    EXPECT_DOUBLE_EQ(measured.sampleInterval, 2.0);
    EXPECT_DOUBLE_EQ(measured.cpuWatts.value_or(-1), 2.0); // 4000 mJ since the first read
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, FailedDeltaWaitsAndMovesTheBaseline) {
    Sampler sampler;
    sampler.start();
    sampler.readAt(10.0);
    sampler.count("CPU Energy", 1'000);
    sampler.state.deltaFails = true;
    const auto failed = sampler.readAt(11.0);
    EXPECT_EQ(failed, ComponentPowerSnapshot::waiting(failed.sampledAt));

    sampler.state.deltaFails = false;
    sampler.count("CPU Energy", 2'000);
    const auto measured = sampler.readAt(12.0);
    EXPECT_DOUBLE_EQ(measured.sampleInterval, 1.0);
    EXPECT_DOUBLE_EQ(measured.cpuWatts.value_or(-1), 2.0);
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, DeltaWithoutChannelsIsMeasuredWithNoFigures) {
    Sampler sampler;
    sampler.state.deltaWithoutChannels = true;
    sampler.start();
    sampler.readAt(10.0);
    const auto measured = sampler.readAt(11.5);
    ComponentPowerSnapshot expected = ComponentPowerSnapshot::waiting(measured.sampledAt);
    expected.sampleInterval = 1.5;
    EXPECT_EQ(measured, expected);
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, SamplesTheChannelsTheSubscriptionHandedBack) {
    Sampler sampler;
    sampler.start();
    sampler.readAt(1.0);
    ASSERT_NE(sampler.state.lastSampledChannels, nullptr);
    EXPECT_EQ(sampler.state.lastSampledChannels->label, "subscribed channels");
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, WithoutHandedBackChannelsSamplesTheMergedCopy) {
    Sampler sampler;
    sampler.state.subscriptionFillsOut = false;
    sampler.start();
    sampler.readAt(1.0);
    ASSERT_NE(sampler.state.lastSampledChannels, nullptr);
    EXPECT_EQ(sampler.state.lastSampledChannels->label, "mutable copy of channels of Energy Model");
    sampler.count("power", 2'000'000);
    const auto measured = sampler.readAt(2.0);
    EXPECT_EQ(measured.displayWatts, 2.0) << "the display channels were merged into the copy";
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, WithoutDisplayChannelsSubscribesToEnergyModelAlone) {
    Sampler sampler;
    sampler.state.emptyGroups = {"DCP"};
    sampler.start();
    sampler.readAt(1.0);
    sampler.count("CPU Energy", 1'000);
    sampler.count("power", 2'000'000);
    const auto measured = sampler.readAt(2.0);
    EXPECT_EQ(measured.cpuWatts, 1.0);
    EXPECT_FALSE(measured.displayWatts.has_value());
    EXPECT_EQ(sampler.callsTo(EnergyReportSymbol::mergeChannels), 0);
    sampler.stopAndExpectClean();
}

TEST(IOReportComponentPowerProviderTest, HoldsOneSampleAndReleasesInOrderOnDestruction) {
    Sampler sampler;
    sampler.start();
    for (int second = 1; second <= 5; ++second) {
        sampler.count("CPU Energy", 1'000);
        sampler.readAt(second);
    }
    // Subscription, subscribed channels and the last sample; every delta and older sample is back.
    EXPECT_EQ(sampler.state.outstandingCount(), 3);
    sampler.state.calls.clear();
    sampler.stopAndExpectClean();
    EXPECT_THAT(sampler.state.calls, ElementsAre("release sample 5", "release subscribed channels",
                                                 "release subscription", "close"));
}

} // namespace
} // namespace voltrane
