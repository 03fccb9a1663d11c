#include "flow/system_energy_allocation.h"
#include "support/param_name.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct AllocationCase {
    const char* name;
    std::optional<double> systemWatts;
    std::vector<std::optional<double>> components;
    SystemEnergyAllocation expected;
};

class AllocationTest : public ::testing::TestWithParam<AllocationCase> {};

TEST_P(AllocationTest, SplitsTheSystemDraw) {
    const AllocationCase& row = GetParam();
    const SystemEnergyAllocation result = SystemEnergyAllocation::make(row.systemWatts, row.components);
    EXPECT_EQ(result.systemWatts, row.expected.systemWatts);
    EXPECT_DOUBLE_EQ(result.identifiedWatts, row.expected.identifiedWatts);
    ASSERT_EQ(result.unattributedWatts.has_value(), row.expected.unattributedWatts.has_value());
    if (result.unattributedWatts) {
        EXPECT_DOUBLE_EQ(*result.unattributedWatts, *row.expected.unattributedWatts);
    }
    EXPECT_DOUBLE_EQ(result.overageWatts, row.expected.overageWatts);
    // Only one remainder can be positive.
    EXPECT_FALSE(result.unattributedWatts.value_or(0) > 0 && result.overageWatts > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AllocationTest,
    ::testing::Values(
        AllocationCase{
            "UnusableComponentsAreIgnored", 12.0, {3.0, 2.5, {}, 0.0, -1.0, 1.5}, {12.0, 7.0, 5.0, 0.0}},
        AllocationCase{"ComponentsExceedTheSystem", 4.0, {3.0, 2.0}, {4.0, 5.0, 0.0, 1.0}},
        AllocationCase{"NegativeSystemCountsByMagnitude", -10.0, {4.0}, {10.0, 4.0, 6.0, 0.0}},
        AllocationCase{"AbsentSystemStillSums", {}, {1.0, 2.0}, {{}, 3.0, {}, 0.0}},
        AllocationCase{"NaNSystemCountsAsAbsent", kNaN, {1.0, 2.0}, {{}, 3.0, {}, 0.0}},
        AllocationCase{"InfiniteComponentIsIgnored", 10.0, {kInf, 2.0, kNaN}, {10.0, 2.0, 8.0, 0.0}},
        AllocationCase{"ExactMatchLeavesBothZero", 6.0, {2.0, 4.0}, {6.0, 6.0, 0.0, 0.0}},
        AllocationCase{"NoToleranceForTinyOverage", 6.0, {6.000001}, {6.0, 6.000001, 0.0, 6.000001 - 6.0}}),
    voltrane::testing::ParamName());

} // namespace
} // namespace voltrane
