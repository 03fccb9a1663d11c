#include "monitor/power_monitor.h"
#include "support/temp_dir.h"
#include "telemetry/components/linux_component_provider.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace voltrane {
namespace {

using voltrane::testing::TempDir;

class NoBattery final : public PowerMetricsProviding {
public:
    PowerSnapshot readSnapshot() override { return PowerSnapshot::unavailable(Date{}); }
};

class NoTicks final : public SamplingScheduler {
public:
    void scheduleAfter(std::chrono::milliseconds, std::function<void()>) override {}
};

TEST(LinuxComponentProviderTest, MeasuresAPowercapTreeOnTheRealClocks) {
    TempDir root;
    root.write("intel-rapl:0/name", "package-0\n");
    root.write("intel-rapl:0/energy_uj", "1000000\n");
    const auto provider = makeLinuxComponentProvider(root.path());

    const auto before = std::chrono::system_clock::now();
    const ComponentPowerSnapshot first = provider->readSnapshot();
    EXPECT_EQ(first, ComponentPowerSnapshot::waiting(first.sampledAt));
    EXPECT_GE(first.sampledAt, before);

    std::this_thread::sleep_for(std::chrono::milliseconds(150)); // beyond the 0.1 s minimum
    root.write("intel-rapl:0/energy_uj", "1150000\n");
    const ComponentPowerSnapshot second = provider->readSnapshot();
    ASSERT_TRUE(second.cpuWatts.has_value());
    EXPECT_GE(second.sampleInterval, 0.15);
    EXPECT_LT(second.sampleInterval, 60.0);
    EXPECT_NEAR(*second.cpuWatts, 0.15 / second.sampleInterval, 1e-9);
}

TEST(LinuxComponentProviderTest, MonitorPublishesWhatTheSamplerReads) {
    TempDir root;
    root.write("intel-rapl:0/name", "package-0\n");
    root.write("intel-rapl:0/energy_uj", "1000000\n");
    PowerMonitor available(std::make_unique<NoBattery>(), makeLinuxComponentProvider(root.path()),
                           std::make_unique<NoTicks>());
    EXPECT_TRUE(available.componentSnapshot().sourceAvailable);

    PowerMonitor missing(std::make_unique<NoBattery>(), makeLinuxComponentProvider(root.path() / "absent"),
                         std::make_unique<NoTicks>());
    EXPECT_FALSE(missing.componentSnapshot().sourceAvailable);
}

} // namespace
} // namespace voltrane
