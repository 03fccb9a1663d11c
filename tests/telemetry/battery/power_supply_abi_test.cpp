#include "support/param_name.h"
#include "support/temp_dir.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sstream>
#include <utility>
#include <vector>

namespace voltrane {
namespace {

using enum PowerState;

struct AbiCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> supplies; // folder, "file=contents,…"
    PowerState state;
    bool external;
    std::optional<double> batteryWatts;
    std::optional<double> volts;
    std::optional<std::int64_t> cycles;
};

class PowerSupplyAbiTest : public ::testing::TestWithParam<AbiCase> {};

// What the kernel's power-supply attributes mean, through the reader the program and the probe use.
TEST_P(PowerSupplyAbiTest, DecodesToTheAbisMeaning) {
    const testing::TempDir dir;
    for (const auto& [folder, attributes] : GetParam().supplies) {
        std::istringstream in(attributes);
        for (std::string pair; std::getline(in, pair, ',');) {
            const auto equals = pair.find('=');
            dir.write(std::filesystem::path(folder) / pair.substr(0, equals), pair.substr(equals + 1) + "\n");
        }
    }
    IOKitPowerMetricsProvider provider(std::make_unique<SysfsBatteryRegistry>(dir.path()),
                                       [] { return Date{}; });
    const PowerSnapshot s = provider.readSnapshot();

    EXPECT_EQ(s.state, GetParam().state);
    EXPECT_EQ(s.isExternalConnected, GetParam().external);
    EXPECT_EQ(s.cycleCount, GetParam().cycles);
    ASSERT_EQ(s.batteryWatts.has_value(), GetParam().batteryWatts.has_value());
    if (s.batteryWatts) {
        EXPECT_NEAR(*s.batteryWatts, *GetParam().batteryWatts, 0.01);
    }
    ASSERT_EQ(s.voltageVolts.has_value(), GetParam().volts.has_value());
    if (s.voltageVolts) {
        EXPECT_NEAR(*s.voltageVolts, *GetParam().volts, 0.001);
    }
    // Voltage, current and power describe one flow: where all three are known they agree.
    if (s.voltageVolts && s.currentMilliamps && s.batteryWatts) {
        EXPECT_NEAR(*s.voltageVolts * *s.currentMilliamps / 1000, *s.batteryWatts,
                    0.01 * std::fabs(*s.batteryWatts) + 1e-9);
    }
    if (s.state != charging) {
        EXPECT_FALSE(s.batteryWatts && *s.batteryWatts > 0.2) << "shown as taking charge";
    }
}

const char* const kMains = "type=Mains,online=1";

INSTANTIATE_TEST_SUITE_P(
    Trees, PowerSupplyAbiTest,
    ::testing::Values(
        AbiCase{"CycleCountZeroIsNotAvailable",
                {{"BAT0",
                  "type=Battery,status=Discharging,voltage_now=11400000,power_now=9000000,cycle_count=0"}},
                onBattery,
                false,
                -9.0,
                11.4,
                std::nullopt},
        AbiCase{"DesktopOnMainsHasExternalPowerAndNoBattery",
                {{"AC", kMains}, {"hid-mouse", "type=Battery,scope=Device,status=Discharging,capacity=40"}},
                unavailable,
                true,
                std::nullopt,
                std::nullopt,
                std::nullopt},
        AbiCase{"FullWithAMagnitudeIsNotCharging",
                {{"BAT0", "type=Battery,status=Full,voltage_now=12900000,current_now=413000,capacity=100"},
                 {"AC", kMains}},
                charged,
                true,
                std::nullopt,
                12.9,
                std::nullopt},
        AbiCase{"NotChargingWithAMagnitudeIsNotCharging",
                {{"BAT0", "type=Battery,status=Not charging,voltage_now=12900000,power_now=5300000,"
                          "cycle_count=812"},
                 {"AC", kMains}},
                pluggedIn,
                true,
                std::nullopt,
                12.9,
                812},
        AbiCase{"FullAtZeroStaysZero",
                {{"BAT0", "type=Battery,status=Full,voltage_now=12900000,current_now=0"}, {"AC", kMains}},
                charged,
                true,
                0.0,
                12.9,
                std::nullopt},
        AbiCase{"TwoPacksTakeTheVoltageOfTheOneCarryingThePower",
                {{"BAT0",
                  "type=Battery,status=Discharging,voltage_now=11400000,current_now=1120000,cycle_count=143"},
                 {"BAT1", "type=Battery,status=Full,voltage_now=12900000,current_now=0,cycle_count=0"},
                 {"AC", "type=Mains,online=0"}},
                onBattery,
                false,
                -12.768,
                11.4,
                143},
        AbiCase{"TwoPacksBothCarrying",
                {{"BAT0", "type=Battery,status=Discharging,voltage_now=11000000,power_now=6000000"},
                 {"BAT1", "type=Battery,status=Discharging,voltage_now=13000000,current_now=500000"}},
                onBattery,
                false,
                -12.5,
                (11.0 * 6 + 13.0 * 6.5) / 12.5,
                std::nullopt},
        AbiCase{"TwoPacksOneOfUnknownDirectionLeaveTheSumOut",
                {{"BAT0", "type=Battery,status=Discharging,voltage_now=11400000,power_now=9000000"},
                 {"BAT1", "type=Battery,status=Full,voltage_now=12900000,current_now=413000"}},
                onBattery,
                false,
                std::nullopt,
                11.4,
                std::nullopt}),
    testing::ParamName());

} // namespace
} // namespace voltrane
