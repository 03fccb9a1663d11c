#include "support/fake_sysfs.h"
#include "telemetry/battery/recorded_battery_registry.h"
#include "telemetry/battery/sysfs_battery_registry.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

const Date kNow = Date(std::chrono::seconds(1796097600));
constexpr auto mWh = CapacityUnit::milliwattHours;
constexpr auto mAh = CapacityUnit::milliampHours;

TEST(BatteryHealth, ReadsTheCapacitiesEachSourceReports) {
    const std::vector<std::pair<std::vector<std::string>, std::optional<BatteryHealthRecord>>> linux{
        {{"BAT0/energy_full=45120000,energy_full_design=57000000,cycle_count=312"},
         BatteryHealthRecord{kNow, 45120, 57000, mWh, 312}},
        {{"BAT0/charge_full=3900000,charge_full_design=4200000,cycle_count=0"},
         BatteryHealthRecord{kNow, 3900, 4200, mAh, std::nullopt}},
        {{"BAT0/energy_full=20000000,energy_full_design=24000000,cycle_count=100",
          "BAT1/energy_full=30000000,energy_full_design=32000000,cycle_count=200",
          "mouse/scope=Device,energy_full=1000000,energy_full_design=1000000"},
         BatteryHealthRecord{kNow, 50000, 56000, mWh, 150}},
        {{}, std::nullopt}};
    for (const auto& [supplies, expected] : linux) {
        const testing::FakeSysfs sysfs;
        sysfs.supply("AC", "type=Mains,online=1");
        for (const std::string& supply : supplies) {
            sysfs.supply(supply.substr(0, supply.find('/')),
                         "type=Battery," + supply.substr(supply.find('/') + 1));
        }
        EXPECT_EQ(SysfsBatteryRegistry(sysfs.supplies()).batteryHealth(kNow), expected) << supplies.size();
    }
    const std::vector<std::pair<const char*, std::optional<BatteryHealthRecord>>> recorded{
        {"intel.plist", BatteryHealthRecord{kNow, 5087, 6669, mAh, 412}},
        {"apple_silicon.plist", BatteryHealthRecord{kNow, 5103, 6075, mAh, 143}},
        {"no_battery.plist", std::nullopt}};
    for (const auto& [file, expected] : recorded) {
        const QString path =
            qEnvironmentVariable("VOLTRANE_TEST_DATA") + QStringLiteral("/../telemetry/battery/data/");
        EXPECT_EQ(RecordedBatteryRegistry(path + QLatin1String(file)).batteryHealth(kNow), expected) << file;
    }
}

} // namespace
} // namespace voltrane
