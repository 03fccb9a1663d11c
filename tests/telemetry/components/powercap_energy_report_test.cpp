#include "support/param_name.h"
#include "support/temp_dir.h"
#include "telemetry/components/io_report_component_power_provider.h"
#include "telemetry/components/powercap_energy_report.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

// Expected snapshots name only the fields they set; the rest keep their defaults (absent).
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace voltrane {
namespace {

using voltrane::testing::TempDir;

const Date kAt{std::chrono::seconds(1'800'000'000)};
// What recent Intel processors report: a 32-bit counter of 61 µJ steps.
constexpr std::int64_t kRange = 262'143'328'850;

void writeZone(const TempDir& root, const std::string& folder, const std::string& name, std::int64_t energy) {
    root.write(folder + "/name", name + "\n");
    root.write(folder + "/energy_uj", std::to_string(energy) + "\n");
    root.write(folder + "/max_energy_range_uj", std::to_string(kRange) + "\n");
}

void setEnergy(const TempDir& root, const std::string& folder, std::int64_t energy) {
    root.write(folder + "/energy_uj", std::to_string(energy) + "\n");
}

/// The sampler over a powercap tree with an uptime the test moves.
struct PowercapSampler {
    explicit PowercapSampler(const std::filesystem::path& root)
        : provider(
              std::make_unique<PowercapEnergyReport>(root), [this] { return uptime; }, [] { return kAt; }) {}

    ComponentPowerSnapshot readAt(double seconds) {
        uptime = seconds;
        return provider.readSnapshot();
    }

    double uptime = 0;
    IOReportComponentPowerProvider provider;
};

struct MappingRow {
    const char* name;
    const char* zones; ///< "folder name joules" triples: the zones and what each counts between two reads
    std::optional<double> cpu, gpu, dram;
};

class PowercapMappingTest : public ::testing::TestWithParam<MappingRow> {};

TEST_P(PowercapMappingTest, MapsZonesToComponents) {
    TempDir root;
    root.write("intel-rapl/enabled", "1\n"); // the control type folder, not a zone
    std::vector<std::pair<std::string, std::int64_t>> deltas;
    std::istringstream zones(GetParam().zones);
    for (std::string folder, name; zones >> folder >> name;) {
        double joules = 0;
        zones >> joules;
        writeZone(root, folder, name, 1'000'000);
        deltas.emplace_back(folder, static_cast<std::int64_t>(joules * 1e6));
    }
    PowercapSampler sampler(root.path());
    ASSERT_EQ(sampler.readAt(100.0), ComponentPowerSnapshot::waiting(kAt));
    for (const auto& [folder, delta] : deltas) {
        setEnergy(root, folder, 1'000'000 + delta);
    }
    const ComponentPowerSnapshot measured = sampler.readAt(102.0);
    EXPECT_EQ(measured, (ComponentPowerSnapshot{.cpuWatts = GetParam().cpu,
                                                .gpuWatts = GetParam().gpu,
                                                .dramWatts = GetParam().dram,
                                                .sampleInterval = 2.0,
                                                .sourceAvailable = true,
                                                .sampledAt = kAt}));
}

constexpr std::nullopt_t none = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Rows, PowercapMappingTest,
    ::testing::Values(
        MappingRow{"PackageWithCoreUncoreAndDram",
                   "intel-rapl:0 package-0 30  intel-rapl:0:0 core 10  intel-rapl:0:1 uncore 4  "
                   "intel-rapl:0:2 dram 3",
                   5.0, 2.0, 1.5},
        MappingRow{"PackageWithoutCoreCountsAsCpu", "intel-rapl:0 package-0 9", 4.5, none, none},
        MappingRow{"TwoPackagesAreSummed",
                   "intel-rapl:0 package-0 30  intel-rapl:0:0 core 10  intel-rapl:1 package-1 6", 8.0, none,
                   none},
        MappingRow{"MmioCopyOfAPackageIsNotCountedTwice",
                   "intel-rapl:0 package-0 8  intel-rapl-mmio:0 package-0 8", 4.0, none, none},
        MappingRow{"MmioAloneIsUsed", "intel-rapl-mmio:0 package-0 8", 4.0, none, none},
        MappingRow{"PlatformZoneIsNotAComponent", "intel-rapl:0 package-0 8  intel-rapl:1 psys 40", 4.0, none,
                   none},
        MappingRow{"MemoryZoneOutsideAPackage", "intel-rapl:0 package-0 8  intel-rapl:1 dram 2", 4.0, none,
                   1.0},
        MappingRow{"SubzonesOfAnotherPackageStayThere",
                   "intel-rapl:0 package-0 8  intel-rapl:1 package-1 2  intel-rapl:1:0 core 1", 4.5, none,
                   none}),
    voltrane::testing::ParamName());

TEST(PowercapEnergyReportTest, OffersOneGroupInMicrojoules) {
    TempDir root;
    writeZone(root, "intel-rapl:0", "package-0", 0);
    writeZone(root, "intel-rapl:0:1", "uncore", 0);
    PowercapEnergyReport library(root.path());
    ASSERT_TRUE(library.open());
    EXPECT_EQ(library.copyChannelsInGroup("DCP", "display stats"), nullptr);
    EXPECT_EQ(library.copyChannelsInGroup("Energy Model", "display stats"), nullptr);
    const auto group = library.copyChannelsInGroup("Energy Model", std::nullopt);
    ASSERT_NE(group, nullptr);
    const auto desired = library.mutableCopy(group);
    EnergyReportLibrary::Object subscribed = nullptr;
    const auto subscription = library.createSubscription(desired, &subscribed);
    ASSERT_NE(subscription, nullptr);
    ASSERT_NE(subscribed, nullptr);
    const auto first = library.createSamples(subscription, subscribed);
    setEnergy(root, "intel-rapl:0:1", 7);
    const auto second = library.createSamples(subscription, subscribed);
    const auto delta = library.createSamplesDelta(first, second);
    const auto channels = library.valueForKey(delta, "IOReportChannels");
    EXPECT_EQ(library.valueForKey(delta, "Other"), nullptr);
    ASSERT_EQ(library.arrayCount(channels), 2U);
    EXPECT_EQ(library.arrayElement(channels, 2), nullptr);

    std::vector<std::string> seen;
    for (std::size_t i = 0; i < 2; ++i) {
        const auto channel = library.arrayElement(channels, i);
        seen.push_back(library.text(library.channelGetName(channel)) + "|" +
                       library.text(library.channelGetGroup(channel)) + "|" +
                       library.text(library.channelGetSubgroup(channel)) + "|" +
                       library.text(library.channelGetUnitLabel(channel)) + "|" +
                       std::to_string(library.simpleGetIntegerValue(channel)));
        library.release(library.channelGetName(channel)); // borrowed: giving it back does nothing
    }
    EXPECT_EQ(seen,
              (std::vector<std::string>{"GPU Energy|Energy Model||uJ|7", "CPU Energy|Energy Model||uJ|0"}));
    EXPECT_EQ(library.text(nullptr), "");

    for (const auto owned : {delta, second, first, subscribed, subscription, desired, group}) {
        library.release(owned);
    }
    library.close();
}

struct UnavailableRow {
    const char* name;
    void (*arrange)(const TempDir&);
};

class PowercapUnavailableTest : public ::testing::TestWithParam<UnavailableRow> {};

TEST_P(PowercapUnavailableTest, SamplerReportsTheSourceUnavailable) {
    TempDir root;
    GetParam().arrange(root);
    PowercapSampler sampler(root.path() / "powercap");
    EXPECT_EQ(sampler.readAt(1.0), ComponentPowerSnapshot::unavailable(kAt));
    EXPECT_EQ(sampler.readAt(2.0), ComponentPowerSnapshot::unavailable(kAt));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PowercapUnavailableTest,
    ::testing::Values(
        UnavailableRow{"NoPowercapFolder", [](const TempDir&) {}},
        UnavailableRow{"NoZones",
                       [](const TempDir& root) { root.write("powercap/intel-rapl/enabled", "1\n"); }},
        UnavailableRow{"OnlyAPlatformZone",
                       [](const TempDir& root) { writeZone(root, "powercap/intel-rapl:0", "psys", 5); }},
        UnavailableRow{"OtherControlTypes",
                       [](const TempDir& root) { writeZone(root, "powercap/dtpm:0", "package-0", 5); }},
        UnavailableRow{"CounterMissing",
                       [](const TempDir& root) { root.write("powercap/intel-rapl:0/name", "package-0\n"); }},
        // As unreadable as a root-only energy_uj is for a desktop user, even when the tests run as root.
        UnavailableRow{"CounterUnreadable",
                       [](const TempDir& root) {
                           root.write("powercap/intel-rapl:0/name", "package-0\n");
                           std::filesystem::create_directories(root.path() /
                                                               "powercap/intel-rapl:0/energy_uj");
                       }},
        UnavailableRow{"CounterGarbled",
                       [](const TempDir& root) {
                           root.write("powercap/intel-rapl:0/name", "package-0\n");
                           root.write("powercap/intel-rapl:0/energy_uj", "12x4\n");
                       }}),
    voltrane::testing::ParamName());

TEST(PowercapEnergyReportTest, CounterLostAfterStartIsUnavailableUntilItComesBack) {
    TempDir root;
    writeZone(root, "intel-rapl:0", "package-0", 1'000'000);
    PowercapSampler sampler(root.path());
    sampler.readAt(10.0);
    std::filesystem::remove(root.path() / "intel-rapl:0/energy_uj");
    EXPECT_EQ(sampler.readAt(11.0), ComponentPowerSnapshot::unavailable(kAt));
    setEnergy(root, "intel-rapl:0", 7'000'000);
    const auto measured = sampler.readAt(12.0);
    EXPECT_EQ(measured.sampleInterval, 2.0);
    EXPECT_EQ(measured.cpuWatts, 3.0);
}

TEST(PowercapEnergyReportTest, DomainThatCannotBeReadIsLeftOutOfTheOthers) {
    TempDir root;
    writeZone(root, "intel-rapl:0", "package-0", 0);
    writeZone(root, "intel-rapl:0:0", "core", 0);
    root.write("intel-rapl:0:2/name", "dram\n");
    std::filesystem::create_directories(root.path() / "intel-rapl:0:2/energy_uj");
    PowercapSampler sampler(root.path());
    sampler.readAt(10.0);
    setEnergy(root, "intel-rapl:0:0", 1'000'000);
    const auto measured = sampler.readAt(11.0);
    EXPECT_EQ(measured.cpuWatts, 1.0);
    EXPECT_FALSE(measured.dramWatts.has_value());
}

} // namespace
} // namespace voltrane
