#include "support/param_name.h"
#include "support/temp_dir.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"

#include <gtest/gtest.h>
#include <sstream>
#include <utility>
#include <vector>

namespace voltrane {
namespace {

using Provider = IOKitPowerMetricsProvider;
using enum PowerState;

/// A fake /sys/class/power_supply with one folder per supply.
class FakePowerSupplies {
public:
    /// `attributes` is "file=contents" pairs separated by commas.
    void add(const std::string& name, const std::string& attributes) const {
        std::istringstream in(attributes);
        for (std::string pair; std::getline(in, pair, ',');) {
            const auto equals = pair.find('=');
            dir_.write(std::filesystem::path(name) / pair.substr(0, equals), pair.substr(equals + 1) + "\n");
        }
    }
    void remove(const std::string& name) const { std::filesystem::remove_all(dir_.path() / name); }
    SysfsBatteryRegistry registry() const { return SysfsBatteryRegistry(dir_.path()); }
    PropertyTable read() const {
        auto table = registry().copyProperties();
        EXPECT_TRUE(table);
        return table.value_or(PropertyTable{});
    }
    PowerSnapshot decode() const { return Provider::snapshot(read(), Date{}); }

private:
    testing::TempDir dir_;
};

std::optional<double> number(const PropertyTable& table, std::string_view key) {
    return Provider::signedNumber(find(table, key));
}

std::optional<double> nestedNumber(const PropertyTable& table, std::string_view outer, std::string_view key) {
    const PropertyValue* nested = find(table, outer);
    return nested && nested->table() ? number(*nested->table(), key) : std::nullopt;
}

const char* const discharging = "type=Battery,scope=System,present=1,status=Discharging,voltage_now=11423000,"
                                "power_now=12793760,energy_now=41230000,energy_full=52000000,capacity=78,"
                                "temp=312,cycle_count=143,technology=Li-ion";

TEST(SysfsBatteryRegistryTest, DischargingLaptopDecodesToNegativeFigures) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", discharging);
    supplies.add("AC", "type=Mains,online=0");
    const PowerSnapshot snapshot = supplies.decode();

    EXPECT_EQ(snapshot.state, onBattery);
    EXPECT_FALSE(snapshot.isExternalConnected);
    ASSERT_TRUE(snapshot.batteryWatts && snapshot.currentMilliamps && snapshot.voltageVolts);
    EXPECT_DOUBLE_EQ(*snapshot.batteryWatts, -12.79376);
    EXPECT_DOUBLE_EQ(*snapshot.voltageVolts, 11.423);
    EXPECT_NEAR(*snapshot.currentMilliamps, -1120.0, 0.01); // from power over voltage
    EXPECT_FALSE(snapshot.batteryWattsIsEstimated);
    EXPECT_EQ(snapshot.chargePercent, 78);
    EXPECT_NEAR(snapshot.temperatureCelsius.value_or(0), 31.2, 1e-9);
    EXPECT_EQ(snapshot.cycleCount, 143);
    EXPECT_EQ(snapshot.batteryTimeRemainingMinutes, 193); // 41.23 Wh at 12.79 W
    EXPECT_FALSE(snapshot.inputWatts || snapshot.adapterRatedWatts);
}

TEST(SysfsBatteryRegistryTest, ChargingFromUsbPowerDeliveryGivesTheContractAsRatingOnly) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", "type=Battery,status=Charging,voltage_now=12600000,current_now=-2000000,"
                         "charge_now=2000000,charge_full=4000000,time_to_full_now=5400");
    supplies.add("ucsi-source-psy-USBC000:001",
                 "type=USB,online=1,usb_type=C [PD] PD_PPS,voltage_max=20000000,current_max=3250000");
    const PropertyTable table = supplies.read();
    EXPECT_EQ(nestedNumber(table, "AdapterDetails", "Watts"), 65.0);
    EXPECT_FALSE(nestedNumber(table, "PowerTelemetryData", "SystemPowerIn"));
    EXPECT_EQ(number(table, "InstantAmperage"), 2000.0); // the driver's negative sign overruled
    EXPECT_EQ(nestedNumber(table, "PowerTelemetryData", "BatteryPower"), 25200.0);

    const PowerSnapshot snapshot = Provider::snapshot(table, Date{});
    EXPECT_EQ(snapshot.state, charging);
    EXPECT_TRUE(snapshot.isExternalConnected);
    EXPECT_EQ(snapshot.chargePercent, 50); // charge counters scaled by the present voltage
    EXPECT_EQ(snapshot.batteryTimeRemainingMinutes, 90);
    EXPECT_FALSE(snapshot.inputWatts);
}

TEST(SysfsBatteryRegistryTest, FullBatteryOnMainsIsChargedWithItsReportedZero) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", "type=Battery,status=Full,voltage_now=13000000,current_now=0,capacity=100");
    supplies.add("ADP1", "type=Mains,online=1");
    const PowerSnapshot snapshot = supplies.decode();
    EXPECT_EQ(snapshot.state, charged);
    EXPECT_EQ(snapshot.batteryWatts, 0.0);
    EXPECT_EQ(snapshot.chargePercent, 100);
    EXPECT_FALSE(snapshot.batteryTimeRemainingMinutes);
}

TEST(SysfsBatteryRegistryTest, TwoBatteriesSumPowerAndChargeFromTheirEnergies) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", "type=Battery,status=Discharging,voltage_now=12000000,power_now=5000000,"
                         "energy_now=30000000,energy_full=40000000,capacity=75");
    supplies.add("BAT1", "type=Battery,status=Discharging,voltage_now=12000000,power_now=-3000000,"
                         "energy_now=5000000,energy_full=20000000,capacity=25");
    const PowerSnapshot snapshot = supplies.decode();
    EXPECT_EQ(snapshot.batteryWatts, -8.0);
    EXPECT_NEAR(snapshot.currentMilliamps.value_or(0), -8000.0 / 12.0, 1e-9);
    EXPECT_EQ(snapshot.chargePercent, 58);                // 35 of 60 Wh, not the mean of 75 % and 25 %
    EXPECT_EQ(snapshot.batteryTimeRemainingMinutes, 263); // 35 Wh at 8 W
}

TEST(SysfsBatteryRegistryTest, ChargeCountersWithCurrentAndVoltageGivePowerAndCharge) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", "type=Battery,status=Discharging,voltage_now=12000000,current_now=1000000,"
                         "charge_now=2500000,charge_full=5000000,voltage_min_design=11100000");
    EXPECT_EQ(nestedNumber(supplies.read(), "PowerTelemetryData", "BatteryPower"), -12000.0);
    const PowerSnapshot snapshot = supplies.decode();
    EXPECT_EQ(snapshot.chargePercent, 50);
    EXPECT_EQ(snapshot.batteryWatts, -12.0);
}

struct AbsentCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> supplies;
};

class NoSystemBatteryTest : public ::testing::TestWithParam<AbsentCase> {};

TEST_P(NoSystemBatteryTest, HasNoEntry) {
    FakePowerSupplies supplies;
    for (const auto& [name, attributes] : GetParam().supplies) {
        supplies.add(name, attributes);
    }
    EXPECT_FALSE(supplies.registry().copyProperties());
}

INSTANTIATE_TEST_SUITE_P(
    Trees, NoSystemBatteryTest,
    ::testing::Values(
        AbsentCase{"EmptyFolder", {}},
        AbsentCase{"MouseBatteryIsADevice",
                   {{"hidpp_battery_0", "type=Battery,scope=Device,status=Discharging,capacity=40"}}},
        AbsentCase{"EmptySlot", {{"BAT1", "type=Battery,present=0,status=Unknown"}}},
        AbsentCase{"BatteryWithOnlyGarbage", {{"BAT0", "type=Battery,voltage_now=lots,capacity="}}}),
    testing::ParamName());

TEST(NoSystemBatteryTest, MissingRootHasNoEntry) {
    EXPECT_FALSE(SysfsBatteryRegistry("/nonexistent/power_supply").copyProperties());
}

TEST(SysfsBatteryRegistryTest, BatteryVanishingBetweenReadsGivesTheUnavailableSnapshot) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", discharging);
    const Date at = Date(std::chrono::seconds(1'900'000'000));
    Provider provider(std::make_unique<SysfsBatteryRegistry>(supplies.registry()), [at] { return at; });
    EXPECT_EQ(provider.readSnapshot().state, onBattery);
    supplies.remove("BAT0");
    EXPECT_EQ(provider.readSnapshot(), PowerSnapshot::unavailable(at));
}

TEST(SysfsBatteryRegistryTest, GarbageFilesLeaveTheirKeysMissing) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", "type=Battery,status=Discharging,voltage_now=11.4V,current_now=,capacity=12x,temp=-,"
                         "cycle_count=999999999999999999999");
    supplies.add("AC", "type=Mains,online=maybe");
    const PropertyTable table = supplies.read();
    for (const char* key : {"Voltage", "InstantAmperage", "CurrentCapacity", "MaxCapacity", "Temperature",
                            "CycleCount", "PowerTelemetryData", "TimeRemaining"}) {
        EXPECT_FALSE(table.contains(key)) << key;
    }
    EXPECT_TRUE(table.contains("BatteryInstalled"));
    // No readable adapter: the discharging status still tells that external power is off.
    EXPECT_EQ(Provider::boolean(find(table, "ExternalConnected")), false);
}

struct SignCase {
    const char* name;
    const char* status;
    const char* currentMicroamps;
    std::optional<double> expectedMilliamps;
};

class CurrentSignTest : public ::testing::TestWithParam<SignCase> {};

TEST_P(CurrentSignTest, FollowsTheStatus) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", std::string("type=Battery,status=") + GetParam().status +
                             ",current_now=" + GetParam().currentMicroamps);
    EXPECT_EQ(number(supplies.read(), "InstantAmperage"), GetParam().expectedMilliamps);
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, CurrentSignTest,
    ::testing::Values(SignCase{"UnsignedWhileDischarging", "Discharging", "1500000", -1500.0},
                      SignCase{"NegativeWhileDischarging", "Discharging", "-1500000", -1500.0},
                      SignCase{"InvertedWhileCharging", "Charging", "-1500000", 1500.0},
                      SignCase{"PositiveWhileCharging", "Charging", "1500000", 1500.0},
                      SignCase{"NotChargingGivesNoDirection", "Not charging", "-20000", std::nullopt},
                      SignCase{"FullKeepsItsZero", "Full", "0", 0.0},
                      SignCase{"UnreadableIsMissingNotZero", "Full", "n/a", std::nullopt}),
    testing::ParamName());

struct AdapterCase {
    const char* name;
    const char* usbTypeAndOnline;
    std::optional<bool> expectedExternal;
    std::optional<double> expectedRating;
};

class UsbAdapterTest : public ::testing::TestWithParam<AdapterCase> {};

TEST_P(UsbAdapterTest, ReadsConnectionAndRating) {
    FakePowerSupplies supplies;
    supplies.add("BAT0", "type=Battery,status=Not charging,capacity=80");
    supplies.add("port", std::string("type=USB,voltage_max=15000000,current_max=3000000,") +
                             GetParam().usbTypeAndOnline);
    const PropertyTable table = supplies.read();
    EXPECT_EQ(Provider::boolean(find(table, "ExternalConnected")), GetParam().expectedExternal);
    EXPECT_EQ(nestedNumber(table, "AdapterDetails", "Watts"), GetParam().expectedRating);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, UsbAdapterTest,
    ::testing::Values(AdapterCase{"PowerDeliveryContract", "usb_type=C [PD] PD_PPS,online=1", true, 45.0},
                      AdapterCase{"PlainTypeCIsNoContract", "usb_type=[C] PD PD_PPS,online=1", true,
                                  std::nullopt},
                      AdapterCase{"OfflinePortHasNoRating", "usb_type=C [PD],online=0", false, std::nullopt},
                      AdapterCase{"UnreadableOnlineLeavesExternalMissing", "usb_type=C [PD],online=?",
                                  std::nullopt, std::nullopt}),
    testing::ParamName());

} // namespace
} // namespace voltrane
