// The power-supply reader over fake /sys/class/power_supply trees: how it combines supplies, and
// how it stands up to a battery that comes and goes and to attribute files no driver should write.
#include "snapshot_expectations.h"
#include "support/fake_sysfs.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"

#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace voltrane {
namespace {

using testing::describe;
namespace fs = std::filesystem;

/// Writes supplies given as "NAME: file=contents,…;NAME: …".
void addSupplies(const testing::FakeSysfs& sysfs, const std::string& supplies) {
    std::istringstream in(supplies);
    for (std::string supply; std::getline(in, supply, ';');) {
        const auto colon = supply.find(": ");
        sysfs.supply(supply.substr(0, colon), supply.substr(colon + 2));
    }
}

/// The decoded snapshot of one read, or "no entry". A read stuck on a FIFO fails the test and is
/// released by opening the FIFO for writing.
std::string read(SysfsBatteryRegistry& registry, const fs::path& fifo = {}) {
    auto copy = std::async(std::launch::async, [&] { return registry.copyProperties(); });
    while (copy.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "a read blocked on " << fifo;
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    }
    const auto table = copy.get();
    return table ? describe(IOKitPowerMetricsProvider::snapshot(*table, Date{})) : "no entry";
}

constexpr const char* discharging =
    "BAT0: type=Battery,scope=System,present=1,status=Discharging,voltage_now=11423000,"
    "power_now=12793760,energy_now=41230000,energy_full=52000000,capacity=78,temp=312,"
    "cycle_count=143,technology=Li-ion";
constexpr const char* dischargingAsRead =
    "onBattery V=11.423 mA=-1120 W=-12.79376 %=78 min=193 C=31.2 cycles=143";

TEST(SysfsBatteryRegistryTest, CombinesTheSupplies) {
    // clang-format off
    const std::vector<std::pair<std::string, const char*>> rows = {
        {std::string(discharging) + ";AC: type=Mains,online=0", dischargingAsRead},
        // Charge counters scale by the present voltage; the PD contract is a rating, not a reading.
        {"BAT0: type=Battery,status=Charging,voltage_now=12600000,current_now=-2000000,charge_now=2000000,charge_full=4000000,"
         "time_to_full_now=5400,time_to_empty_now=60;ucsi-source-psy-USBC000:001: type=USB,online=1,usb_type=C [PD] PD_PPS,"
         "voltage_max=20000000,current_max=3250000", "charging external V=12.6 mA=2000 W=25.2 adapter=65 %=50 min=90"},
        {"BAT0: type=Battery,status=Full,voltage_now=13000000,current_now=0,capacity=100;ADP1: type=Mains,online=1",
         "charged external V=13 mA=0 W=0 %=100"},
        // 35 of 60 Wh, not the mean of 75 % and 25 %; 35 Wh at 8 W.
        {"BAT0: type=Battery,status=Discharging,voltage_now=12000000,power_now=5000000,energy_now=30000000,"
         "energy_full=40000000,capacity=75;BAT1: type=Battery,status=Discharging,voltage_now=12000000,power_now=-3000000,"
         "energy_now=5000000,energy_full=20000000,capacity=25", "onBattery V=12 mA=-666.6666667 W=-8 %=58 min=263"},
        {"BAT0: type=Battery,status=Charging,voltage_now=12000000,current_now=1000000,charge_now=2500000,"
         "charge_full=5000000,voltage_min_design=11100000", "charging external V=12 mA=1000 W=12 %=50 min=139"},
        {"BAT0: type=Battery,status=Unknown,charge_now=1,charge_full=4", "onBattery %=25"},
        {"BAT0: type=Battery,status=Discharging,voltage_now=11.4V,current_now=,capacity=12x,temp=-,"
         "cycle_count=999999999999999999999;AC: type=Mains,online=maybe", "onBattery"},
        {"BAT0: type=Battery,status=Discharging,current_now=1500000", "onBattery mA=-1500"},
        {"BAT0: type=Battery,status=Charging,current_now=-1500000", "charging external mA=1500"},
        {"BAT0: type=Battery,status=Not charging,current_now=-20000", "onBattery"}, // no direction, no reading
        {"BAT0: type=Battery,capacity=80;P: type=USB,usb_type=[C] PD,online=1,voltage_max=15000000,current_max=3000000",
         "pluggedIn external %=80"},
        {"BAT0: type=Battery,capacity=80;P: type=USB,usb_type=C [PD],online=0,voltage_max=5,current_max=3", "onBattery %=80"},
        {"AC: type=Mains,online=1", "unavailable external"}, {"BAT1: type=Battery,present=0,status=Unknown", "no entry"},
        {"hid: type=Battery,scope=Device,status=Discharging,capacity=40;AC: type=Mains,online=1", "unavailable external"},
        {"BAT0: type=Battery,voltage_now=lots,capacity=", "no entry"},
        // What the kernel's attributes mean: cycle_count 0 is "not available"; a Full or Not-charging
        // pack's magnitude has no direction; two packs give one flow whose V x I is its W.
        {"BAT0: type=Battery,status=Discharging,voltage_now=11400000,power_now=9000000,cycle_count=0", "onBattery V=11.4 mA=-789.4736842 W=-9"},
        {"BAT0: type=Battery,status=Full,voltage_now=12900000,current_now=413000;AC: type=Mains,online=1", "charged external V=12.9"},
        {"BAT0: type=Battery,status=Not charging,voltage_now=12900000,power_now=5300000,cycle_count=812;AC: type=Mains,online=1", "pluggedIn external V=12.9 cycles=812"},
        {"BAT0: type=Battery,status=Discharging,voltage_now=11400000,current_now=1120000,cycle_count=143;BAT1: type=Battery,status=Full,voltage_now=12900000,current_now=0,cycle_count=0", "onBattery V=11.4 mA=-1120 W=-12.768 cycles=143"},
        {"BAT0: type=Battery,status=Discharging,voltage_now=11000000,power_now=6000000;BAT1: type=Battery,status=Discharging,voltage_now=13000000,current_now=500000", "onBattery V=12.04 mA=-1038.20598 W=-12.5"},
        {"BAT0: type=Battery,status=Discharging,voltage_now=11400000,power_now=9000000;BAT1: type=Battery,status=Full,voltage_now=12900000,current_now=413000", "onBattery V=11.4"},
        // The kernel's estimate is in seconds; without it, charge counters at the present voltage.
        {"BAT0: type=Battery,status=Discharging,voltage_now=12000000,power_now=12000000,charge_now=3000000,charge_full=6000000,time_to_empty_now=5400", "onBattery V=12 mA=-1000 W=-12 %=50 min=90"},
        {"BAT0: type=Battery,status=Discharging,voltage_now=12000000,power_now=12000000,charge_now=3000000,charge_full=6000000", "onBattery V=12 mA=-1000 W=-12 %=50 min=180"},
        // No current from a zero voltage; a pack with only a status and a charge still counts; one
        // pack charging while the other drains faster is on battery; a carrying pack without a
        // voltage leaves the voltage unknown; a PD contract of 0 V or 0 A is no rating.
        {"BAT0: type=Battery,status=Discharging,voltage_now=0,power_now=5000000", "onBattery V=0 W=-5"},
        {"BAT0: type=Battery,status=Discharging,capacity=40", "onBattery %=40"}, {"BAT0: type=Battery,status=Discharging", "onBattery"},
        {"BAT0: type=Battery,status=Charging,voltage_now=12000000,power_now=2000000,energy_now=10000000,energy_full=20000000;BAT1: type=Battery,status=Discharging,voltage_now=12000000,power_now=5000000,energy_now=10000000,energy_full=20000000", "onBattery V=12 mA=-250 W=-3 %=50"},
        {"BAT0: type=Battery,status=Discharging,power_now=6000000;BAT1: type=Battery,status=Discharging,voltage_now=12000000,power_now=6000000", "onBattery W=-12"},
        {"BAT0: type=Battery,capacity=80;P1: type=USB,usb_type=C [PD],online=1,voltage_max=0,current_max=3000000;P2: type=USB,usb_type=C [PD],online=1,voltage_max=20000000,current_max=0", "pluggedIn external %=80"}};
    // clang-format on
    for (const auto& [supplies, expected] : rows) {
        const testing::FakeSysfs sysfs;
        addSupplies(sysfs, supplies);
        SysfsBatteryRegistry registry(sysfs.supplies());
        EXPECT_EQ(read(registry), expected) << supplies;
    }
    EXPECT_FALSE(SysfsBatteryRegistry("/nonexistent/power_supply").copyProperties());
}

TEST(SysfsBatteryRegistryTest, BatteryVanishingAndReturningReadsUnavailableThenAsBefore) {
    const std::vector<std::function<void(const testing::FakeSysfs&)>> removals = {
        [](const auto& sysfs) { sysfs.removeSupply("BAT0"); },
        [](const auto& sysfs) { fs::remove_all(sysfs.supplies()); },
        [](const auto& sysfs) { sysfs.supply("BAT0", "present=0"); },
        [](const auto& sysfs) {
            sysfs.supply("BAT0", "type=,status=,voltage_now=,power_now=,energy_now=,capacity=");
        }};
    for (const auto& remove : removals) {
        const testing::FakeSysfs sysfs;
        addSupplies(sysfs, discharging);
        const Date at = Date(std::chrono::seconds(1'900'000'000));
        IOKitPowerMetricsProvider provider(std::make_unique<SysfsBatteryRegistry>(sysfs.supplies()),
                                           [at] { return at; });
        EXPECT_EQ(describe(provider.readSnapshot()), dischargingAsRead);
        remove(sysfs);
        EXPECT_EQ(provider.readSnapshot(), PowerSnapshot::unavailable(at));
        fs::remove_all(sysfs.supplies());
        addSupplies(sysfs, discharging);
        EXPECT_EQ(describe(provider.readSnapshot()), dischargingAsRead);
    }
}

TEST(SysfsBatteryRegistryTest, BrokenAttributeFilesReadAsMissingWithoutBlocking) {
    enum Fault { contents, folder, fifo };
    const std::string huge(4 << 20, '9');
    const std::string voltageLost = "onBattery W=-12.79376 %=78 min=193 C=31.2 cycles=143";
    // clang-format off
    const std::vector<std::tuple<const char*, Fault, std::string, std::string>> rows = {
        {"voltage_now", contents, "", voltageLost}, {"voltage_now", contents, "11a423\n", voltageLost},
        {"voltage_now", contents, "99999999999999999999\n", voltageLost}, {"voltage_now", contents, huge, voltageLost},
        {"voltage_now", contents, "11423000\n" + huge, voltageLost}, {"voltage_now", contents, std::string(255, ' '), voltageLost},
        {"voltage_now", folder, "", voltageLost}, {"voltage_now", fifo, "", voltageLost},
        {"power_now", contents, "-inf\n", "onBattery V=11.423 %=78 C=31.2 cycles=143"},
        {"capacity", contents, "inf\n", "onBattery V=11.423 mA=-1120 W=-12.79376 %=79 min=193 C=31.2 cycles=143"},
        {"type", fifo, "", "no entry"}, {"type", contents, "Battery\n" + huge, "no entry"}};
    // clang-format on
    for (const auto& [file, fault, text, expected] : rows) {
        const testing::FakeSysfs sysfs;
        addSupplies(sysfs, discharging);
        const fs::path target = sysfs.supplies() / "BAT0" / file;
        fs::remove(target);
        if (fault == contents) {
            sysfs.write(fs::relative(target, sysfs.path()), text);
        } else if (fault == folder) {
            fs::create_directory(target); // what root cannot be denied, a folder still cannot be read
        } else {
            ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
        }
        SysfsBatteryRegistry registry(sysfs.supplies());
        EXPECT_EQ(read(registry, target), expected) << file << " " << text.substr(0, 20);
        EXPECT_EQ(read(registry, target), expected) << file << " " << text.substr(0, 20);
    }
}

} // namespace
} // namespace voltrane
