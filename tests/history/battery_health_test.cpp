#include "support/fake_sysfs.h"
#include "telemetry/battery/recorded_battery_registry.h"
#include "telemetry/battery/sysfs_battery_registry.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

const Date kNow = Date(std::chrono::seconds(1796097600));

BatteryHealthRecord record(std::optional<double> full, std::optional<double> design, CapacityUnit unit,
                           std::optional<std::int64_t> cycles) {
    return {kNow, full, design, unit, cycles};
}

TEST(BatteryHealth, ReadsTheCapacitiesEachSourceReports) {
    constexpr auto mWh = CapacityUnit::milliwattHours;
    constexpr auto mAh = CapacityUnit::milliampHours;
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> supplies;
        std::optional<BatteryHealthRecord> expected;
    };
    const std::vector<Case> cases{
        {"energy",
         {{"BAT0", "type=Battery,energy_full=45120000,energy_full_design=57000000,cycle_count=312"}},
         record(45120, 57000, mWh, 312)},
        {"charge, cycles unknown",
         {{"BAT0", "type=Battery,charge_full=3900000,charge_full_design=4200000,cycle_count=0"}},
         record(3900, 4200, mAh, std::nullopt)},
        {"two packs, a device's battery left out",
         {{"BAT0", "type=Battery,energy_full=20000000,energy_full_design=24000000,cycle_count=100"},
          {"BAT1", "type=Battery,energy_full=30000000,energy_full_design=32000000,cycle_count=200"},
          {"hidpp_battery_0", "type=Battery,scope=Device,energy_full=1000000,energy_full_design=1000000"},
          {"AC", "type=Mains,online=1"}},
         record(50000, 56000, mWh, 150)},
        {"desktop", {{"AC", "type=Mains,online=1"}}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::FakeSysfs sysfs;
        for (const auto& [name, attributes] : c.supplies) {
            sysfs.supply(name, attributes);
        }
        EXPECT_EQ(SysfsBatteryRegistry(sysfs.supplies()).batteryHealth(kNow), c.expected);
    }
    const QString data =
        qEnvironmentVariable("VOLTRANE_TEST_DATA") + QStringLiteral("/../telemetry/battery/data/");
    EXPECT_EQ(RecordedBatteryRegistry(data + QStringLiteral("intel.plist")).batteryHealth(kNow),
              record(5087, 6669, mAh, 412));
    EXPECT_EQ(RecordedBatteryRegistry(data + QStringLiteral("apple_silicon.plist")).batteryHealth(kNow),
              record(5103, 6075, mAh, 143));
    EXPECT_EQ(RecordedBatteryRegistry(data + QStringLiteral("no_battery.plist")).batteryHealth(kNow),
              std::nullopt);
}

} // namespace
} // namespace voltrane
