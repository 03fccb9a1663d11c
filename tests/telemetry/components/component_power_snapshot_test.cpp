#include "telemetry/components/component_power_snapshot.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

const Date kAt{std::chrono::seconds(1'700'000'000)};

TEST(ComponentPowerSnapshotTest, FormsDifferOnlyInSourceAvailability) {
    const auto unavailable = ComponentPowerSnapshot::unavailable(kAt);
    const auto waiting = ComponentPowerSnapshot::waiting(kAt);
    EXPECT_FALSE(unavailable.sourceAvailable);
    EXPECT_TRUE(waiting.sourceAvailable);
    EXPECT_EQ(unavailable.sampleInterval, 0.0);
    EXPECT_EQ(waiting.sampleInterval, 0.0);
    EXPECT_FALSE(waiting.cpuWatts || waiting.gpuWatts || waiting.aneWatts || waiting.dramWatts ||
                 waiting.displayWatts);
    EXPECT_NE(unavailable, waiting);
}

TEST(ComponentPowerSnapshotTest, UnavailableAtDifferentTimesAreUnequal) {
    EXPECT_NE(ComponentPowerSnapshot::unavailable(kAt),
              ComponentPowerSnapshot::unavailable(kAt + std::chrono::milliseconds(1)));
    EXPECT_EQ(ComponentPowerSnapshot::unavailable(kAt), ComponentPowerSnapshot::unavailable(kAt));
}

TEST(ComponentPowerSnapshotTest, ZeroIsPresentAndDiffersFromAbsent) {
    auto measured = ComponentPowerSnapshot::waiting(kAt);
    measured.sampleInterval = 1.0;
    measured.cpuWatts = 0.0;
    auto withoutCpu = measured;
    withoutCpu.cpuWatts.reset();
    EXPECT_NE(measured, withoutCpu);
    EXPECT_FALSE(withoutCpu.displayWatts.has_value());
}

} // namespace
} // namespace voltrane
