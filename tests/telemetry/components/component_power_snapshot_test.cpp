#include "telemetry/components/component_power_snapshot.h"

#include <gtest/gtest.h>

// Expected snapshots name only the fields they set; the rest keep their defaults (absent).
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace voltrane {
namespace {

const Date kAt{std::chrono::seconds(1'700'000'000)};

TEST(ComponentPowerSnapshotTest, FormsDifferOnlyInSourceAvailability) {
    ComponentPowerSnapshot expected{.sampledAt = kAt};
    EXPECT_EQ(ComponentPowerSnapshot::unavailable(kAt), expected);
    expected.sourceAvailable = true;
    EXPECT_EQ(ComponentPowerSnapshot::waiting(kAt), expected);
    EXPECT_NE(ComponentPowerSnapshot::unavailable(kAt),
              ComponentPowerSnapshot::unavailable(kAt + std::chrono::milliseconds(1)));
}

TEST(ComponentPowerSnapshotTest, ZeroIsPresentAndDiffersFromAbsent) {
    auto measured = ComponentPowerSnapshot::waiting(kAt);
    measured.cpuWatts = 0.0;
    EXPECT_NE(measured, ComponentPowerSnapshot::waiting(kAt));
}

} // namespace
} // namespace voltrane
