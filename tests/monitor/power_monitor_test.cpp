#include "monitor/power_monitor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <deque>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

const Date kCreated{std::chrono::seconds(1'800'000'000)};

struct Script {
    std::deque<PowerSnapshot> snapshots;
    int powerReads = 0;
    int componentReads = 0;
    std::vector<std::string> order;
};

class ScriptedProvider final : public PowerMetricsProviding {
public:
    explicit ScriptedProvider(Script& script) : script_(script) {}
    PowerSnapshot readSnapshot() override {
        ++script_.powerReads;
        script_.order.push_back("power");
        if (script_.snapshots.empty()) {
            return PowerSnapshot::unavailable(kCreated);
        }
        PowerSnapshot next = script_.snapshots.front();
        if (script_.snapshots.size() > 1) {
            script_.snapshots.pop_front();
        }
        return next;
    }

private:
    Script& script_;
};

class CountingComponents final : public ComponentPowerProviding {
public:
    explicit CountingComponents(Script& script) : script_(script) {}
    ComponentPowerSnapshot readSnapshot() override {
        ++script_.componentReads;
        script_.order.push_back("components");
        return ComponentPowerSnapshot::waiting(kCreated);
    }

private:
    Script& script_;
};

/// Holds the pending tick so a test fires it by hand.
class ManualScheduler final : public SamplingScheduler {
public:
    explicit ManualScheduler(std::vector<std::chrono::milliseconds>& delays, std::function<void()>& pending)
        : delays_(delays), pending_(pending) {}
    void scheduleAfter(std::chrono::milliseconds delay, std::function<void()> tick) override {
        delays_.push_back(delay);
        pending_ = std::move(tick);
    }

private:
    std::vector<std::chrono::milliseconds>& delays_;
    std::function<void()>& pending_;
};

PowerSnapshot onBattery(double systemWatts) {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.systemWatts = systemWatts;
    snapshot.batteryWatts = -systemWatts;
    return snapshot;
}

class PowerMonitorTest : public ::testing::Test {
protected:
    std::unique_ptr<PowerMonitor> makeMonitor() {
        return std::make_unique<PowerMonitor>(
            std::make_unique<ScriptedProvider>(script), std::make_unique<CountingComponents>(script),
            std::make_unique<ManualScheduler>(delays, pending), [] { return kCreated; });
    }

    Script script;
    std::vector<std::chrono::milliseconds> delays;
    std::function<void()> pending;
};

TEST_F(PowerMonitorTest, FirstSampleIsTakenInsideTheConstructor) {
    script.snapshots = {onBattery(12.0)};
    const auto monitor = makeMonitor();
    EXPECT_EQ(script.powerReads, 1);
    EXPECT_EQ(script.componentReads, 1);
    EXPECT_EQ(monitor->snapshot(), onBattery(12.0));
    EXPECT_EQ(monitor->menuBarTitle(), "12 W");
}

TEST_F(PowerMonitorTest, LoopSleepsOneSecondAfterEachRefresh) {
    const auto monitor = makeMonitor();
    ASSERT_EQ(delays.size(), 1u);
    for (int tick = 0; tick < 3; ++tick) {
        ASSERT_TRUE(pending);
        auto fire = std::move(pending);
        pending = nullptr;
        fire();
    }
    EXPECT_EQ(script.powerReads, 4);
    EXPECT_EQ(script.componentReads, 4);
    ASSERT_EQ(delays.size(), 4u);
    for (const auto delay : delays) {
        EXPECT_EQ(delay, std::chrono::milliseconds(1000));
    }
}

TEST_F(PowerMonitorTest, RefreshReadsBatteryBeforeComponentsAndAnnouncesBothEveryTime) {
    const auto monitor = makeMonitor();
    std::vector<std::string> announced;
    QObject::connect(monitor.get(), &PowerMonitor::snapshotChanged, monitor.get(),
                     [&announced] { announced.push_back("snapshot"); });
    QObject::connect(monitor.get(), &PowerMonitor::componentSnapshotChanged, monitor.get(),
                     [&announced] { announced.push_back("components"); });
    monitor->refresh();
    monitor->refresh(); // unchanged values are announced too
    EXPECT_EQ(announced, (std::vector<std::string>{"snapshot", "components", "snapshot", "components"}));
    EXPECT_EQ(script.order, (std::vector<std::string>{"power", "components", "power", "components", "power",
                                                      "components"}));
}

TEST_F(PowerMonitorTest, PublishesSmoothedAgainstThePreviousSample) {
    script.snapshots = {onBattery(10.0), onBattery(10.6), onBattery(11.5)};
    const auto monitor = makeMonitor();
    monitor->refresh();
    EXPECT_EQ(monitor->snapshot().systemWatts, 10.0);
    monitor->refresh();
    EXPECT_DOUBLE_EQ(*monitor->snapshot().systemWatts, 10.0 + 1.5 * 0.56);
}

TEST_F(PowerMonitorTest, InitialValuesCarryTheCreationTimeBeforeTheFirstRead) {
    const auto monitor = makeMonitor();
    // The scripted reader returns the unavailable snapshot stamped kCreated; the component
    // reader's waiting form replaced the initial unavailable one.
    EXPECT_EQ(monitor->snapshot(), PowerSnapshot::unavailable(kCreated));
    EXPECT_TRUE(monitor->componentSnapshot().sourceAvailable);
    EXPECT_EQ(monitor->menuBarTitle(), "Voltrane");
}

TEST_F(PowerMonitorTest, DestroyingTheMonitorEndsTheLoop) {
    auto monitor = makeMonitor();
    ASSERT_TRUE(pending);
    auto tickThatOutlivesTheMonitor = pending;
    monitor.reset();
    tickThatOutlivesTheMonitor();
    EXPECT_EQ(script.powerReads, 1);
}

TEST(PowerMonitorEventLoopTest, RealTimerTicksUntilTheMonitorIsDestroyed) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    Script script;
    auto monitor = std::make_unique<PowerMonitor>(std::make_unique<ScriptedProvider>(script),
                                                  std::make_unique<CountingComponents>(script));
    QSignalSpy spy(monitor.get(), &PowerMonitor::componentSnapshotChanged);
    ASSERT_TRUE(spy.wait(3000));
    EXPECT_EQ(script.powerReads, 2);
    monitor.reset();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 1500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(script.powerReads, 2);
}

} // namespace
} // namespace voltrane
