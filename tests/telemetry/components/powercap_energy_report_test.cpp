#include "support/fake_sysfs.h"
#include "telemetry/components/io_report_component_power_provider.h"
#include "telemetry/components/linux_component_provider.h"
#include "telemetry/components/powercap_energy_report.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace voltrane {
namespace {

namespace fs = std::filesystem;
using Watts = std::optional<double>;
constexpr std::nullopt_t no = std::nullopt;
constexpr std::int64_t kRange = testing::FakeSysfs::kRange;
const Date kAt{std::chrono::seconds(1'800'000'000)};
const ComponentPowerSnapshot kUnavailable = ComponentPowerSnapshot::unavailable(kAt);

/// The sampler over a fake powercap tree, started at the first read; each read comes a second
/// after the last. A read that blocks (on a FIFO) runs into the test's time limit.
struct Rig : testing::FakeSysfs {
    ComponentPowerSnapshot read() {
        seconds += 1;
        if (!provider) {
            provider.emplace(
                std::make_unique<PowercapEnergyReport>(powercap()), [this] { return seconds; },
                [] { return kAt; });
        }
        return provider->readSnapshot();
    }
    double seconds = 0;
    std::optional<IOReportComponentPowerProvider> provider;
    const fs::path counter = powercap() / "intel-rapl:0/energy_uj";
};

TEST(PowercapEnergyReportTest, MapsZonesToComponents) {
    // "folder name joules": the zones and what each counts in a second; without a CPU, unavailable.
    // clang-format off
    for (const auto& [zones, cpu, gpu, dram] : std::vector<std::tuple<std::string, Watts, Watts, Watts>>{
             {"intel-rapl:0 package-0 30 intel-rapl:0:0 core 5 intel-rapl:0:1 uncore 2 intel-rapl:0:2 dram 1.5", 5, 2, 1.5},
             {"intel-rapl:0 package-0 4.5", 4.5, no, no}, // without a core zone the package is the CPU
             {"intel-rapl:0 package-0 30 intel-rapl:0:0 core 5 intel-rapl:1 package-1 3", 8, no, no},
             {"intel-rapl:0 package-0 4 intel-rapl-mmio:0 package-0 4", 4, no, no}, // one package, two interfaces
             {"intel-rapl-mmio:0 package-0 4", 4, no, no},
             {"intel-rapl:0 package-0 4 intel-rapl:1 dram 1", 4, no, 1}, // memory outside a package
             {"intel-rapl:0 package-0 4 intel-rapl:1 package-1 1.5 intel-rapl:1:0 core 0.5", 4.5, no, no},
             {"intel-rapl:1 psys 40", no, no, no}, // the platform is no component
             {"intel-rapl: package-0 1 intel-rapl:x package-1 1 intel-rapl:2: package-2 1 intel-rapl:3x package-3 1", no, no, no},
             {"dtpm:0 package-0 1 intel-rapl-mmi:0 package-0 1", no, no, no}}) {
        // clang-format on
        SCOPED_TRACE(zones);
        Rig rig;
        for (const bool counted : {false, true}) {
            std::istringstream in(zones);
            std::string folder, name;
            for (double joules = 0; in >> folder >> name >> joules;) {
                counted ? rig.setEnergy(folder, std::int64_t(joules * 1e6)) : rig.zone(folder, name, 0);
            }
            EXPECT_EQ(rig.read(), !cpu      ? kUnavailable
                                  : counted ? ComponentPowerSnapshot({cpu, gpu, no, dram, no, 1.0, true, kAt})
                                            : ComponentPowerSnapshot::waiting(kAt));
        }
    }
}

TEST(PowercapEnergyReportTest, AnswersLookupsOnAbsentOrWrongObjectsWithNothing) {
    // The sampler is one caller; the seam promises any caller a harmless answer.
    testing::FakeSysfs sysfs;
    sysfs.zone("intel-rapl:0", "package-0", 0);
    sysfs.zone("intel-rapl:0:0", "core", 0);
    sysfs.zone("intel-rapl:0:1", "uncore", 0);
    PowercapEnergyReport report(sysfs.powercap());
    ASSERT_TRUE(report.open());
    using namespace energy_channels;
    const auto all = report.copyChannelsInGroup(kEnergyModelGroup, std::nullopt);
    report.mergeChannels(all, nullptr);
    report.mergeChannels(nullptr, all);
    report.mergeChannels(all, all); // no channel twice
    EnergyReportLibrary::Object subscribed = nullptr;
    const auto subscription = report.createSubscription(all, &subscribed);
    const auto first = report.createSamples(subscription, subscribed);
    sysfs.setEnergy("intel-rapl:0:0", 2'000'000);
    const auto second = report.createSamples(subscription, subscribed);
    const auto delta = report.createSamplesDelta(first, second);
    const auto channels = report.valueForKey(delta, kChannelsKey);
    const auto core = report.arrayElement(channels, 1);
    int lookup = 0;
    for (const auto nothing :
         {report.copyChannelsInGroup("CPU Stats", std::nullopt),
          report.copyChannelsInGroup(kEnergyModelGroup, "sub"), report.createSubscription(nullptr, nullptr),
          report.createSamples(nullptr, subscribed), report.createSamples(subscription, nullptr),
          report.createSamples(all, subscribed), // a channel set is no subscription
          report.createSamplesDelta(nullptr, second), report.createSamplesDelta(first, nullptr),
          report.valueForKey(delta, "Other"), report.valueForKey(all, kChannelsKey),
          report.arrayElement(channels, 2), report.arrayElement(all, 0), report.channelGetName(delta),
          report.mutableCopy(delta)}) {
        EXPECT_EQ(nothing, nullptr) << "lookup " << lookup++;
    }
    EXPECT_EQ(std::pair(report.arrayCount(channels), report.arrayCount(all)), std::pair(2ul, 0ul));
    EXPECT_EQ(std::pair(report.simpleGetIntegerValue(core), report.simpleGetIntegerValue(channels)),
              std::pair(std::int64_t{2'000'000}, std::int64_t{0}));
    EXPECT_EQ(report.text(report.channelGetName(core)), kCpu);
    EXPECT_EQ(report.text(all), "");
    for (EnergyReportLibrary::Object object :
         {channels, core, all, subscription, subscribed, first, second, delta}) {
        report.release(object); // borrowed parts (first) are left alone; ASan sees a double release
    }
    report.release(nullptr);
}

TEST(PowercapEnergyReportTest, ABrokenCounterReadsAsNoneAtOnceAndIsLeftOutUntilItReadsAgain) {
    // The file gone, a folder or FIFO in its place, contents that are no counter (the last too large).
    for (const std::string& how :
         std::vector<std::string>{"missing", "folder", "fifo", "", "12x4\n", "-5000\n", "nan\n",
                                  "99999999999999999999\n", "5030\n" + std::string(1 << 20, '7')}) {
        for (const std::string when : {"from the start", "later, the only zone", "later, beside memory"}) {
            SCOPED_TRACE(how.substr(0, 24) + ", " + when);
            Rig rig;
            rig.zone("intel-rapl:0", "package-0", 1'000'000);
            if (when.ends_with("memory")) {
                rig.zone("intel-rapl:0:2", "dram", 0);
            }
            if (when.starts_with("later")) {
                rig.read();
            }
            fs::remove(rig.counter);
            if (how == "folder") {
                fs::create_directory(rig.counter);
            } else if (how == "fifo") {
                ASSERT_EQ(::mkfifo(rig.counter.c_str(), 0600), 0);
            } else if (how != "missing") {
                std::ofstream(rig.counter) << how;
            }
            const ComponentPowerSnapshot beside{no, no, no, 0.0, no, 1.0, true, kAt};
            EXPECT_EQ(rig.read(), when.ends_with("memory") ? beside : kUnavailable);
            if (when.starts_with("later")) {
                fs::remove_all(rig.counter);
                rig.zone("intel-rapl:0", "package-0", 4'000'000);
                // Alone, the failed read kept the earlier baseline; beside memory, the baseline lacks it.
                EXPECT_EQ(rig.read().cpuWatts, when.ends_with("memory") ? no : Watts(1.5));
                rig.setEnergy("intel-rapl:0", 10'000'000);
                EXPECT_EQ(rig.read().cpuWatts, 6.0);
            }
        }
    }
}

TEST(PowercapEnergyReportTest, ACounterThatStepsBackGivesAPlausibleFigureThenMeasuresOn) {
    // A wrap of half the range or more would be 131 kJ in a second: a reset instead.
    // clang-format off
    for (const auto& [name, range, before, after, watts] :
         std::vector<std::tuple<const char*, std::optional<std::int64_t>, std::int64_t, std::int64_t, double>>{
             {"wraps past its range", kRange, kRange - 1'000'000, 2'000'000, 3.0},
             {"wraps from its very top", kRange, kRange, 4'000'000, 4.0},
             {"steps back with no range known", no, 5'000'000, 1'000'000, 0.0},
             {"reset half the range back", kRange, kRange - kRange / 2, 0, 0.0},
             {"reset from past its range", kRange, kRange + 1, 1'000'000, 0.0},
             {"steps back by 1 µJ", kRange, 7'000'000, 6'999'999, 0.0}}) {
        // clang-format on
        SCOPED_TRACE(name);
        Rig rig;
        rig.zone("intel-rapl:0", "package-0", before, range);
        rig.read();
        rig.setEnergy("intel-rapl:0", after);
        EXPECT_EQ(rig.read().cpuWatts, watts);
        rig.setEnergy("intel-rapl:0", after + 2'000'000);
        EXPECT_EQ(rig.read().cpuWatts, 2.0);
    }
}

TEST(PowercapEnergyReportTest, TheLinuxSamplerMeasuresOnTheRealClocks) {
    testing::FakeSysfs sys;
    sys.zone("intel-rapl:0", "package-0", 1'000'000);
    const auto provider = makeLinuxComponentProvider(sys.powercap());
    EXPECT_GE(provider->readSnapshot().sampledAt, std::chrono::system_clock::now() - std::chrono::seconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(150)); // beyond the shortest interval measured
    sys.setEnergy("intel-rapl:0", 1'150'000);
    const ComponentPowerSnapshot second = provider->readSnapshot();
    EXPECT_NEAR(second.cpuWatts.value_or(-1) * second.sampleInterval, 0.15, 1e-9);
    EXPECT_GE(second.sampleInterval, 0.15);
}

} // namespace
} // namespace voltrane
