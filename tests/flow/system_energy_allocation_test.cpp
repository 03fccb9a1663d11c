#include "flow/system_energy_allocation.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

TEST(AllocationTest, SplitsTheSystemDrawIntoIdentifiedAndOneRemainder) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::tuple<const char*, std::optional<double>, std::vector<std::optional<double>>,
                     SystemEnergyAllocation>
        rows[] = {
            {"UnusableComponentsAreIgnored",
             12.0,
             {3.0, 2.5, {}, 0.0, -1.0, 1.5, kInf, kNaN},
             {12.0, 7.0, 5.0, 0.0}},
            {"ComponentsExceedTheSystem", 4.0, {3.0, 2.0}, {4.0, 5.0, 0.0, 1.0}},
            {"NegativeSystemCountsByMagnitude", -10.0, {4.0}, {10.0, 4.0, 6.0, 0.0}},
            {"AbsentSystemStillSums", {}, {1.0, 2.0}, {{}, 3.0, {}, 0.0}},
            {"NaNSystemCountsAsAbsent", kNaN, {1.0, 2.0}, {{}, 3.0, {}, 0.0}},
            {"ExactMatchLeavesBothZero", 6.0, {2.0, 4.0}, {6.0, 6.0, 0.0, 0.0}},
            {"NoToleranceForASmallRemainder", 6.0, {5.5}, {6.0, 5.5, 0.5, 0.0}},
            {"NoToleranceForTinyOverage", 6.0, {6.000001}, {6.0, 6.000001, 0.0, 6.000001 - 6.0}},
        };
    for (const auto& [name, system, components, expected] : rows) {
        SCOPED_TRACE(name);
        const SystemEnergyAllocation result = SystemEnergyAllocation::make(system, components);
        EXPECT_EQ(result.systemWatts, expected.systemWatts);
        EXPECT_DOUBLE_EQ(result.identifiedWatts, expected.identifiedWatts);
        EXPECT_EQ(result.unattributedWatts.has_value(), expected.unattributedWatts.has_value());
        EXPECT_DOUBLE_EQ(result.unattributedWatts.value_or(-1), expected.unattributedWatts.value_or(-1));
        EXPECT_DOUBLE_EQ(result.overageWatts, expected.overageWatts);
    }
}

} // namespace
} // namespace voltrane
