#include "monitor/power_monitor.h"
#include "support/monitor_fakes.h"

#include <gtest/gtest.h>

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
    Names pairs;
    for (int i = 0; i < 4; ++i) {
        pairs.insert(pairs.end(), {"power", "components"});
    }
    EXPECT_EQ(sources.order, pairs);
    monitor->refresh(); // unchanged values are announced too
    EXPECT_EQ(announced, pairs);

    const auto tickThatOutlivesTheMonitor = sources.pendingTick; // destroying the monitor ends the loop
    monitor.reset();
    tickThatOutlivesTheMonitor();
    EXPECT_EQ(sources.powerReads, 5);
    EXPECT_EQ(sources.componentReads, 5);
}

} // namespace
} // namespace voltrane
