#include "fake_energy_report.h"
#include "support/param_name.h"
#include "telemetry/components/io_report_component_power_provider.h"

#include <algorithm>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
    sampler.state.calls.clear();
    EXPECT_EQ(sampler.readAt(100.0, kStart), ComponentPowerSnapshot::waiting(kStart));
    // The clock is read first, the uptime only after the sample.
    const auto& calls = sampler.state.calls;
    const auto position = [&](const char* name) {
        return std::find(calls.begin(), calls.end(), name) - calls.begin();
    };
    EXPECT_EQ(position("clock"), 0);
    EXPECT_LT(position("IOReportCreateSamples"), position("uptime"));
    EXPECT_LT(position("uptime"), static_cast<long>(calls.size()));

    for (const auto& [channel, amount] : {std::pair{"CPU Energy", 5'000},
                                          {"GPU Energy", 1'000},
                                          {"ANE0", 500},
                                          {"DRAM0", 250},
                                          {"power", 3'000'000}}) {
        sampler.count(channel, amount);
    }
    // The wall clock was set back an hour meanwhile: the interval still comes from the uptime.
    const Date later = kStart - std::chrono::hours(1);
    const ComponentPowerSnapshot measured = sampler.readAt(102.0, later);
    ComponentPowerSnapshot expected{.cpuWatts = 2.5,
                                    .gpuWatts = 0.5,
                                    .aneWatts = 0.25,
                                    .dramWatts = 0.125,
                                    .displayWatts = 1.5,
                                    .sampleInterval = 2.0,
                                    .sourceAvailable = true,
                                    .sampledAt = later};
    EXPECT_EQ(measured, expected);
    sampler.stopAndExpectClean();
}

// A read at 0 s, 1000 mJ, a read at `second` that cannot be measured, 2000 mJ, a read at `third`.
struct BaselineRow {
    const char* name;
    void (*arrange)(FakeEnergyReportState&);
    double second;
    bool secondAvailable;
    double third;
    double expectedInterval;
    double expectedCpuWatts;
};

class BaselineTest : public ::testing::TestWithParam<BaselineRow> {};

TEST_P(BaselineTest, UnmeasuredReadMovesTheBaselineOnlyWhenItSampled) {
    const BaselineRow& row = GetParam();
    Sampler sampler;
    sampler.start();
    sampler.readAt(0.0);
    sampler.count("CPU Energy", 1'000);
    row.arrange(sampler.state);
    const auto unmeasured = sampler.readAt(row.second);
    EXPECT_EQ(unmeasured, row.secondAvailable ? ComponentPowerSnapshot::waiting(unmeasured.sampledAt)
                                              : ComponentPowerSnapshot::unavailable(unmeasured.sampledAt));

    sampler.state.deltaFails = false;
    sampler.count("CPU Energy", 2'000);
    const auto measured = sampler.readAt(row.third);
    EXPECT_TRUE(measured.sourceAvailable);
    EXPECT_DOUBLE_EQ(measured.sampleInterval, row.expectedInterval);
    EXPECT_DOUBLE_EQ(measured.cpuWatts.value_or(-1), row.expectedCpuWatts);
    sampler.stopAndExpectClean();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BaselineTest,
    ::testing::Values(
        // Against the second read (2000 mJ over 1 s), not the first (3000 mJ over 1.05 s).
        BaselineRow{"TooShortInterval", [](FakeEnergyReportState&) {}, 0.05, true, 1.05, 1.0, 2.0},
        BaselineRow{"IntervalOfExactlyTheMinimum", [](FakeEnergyReportState&) {},
                    IOReportComponentPowerProvider::minimumInterval, true, 1.1, 1.0, 2.0},
        BaselineRow{"FailedDelta", [](FakeEnergyReportState& s) { s.deltaFails = true; }, 1.0, true, 2.0, 1.0,
                    2.0},
        // A failed sample keeps the first read as the baseline: 3000 mJ over 2 s.
        BaselineRow{"FailedSample", [](FakeEnergyReportState& s) { s.failingSamples = 1; }, 1.0, false, 2.0,
                    2.0, 1.5}),
    voltrane::testing::ParamName());

struct SubscriptionRow {
    const char* name;
    void (*arrange)(FakeEnergyReportState&);
    const char* sampledChannels;
    std::optional<double> displayWatts;
    int merges;
};

class SubscriptionTest : public ::testing::TestWithParam<SubscriptionRow> {};

TEST_P(SubscriptionTest, SamplesTheRightChannelSet) {
    Sampler sampler;
    GetParam().arrange(sampler.state);
    sampler.start();
    sampler.readAt(1.0);
    ASSERT_NE(sampler.state.lastSampledChannels, nullptr);
    EXPECT_EQ(sampler.state.lastSampledChannels->label, GetParam().sampledChannels);
    sampler.count("CPU Energy", 1'000);
    sampler.count("power", 2'000'000);
    const auto measured = sampler.readAt(2.0);
    EXPECT_EQ(measured.cpuWatts, 1.0);
    EXPECT_EQ(measured.displayWatts, GetParam().displayWatts);
    EXPECT_EQ(sampler.callsTo(EnergyReportSymbol::mergeChannels), GetParam().merges);
    sampler.stopAndExpectClean();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubscriptionTest,
    ::testing::Values(SubscriptionRow{"HandedBackByTheSubscription", [](FakeEnergyReportState&) {},
                                      "subscribed channels", 2.0, 1},
                      SubscriptionRow{"MergedCopyWhenNoneHandedBack",
                                      [](FakeEnergyReportState& s) { s.subscriptionFillsOut = false; },
                                      "mutable copy of channels of Energy Model", 2.0, 1},
                      SubscriptionRow{"EnergyModelAloneWithoutDisplayChannels",
                                      [](FakeEnergyReportState& s) { s.emptyGroups = {"DCP"}; },
                                      "subscribed channels", std::nullopt, 0}),
    voltrane::testing::ParamName());

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
