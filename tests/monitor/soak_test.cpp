// A laptop in a temporary sysfs tree, read by the real readers through the monitor while it
// wanders: the battery vanishes and returns, the adapter comes and goes, counters wrap and
// reset. Every tick feeds the flow model, the stable layout and the metrics. The figures stay
// finite, sampling never stops and the heap stays flat (this binary counts operator new).
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

bool finite(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double value) { return std::isfinite(value); });
}

TEST(SoakTest, WanderingLaptopKeepsFiguresFiniteSamplingOnAndTheHeapFlat) {
    constexpr int kTicks = 300;
    constexpr int kWarmUp = 100;
    constexpr std::int64_t kRange = testing::FakeSysfs::kRange;
    testing::FakeSysfs sysfs;
    std::mt19937_64 random(20'261'206); // fully specified, so the same walk everywhere
    const auto percent = [&] { return static_cast<int>(random() % 100); };
    const char* zones[][2] = {{"intel-rapl:0", "package-0"},
                              {"intel-rapl:0:0", "core"},
                              {"intel-rapl:0:1", "uncore"},
                              {"intel-rapl:0:2", "dram"}};
    std::int64_t energy[4] = {kRange - 50'000'000, 0, 0, 0};
    for (int zone = 0; zone < 4; ++zone) {
        sysfs.zone(zones[zone][0], zones[zone][1], energy[zone]);
    }
    bool battery = true;
    bool adapter = false;
    const auto writeSupplies = [&] {
        sysfs.supply("AC", std::string("type=Mains,online=") + (adapter ? "1" : "0"));
        if (battery) {
            sysfs.supply("BAT0",
                         std::string("type=Battery,present=1,voltage_now=11423000,capacity=64,status=") +
                             (adapter ? "Charging" : "Discharging"));
        }
    };
    writeSupplies();

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
    for (int tick = 1; tick <= kTicks; ++tick) {
        if (percent() < 4) { // now and then: on battery, charging, or the battery gone
            const int next = percent() % 3;
            battery = next != 2;
            adapter = next == 1;
            sysfs.removeSupply("BAT0");
            writeSupplies();
        }
        if (battery) {
            sysfs.supply("BAT0", "power_now=" + std::to_string(random() % 45'000'000));
        }
        for (int zone = 0; zone < 4; ++zone) {
            const int roll = percent();
            energy[zone] =
                roll == 0 ? 0 : (energy[zone] + static_cast<std::int64_t>(random() % 15'000'000)) % kRange;
            sysfs.setEnergy(zones[zone][0], energy[zone]);
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
        if (tick == kWarmUp) {
            liveAfterWarmUp = testing::liveHeapBytes();
        }
    }
    // The walk went everywhere: on battery, charging, no battery, and full diagrams.
    EXPECT_EQ(states, (std::set{PowerState::unavailable, PowerState::onBattery, PowerState::charging}));
    EXPECT_GE(mostRows, 4u);
    // A leak of one small block a tick would add kilobytes; what may vary is the capacity of the
    // few vectors held between ticks.
    EXPECT_LE(testing::liveHeapBytes() - liveAfterWarmUp, 1024) << "the heap grew";
}

} // namespace
} // namespace voltrane
