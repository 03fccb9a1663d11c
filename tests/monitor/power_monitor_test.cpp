// The monitor's loop over fakes; then a soak: a laptop in a temporary sysfs tree wanders (the battery comes
// and goes, so does the adapter, counters wrap and reset) while figures stay finite and the heap flat.
#include "monitor/power_monitor.h"
#include "support/counting_allocator.h"
#include "support/fake_sysfs.h"
#include "support/monitor_fakes.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"
#include "telemetry/components/io_report_component_power_provider.h"
#include "telemetry/components/powercap_energy_report.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

TEST(PowerMonitorTest, SamplesAtOnceThenOneSecondAfterEachRefreshAnnouncingBothUntilDestroyed) {
    testing::FakeSources sources;
    for (const double watts : {10.0, 10.6, 11.5, 30.0}) {
        sources.power.push_back(PowerSnapshot::unavailable(Date{}));
        std::tie(sources.power.back().state, sources.power.back().systemWatts) =
            std::pair(PowerState::onBattery, watts);
    }
    sources.power.pop_front(); // the unavailable one the fakes start with
    auto monitor = std::make_unique<PowerMonitor>(std::make_unique<testing::FakePower>(sources),
                                                  std::make_unique<testing::FakeComponents>(sources),
                                                  std::make_unique<testing::ManualScheduler>(sources));
    EXPECT_EQ(monitor->menuBarTitle(), "10 W"); // sampled at once
    Names announced;
    QObject::connect(monitor.get(), &PowerMonitor::snapshotChanged, [&] { announced.push_back("power"); });
    QObject::connect(monitor.get(), &PowerMonitor::componentSnapshotChanged,
                     [&] { announced.push_back("components"); });
    std::vector<double> published{*monitor->snapshot().systemWatts};
    for (int tick = 0; tick < 3; ++tick) {
        ASSERT_TRUE(sources.tick());
        published.push_back(*monitor->snapshot().systemWatts);
    }
    // Each sample is smoothed against the one published before it.
    EXPECT_EQ(published, (std::vector<double>{10.0, 10.0, 10.0 + 1.5 * 0.56, 30.0}));
    EXPECT_EQ(sources.delays, std::vector<std::chrono::milliseconds>(4, 1000ms));
    const Names pairs{"power", "components", "power", "components",
                      "power", "components", "power", "components"};
    EXPECT_EQ(sources.order, pairs);
    monitor->refresh(); // unchanged values are announced too
    EXPECT_EQ(announced, pairs);

    const auto tickThatOutlivesTheMonitor = sources.pendingTick; // destroying the monitor ends the loop
    monitor.reset();
    tickThatOutlivesTheMonitor();
    EXPECT_TRUE(sources.powerReads == 5 && sources.componentReads == 5);
}

TEST(SoakTest, WanderingLaptopKeepsFiguresFiniteSamplingOnAndTheHeapFlat) {
    testing::FakeSysfs sysfs;
    std::mt19937_64 random(20'261'206); // fully specified, so the same walk everywhere
    const std::string zones[] = {"intel-rapl:0", "intel-rapl:0:0", "intel-rapl:0:1", "intel-rapl:0:2"};
    std::int64_t energy[4] = {testing::FakeSysfs::kRange - 50'000'000, 0, 0, 0}; // the package wraps soon
    for (int zone = 0; zone < 4; ++zone) {
        sysfs.zone(zones[zone], std::vector{"package-0", "core", "uncore", "dram"}[zone], energy[zone]);
    }
    const auto clock = [] { return Date{std::chrono::seconds(1'800'000'000)}; };
    double uptime = 1000;
    testing::FakeSources scheduled;
    PowerMonitor monitor(
        std::make_unique<IOKitPowerMetricsProvider>(std::make_unique<SysfsBatteryRegistry>(sysfs.supplies()),
                                                    clock),
        std::make_unique<IOReportComponentPowerProvider>(
            std::make_unique<PowercapEnergyReport>(sysfs.powercap()), [&] { return uptime += 1.0; }, clock),
        std::make_unique<testing::ManualScheduler>(scheduled), clock);
    std::set<PowerState> states;
    std::size_t mostRows = 0;
    std::int64_t liveAfterWarmUp = 0;
    for (int tick = 1, next = 0; tick <= 300; ++tick) {
        if (tick == 1 || random() % 100 < 4) { // now and then: on battery, charging, or the battery gone
            next = tick == 1 ? 0 : random() % 100 % 3;
            sysfs.removeSupply("BAT0");
            sysfs.supply("AC", std::string("type=Mains,online=") + (next == 1 ? "1" : "0"));
        }
        if (next != 2) {
            sysfs.supply("BAT0",
                         std::string("type=Battery,present=1,voltage_now=11423000,capacity=64,status=") +
                             (next == 1 ? "Charging" : "Discharging") +
                             ",power_now=" + std::to_string(random() % 45'000'000));
        }
        for (int zone = 0; zone < 4; ++zone) { // one read in a hundred finds the counter reset
            energy[zone] =
                random() % 100 == 0 ? 0 : (energy[zone] + random() % 15'000'000) % testing::FakeSysfs::kRange;
            sysfs.setEnergy(zones[zone], energy[zone]);
        }
        ASSERT_TRUE(scheduled.tick()) << "sampling stopped at tick " << tick;
        scheduled.delays.clear(); // the scheduler's record would grow
        const std::string title = monitor.menuBarTitle();
        ASSERT_TRUE(title.find("nan") == std::string::npos && title.find("inf") == std::string::npos)
            << title;
        const auto& [power, parts] = std::pair(monitor.snapshot(), monitor.componentSnapshot());
        for (const auto watts :
             {power.systemWatts, power.batteryWatts, parts.cpuWatts, parts.gpuWatts, parts.dramWatts}) {
            ASSERT_TRUE(!watts || (std::isfinite(*watts) && std::fabs(*watts) < 100)) << "tick " << tick;
        }
        states.insert(monitor.snapshot().state);
        mostRows = std::max(mostRows, std::size_t(parts.cpuWatts.has_value() + parts.gpuWatts.has_value() +
                                                  parts.dramWatts.has_value()));
        liveAfterWarmUp = tick == 100 ? testing::liveHeapBytes() : liveAfterWarmUp;
    }
    // The walk went everywhere: on battery, charging, no battery, with every part measured.
    EXPECT_EQ(states, (std::set{PowerState::unavailable, PowerState::onBattery, PowerState::charging}));
    EXPECT_EQ(mostRows, 3u);
    // A leak of one small block a tick would add kilobytes; only the capacity of held vectors may vary.
    EXPECT_LE(testing::liveHeapBytes() - liveAfterWarmUp, 1024) << "the heap grew";
}

} // namespace
} // namespace voltrane
