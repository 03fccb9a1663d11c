// The monitor's loop over fakes, then a soak: a laptop in a temporary sysfs tree, read by the real readers
// through the monitor while it wanders: the battery vanishes and returns, the adapter comes and goes,
// counters wrap and reset. Every tick feeds the flow model, the stable layout and the metrics. The figures
// stay finite, sampling never stops and the heap stays flat (this binary counts operator new).
#include "flow/sankey_flow_model.h"
#include "flow/sankey_metrics.h"
#include "flow/sankey_stable_layout.h"
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

PowerSnapshot onBattery(double systemWatts) {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.systemWatts = systemWatts;
    return snapshot;
}

TEST(PowerMonitorTest, SamplesAtOnceThenOneSecondAfterEachRefreshAnnouncingBothUntilDestroyed) {
    testing::FakeSources sources;
    sources.power = {onBattery(10.0), onBattery(10.6), onBattery(11.5), onBattery(30.0)};
    auto monitor = std::make_unique<PowerMonitor>(std::make_unique<testing::FakePower>(sources),
                                                  std::make_unique<testing::FakeComponents>(sources),
                                                  std::make_unique<testing::ManualScheduler>(sources));
    EXPECT_EQ(monitor->snapshot(), onBattery(10.0));
    EXPECT_EQ(monitor->menuBarTitle(), "10 W");
    Names announced;
    QObject::connect(monitor.get(), &PowerMonitor::snapshotChanged, [&] { announced.push_back("power"); });
    QObject::connect(monitor.get(), &PowerMonitor::componentSnapshotChanged,
                     [&] { announced.push_back("components"); });
    std::vector<double> published;
    for (int tick = 0; tick < 3; ++tick) {
        ASSERT_TRUE(sources.tick());
        published.push_back(*monitor->snapshot().systemWatts);
    }
    // Each sample is smoothed against the one published before it.
    EXPECT_EQ(published, (std::vector<double>{10.0, 10.0 + 1.5 * 0.56, 30.0}));
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
    SankeyStableLayout held;
    std::set<PowerState> states;
    std::size_t mostRows = 0;
    std::int64_t liveAfterWarmUp = 0;
    const auto finite = [](const std::vector<double>& values) {
        return std::all_of(values.begin(), values.end(), [](double value) { return std::isfinite(value); });
    };
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
        const SankeyFlowModel model(monitor.snapshot(), monitor.componentSnapshot());
        if (const SankeyStableLayout candidate(model); held.shouldAdopt(candidate)) {
            held = candidate;
        }
        const std::vector<SankeyDestination> rows = held.ordered(model.destinations);
        const SankeyMetrics metrics({540, 291}, rows, held.layoutWatts(rows), model.sourceWatts);
        const std::string title = monitor.menuBarTitle();
        ASSERT_TRUE(finite(metrics.bandWidths) && finite(metrics.rowHeights) && finite(metrics.rowCenters) &&
                    std::isfinite(metrics.sourceHeight) && title.find("nan") == std::string::npos &&
                    title.find("inf") == std::string::npos)
            << "tick " << tick << ": " << title;
        for (const auto watts : {model.sourceWatts, monitor.componentSnapshot().cpuWatts}) {
            ASSERT_TRUE(!watts || (std::isfinite(*watts) && std::fabs(*watts) < 100)) << "tick " << tick;
        }
        states.insert(monitor.snapshot().state);
        mostRows = std::max(mostRows, rows.size());
        liveAfterWarmUp = tick == 100 ? testing::liveHeapBytes() : liveAfterWarmUp;
    }
    // The walk went everywhere: on battery, charging, no battery, and full diagrams.
    EXPECT_EQ(states, (std::set{PowerState::unavailable, PowerState::onBattery, PowerState::charging}));
    EXPECT_GE(mostRows, 4u);
    // A leak of one small block a tick would add kilobytes; only the capacity of held vectors may vary.
    EXPECT_LE(testing::liveHeapBytes() - liveAfterWarmUp, 1024) << "the heap grew";
}

} // namespace
} // namespace voltrane
