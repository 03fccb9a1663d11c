#include "common/number_format.h"
#include "support/param_name.h"
#include "support/temp_dir.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

namespace voltrane {
namespace {

struct AbiCase {
    const char* name;
    const char* tree;     // "folder:file=contents,…;folder:…"
    const char* expected; // state, external power, battery W and V, cycles
};

std::string summary(const PowerSnapshot& s) {
    const auto figure = [](std::optional<double> v) { return v ? formatFixed(*v, 2) : std::string("-"); };
    return std::string(caseName(s.state)) + (s.isExternalConnected ? " mains" : "") +
           " W=" + figure(s.batteryWatts) + " V=" + figure(s.voltageVolts) +
           " cycles=" + (s.cycleCount ? std::to_string(*s.cycleCount) : "-");
}

class PowerSupplyAbiTest : public ::testing::TestWithParam<AbiCase> {};

// What the kernel's power-supply attributes mean, through the reader the program and the probe use.
TEST_P(PowerSupplyAbiTest, DecodesToTheAbisMeaning) {
    const testing::TempDir dir;
    std::istringstream tree(GetParam().tree);
    for (std::string supply; std::getline(tree, supply, ';');) {
        std::istringstream files(supply.substr(supply.find(':') + 1));
        for (std::string file; std::getline(files, file, ',');) {
            dir.write(supply.substr(0, supply.find(':')) + "/" + file.substr(0, file.find('=')),
                      file.substr(file.find('=') + 1) + "\n");
        }
    }
    IOKitPowerMetricsProvider provider(std::make_unique<SysfsBatteryRegistry>(dir.path()),
                                       [] { return Date{}; });
    const PowerSnapshot s = provider.readSnapshot();
    EXPECT_EQ(summary(s), GetParam().expected);
    // Voltage, current and power describe one flow: where all three are known they agree.
    if (s.voltageVolts && s.currentMilliamps && s.batteryWatts) {
        EXPECT_NEAR(*s.voltageVolts * *s.currentMilliamps / 1000, *s.batteryWatts,
                    0.01 * std::fabs(*s.batteryWatts));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, PowerSupplyAbiTest,
    ::testing::Values(
        AbiCase{"CycleCountZeroIsNotAvailable",
                "BAT0:type=Battery,status=Discharging,voltage_now=11400000,power_now=9000000,cycle_count=0",
                "onBattery W=-9.00 V=11.40 cycles=-"},
        AbiCase{"DesktopOnMains", "AC:type=Mains,online=1;mouse:type=Battery,scope=Device,status=Discharging",
                "unavailable mains W=- V=- cycles=-"},
        AbiCase{
            "FullWithAMagnitudeIsNotCharging",
            "BAT0:type=Battery,status=Full,voltage_now=12900000,current_now=413000;AC:type=Mains,online=1",
            "charged mains W=- V=12.90 cycles=-"},
        AbiCase{
            "NotChargingWithAMagnitudeIsNotCharging",
            "BAT0:type=Battery,status=Not charging,voltage_now=12900000,power_now=5300000,cycle_count=812;"
            "AC:type=Mains,online=1",
            "pluggedIn mains W=- V=12.90 cycles=812"},
        AbiCase{
            "TwoPacksTakeTheVoltageOfTheOneCarryingThePower",
            "BAT0:type=Battery,status=Discharging,voltage_now=11400000,current_now=1120000,cycle_count=143;"
            "BAT1:type=Battery,status=Full,voltage_now=12900000,current_now=0,cycle_count=0",
            "onBattery W=-12.77 V=11.40 cycles=143"},
        AbiCase{"TwoPacksBothCarrying", // 6 W at 11 V and 6.5 W at 13 V
                "BAT0:type=Battery,status=Discharging,voltage_now=11000000,power_now=6000000;"
                "BAT1:type=Battery,status=Discharging,voltage_now=13000000,current_now=500000",
                "onBattery W=-12.50 V=12.04 cycles=-"},
        AbiCase{"TwoPacksOneOfUnknownDirectionLeaveTheSumOut",
                "BAT0:type=Battery,status=Discharging,voltage_now=11400000,power_now=9000000;"
                "BAT1:type=Battery,status=Full,voltage_now=12900000,current_now=413000",
                "onBattery W=- V=11.40 cycles=-"}),
    testing::ParamName());

} // namespace
} // namespace voltrane
