#include "support/fake_sysfs.h"
#include "telemetry/components/io_report_component_power_provider.h"
#include "telemetry/components/linux_component_provider.h"
#include "telemetry/components/powercap_energy_report.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace voltrane {
namespace {

namespace fs = std::filesystem;
using testing::FakeSysfs;
using Watts = std::optional<double>;
constexpr std::nullopt_t no = std::nullopt;
constexpr std::int64_t kRange = FakeSysfs::kRange;
const Date kAt{std::chrono::seconds(1'800'000'000)};

/// The sampler over a fake powercap tree, from `start()` on; each read comes a second after the
/// last. A read that blocks (on a FIFO) runs into the test's time limit.
struct Rig {
    void start() {
        auto uptime = [this] { return seconds; };
        provider.emplace(std::make_unique<PowercapEnergyReport>(sys.powercap()), uptime, [] { return kAt; });
    }
    ComponentPowerSnapshot read() {
        seconds += 1;
        return provider->readSnapshot();
    }

    FakeSysfs sys;
    double seconds = 0;
    std::optional<IOReportComponentPowerProvider> provider;
    const fs::path counter = sys.powercap() / "intel-rapl:0/energy_uj";
};

/// Ways a counter can break: the file, its zone or the whole class folder gone, a folder or FIFO
/// in its place, contents that are no counter (the last too large to be one). Each reads as no
/// counter, at once.
// clang-format off
const std::vector<std::string> kBroken{"missing", "zone", "powercap", "folder", "fifo", "", "12x4\n", "-5000\n", "nan\n",
                                       "99999999999999999999\n", "5030\n" + std::string(1 << 20, '7')};
// clang-format on

void breakCounter(const fs::path& counter, const std::string& how) {
    const fs::path zone = counter.parent_path();
    fs::remove_all(how == "zone" ? zone : how == "powercap" ? zone.parent_path() : counter);
    if (how == "folder") {
        fs::create_directory(counter);
    } else if (how == "fifo") {
        ASSERT_EQ(::mkfifo(counter.c_str(), 0600), 0);
    } else if (how != "missing" && how != "zone" && how != "powercap") {
        std::ofstream(counter) << how;
    }
}

TEST(PowercapEnergyReportTest, MapsZonesToComponents) {
    // "folder name joules": the zones and what each counts in a second. Without a CPU figure the
    // source is unavailable.
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
        rig.sys.write("powercap/intel-rapl/enabled", "1\n"); // the control type's folder, not a zone
        std::istringstream in(zones);
        std::vector<std::pair<std::string, double>> counts;
        for (std::string folder, name; in >> folder >> name;) {
            in >> counts.emplace_back(folder, 0).second;
            rig.sys.zone(folder, name, 1'000'000);
        }
        rig.start();
        const auto orUnavailable = [&](const ComponentPowerSnapshot& s) {
            return cpu ? s : ComponentPowerSnapshot::unavailable(kAt);
        };
        EXPECT_EQ(rig.read(), orUnavailable(ComponentPowerSnapshot::waiting(kAt)));
        for (const auto& [folder, joules] : counts) {
            rig.sys.setEnergy(folder, 1'000'000 + std::llround(joules * 1e6));
        }
        EXPECT_EQ(rig.read(), orUnavailable({cpu, gpu, no, dram, no, 1.0, true, kAt}));
    }
}

TEST(PowercapEnergyReportTest, OffersOneGroupAndLendsWhatItDoesNotHandOver) {
    FakeSysfs sys;
    sys.zone("intel-rapl:0", "package-0", 0);
    PowercapEnergyReport api(sys.powercap());
    ASSERT_TRUE(api.open());
    EXPECT_EQ(api.copyChannelsInGroup("DCP", "display stats"), nullptr);
    EXPECT_EQ(api.copyChannelsInGroup("Energy Model", "display stats"), nullptr);
    const auto group = api.copyChannelsInGroup("Energy Model", std::nullopt);
    const auto desired = api.mutableCopy(group);
    EnergyReportLibrary::Object subscribed = nullptr;
    const auto subscription = api.createSubscription(desired, &subscribed);
    const auto sample = api.createSamples(subscription, subscribed);
    const auto delta = api.createSamplesDelta(sample, sample);
    const auto channels = api.valueForKey(delta, "IOReportChannels");
    EXPECT_EQ(api.valueForKey(delta, "Other"), nullptr);
    EXPECT_EQ(api.arrayElement(channels, 1), nullptr);
    api.release(api.channelGetName(api.arrayElement(channels, 0))); // borrowed: giving it back does nothing
    EXPECT_EQ(api.text(api.channelGetName(api.arrayElement(channels, 0))), "CPU Energy");
    EXPECT_EQ(api.text(nullptr), "");
    for (const auto owned : {delta, sample, subscribed, subscription, desired, group}) {
        api.release(owned);
    }
    api.close();
}

TEST(PowercapEnergyReportTest, WithoutAReadableCounterTheSourceIsUnavailable) {
    for (const std::string& how : kBroken) {
        SCOPED_TRACE(how.substr(0, 24));
        Rig rig;
        rig.sys.zone("intel-rapl:0", "package-0", 5);
        breakCounter(rig.counter, how);
        rig.start();
        EXPECT_EQ(rig.read(), ComponentPowerSnapshot::unavailable(kAt));
    }
}

TEST(PowercapEnergyReportTest, ABrokenOrVanishedCounterIsLeftOutUntilItReadsAgain) {
    for (const bool alone : {false, true}) {
        for (const std::string& how : kBroken) {
            if (how == "powercap") {
                continue; // memory would go with it
            }
            SCOPED_TRACE(how.substr(0, 24) + (alone ? ", the only zone" : ", beside memory"));
            Rig rig;
            rig.sys.zone("intel-rapl:0", "package-0", 1'000'000);
            if (!alone) {
                rig.sys.zone("intel-rapl:0:2", "dram", 0);
            }
            rig.start();
            rig.read();
            breakCounter(rig.counter, how);
            const ComponentPowerSnapshot beside{no, no, no, 0.0, no, 1.0, true, kAt};
            EXPECT_EQ(rig.read(), alone ? ComponentPowerSnapshot::unavailable(kAt) : beside);
            fs::remove_all(rig.counter);
            rig.sys.zone("intel-rapl:0", "package-0", 4'000'000);
            // Alone, the failed read kept the earlier baseline; beside memory, the baseline lacks it.
            EXPECT_EQ(rig.read().cpuWatts, alone ? Watts(1.5) : no);
            rig.sys.setEnergy("intel-rapl:0", 10'000'000);
            EXPECT_EQ(rig.read().cpuWatts, 6.0);
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
        rig.sys.zone("intel-rapl:0", "package-0", before, range);
        rig.start();
        rig.read();
        rig.sys.setEnergy("intel-rapl:0", after);
        EXPECT_EQ(rig.read().cpuWatts, watts);
        rig.sys.setEnergy("intel-rapl:0", after + 2'000'000);
        EXPECT_EQ(rig.read().cpuWatts, 2.0);
    }
}

TEST(PowercapEnergyReportTest, TheLinuxSamplerMeasuresOnTheRealClocks) {
    FakeSysfs sys;
    sys.zone("intel-rapl:0", "package-0", 1'000'000);
    const auto provider = makeLinuxComponentProvider(sys.powercap());
    const auto before = std::chrono::system_clock::now();
    EXPECT_GE(provider->readSnapshot().sampledAt, before);
    std::this_thread::sleep_for(std::chrono::milliseconds(150)); // beyond the shortest interval measured
    sys.setEnergy("intel-rapl:0", 1'150'000);
    const ComponentPowerSnapshot second = provider->readSnapshot();
    EXPECT_GE(second.sampleInterval, 0.15);
    EXPECT_NEAR(second.cpuWatts.value_or(-1) * second.sampleInterval, 0.15, 1e-9);
}

} // namespace
} // namespace voltrane
