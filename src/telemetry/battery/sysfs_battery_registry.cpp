#include "telemetry/battery/sysfs_battery_registry.h"

#include "common/sysfs_attribute.h"

#include <algorithm>
#include <cmath>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace voltrane {

namespace {

/// An open folder, closed when it goes out of scope. Attributes are opened relative to it, so
/// each open walks one path component instead of the whole path (through the class symlink).
class Folder {
public:
    Folder(int parent, const char* name) : fd_(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~Folder() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

private:
    int fd_;
};

/// A text attribute ("Discharging", "C [PD] PD_PPS").
std::optional<std::string> readAttribute(const Folder& folder, const char* name) {
    return sysfs::readText(folder.fd(), name);
}

/// A whole-integer attribute; garbage reads as nothing.
std::optional<double> readInteger(const Folder& folder, const char* name) {
    const auto value = sysfs::readInteger(folder.fd(), name);
    return value ? std::optional<double>(static_cast<double>(*value)) : std::nullopt;
}

enum class Direction { discharging, charging, unknown };

struct Battery {
    std::optional<std::string> status;
    std::optional<double> voltage;     // mV
    std::optional<double> current;     // mA, signed by status
    std::optional<double> power;       // mW, signed by status
    std::optional<double> energyNow;   // mWh
    std::optional<double> energyFull;  // mWh
    std::optional<double> capacity;    // percent
    std::optional<double> temperature; // 0.1 K
    std::optional<double> cycles;
    std::optional<double> timeToEmpty; // minutes
    std::optional<double> timeToFull;  // minutes
};

Direction directionOf(const std::optional<std::string>& status) {
    if (status == "Discharging") {
        return Direction::discharging;
    }
    if (status == "Charging") {
        return Direction::charging;
    }
    return Direction::unknown;
}

/// Drivers disagree on signs (unsigned, negative while discharging, a few inverted), so only the
/// status gives a direction. Without one ("Full", "Not charging", "Unknown") a zero is still zero,
/// but any other reading may flow either way: it is left out rather than shown as charging.
std::optional<double> signedByStatus(std::optional<double> value, Direction direction) {
    if (!value) {
        return std::nullopt;
    }
    switch (direction) {
    case Direction::discharging:
        return -std::fabs(*value);
    case Direction::charging:
        return std::fabs(*value);
    case Direction::unknown:
        break;
    }
    return *value == 0 ? std::optional<double>(0.0) : std::nullopt;
}

std::optional<double> scaled(std::optional<double> value, double factor) {
    if (!value) {
        return std::nullopt;
    }
    return *value * factor;
}

std::optional<Battery> readBattery(const Folder& folder) {
    Battery battery;
    battery.status = readAttribute(folder, "status");
    const Direction direction = directionOf(battery.status);
    battery.voltage = scaled(readInteger(folder, "voltage_now"), 1e-3);
    battery.current = signedByStatus(scaled(readInteger(folder, "current_now"), 1e-3), direction);
    battery.power = signedByStatus(scaled(readInteger(folder, "power_now"), 1e-3), direction);
    // Batteries that give only one of power and current: the other follows from the voltage.
    if (!battery.power && battery.current && battery.voltage) {
        battery.power = *battery.current * *battery.voltage / 1000;
    } else if (!battery.current && battery.power && battery.voltage && *battery.voltage > 0) {
        battery.current = *battery.power / *battery.voltage * 1000;
    }

    battery.energyNow = scaled(readInteger(folder, "energy_now"), 1e-3);
    battery.energyFull = scaled(readInteger(folder, "energy_full"), 1e-3);
    if (!battery.energyNow || !battery.energyFull) {
        // Charge counters (µAh) become energies at the design voltage, else the present one.
        const auto charge = readInteger(folder, "charge_now");
        const auto chargeFull = readInteger(folder, "charge_full");
        auto volts = scaled(readInteger(folder, "voltage_min_design"), 1e-6);
        if (!volts) {
            volts = scaled(battery.voltage, 1e-3);
        }
        if (charge && chargeFull && volts) {
            battery.energyNow = *charge * *volts * 1e-3;
            battery.energyFull = *chargeFull * *volts * 1e-3;
        } else if (charge && chargeFull) {
            battery.energyNow.reset();
            battery.energyFull.reset();
            if (*chargeFull > 0) {
                battery.capacity = *charge / *chargeFull * 100;
            }
        } else {
            battery.energyNow.reset();
            battery.energyFull.reset();
        }
    }
    if (const auto capacity = readInteger(folder, "capacity")) {
        battery.capacity = capacity;
    }
    if (const auto celsiusTenths = readInteger(folder, "temp")) {
        battery.temperature = *celsiusTenths + 2731.5;
    }
    battery.cycles = readInteger(folder, "cycle_count");
    if (battery.cycles && *battery.cycles <= 0) {
        battery.cycles.reset(); // the kernel's "not available"
    }
    // Each estimate is used only in its own direction; most batteries have neither file.
    if (direction == Direction::discharging) {
        battery.timeToEmpty = scaled(readInteger(folder, "time_to_empty_now"), 1.0 / 60);
    } else if (direction == Direction::charging) {
        battery.timeToFull = scaled(readInteger(folder, "time_to_full_now"), 1.0 / 60);
    }

    const bool readAnything = battery.status || battery.voltage || battery.current || battery.power ||
                              battery.energyNow || battery.capacity;
    if (!readAnything) {
        return std::nullopt; // vanished while being read, or nothing but garbage
    }
    return battery;
}

struct Adapters {
    std::optional<bool> online;
    std::optional<double> ratedWatts;
};

/// "[PD] C SDP" style lists: the bracketed entry is the one in force.
bool negotiatedPowerDelivery(const std::optional<std::string>& usbType) {
    if (!usbType) {
        return false;
    }
    const auto open = usbType->find('[');
    return open != std::string::npos && usbType->compare(open + 1, 2, "PD") == 0;
}

void readAdapter(const Folder& folder, bool isUsb, Adapters& adapters) {
    const auto online = readInteger(folder, "online");
    if (!online) {
        return;
    }
    adapters.online = adapters.online.value_or(false) || *online != 0;
    if (!isUsb || *online == 0 || !negotiatedPowerDelivery(readAttribute(folder, "usb_type"))) {
        return;
    }
    const auto microvolts = readInteger(folder, "voltage_max");
    const auto microamps = readInteger(folder, "current_max");
    if (microvolts && microamps && *microvolts > 0 && *microamps > 0) {
        const double watts = *microvolts * *microamps * 1e-12;
        adapters.ratedWatts = std::max(adapters.ratedWatts.value_or(0.0), watts);
    }
}

template <typename Member> std::optional<double> sumOf(const std::vector<Battery>& batteries, Member member) {
    std::optional<double> total;
    for (const Battery& battery : batteries) {
        if (battery.*member) {
            total = total.value_or(0.0) + *(battery.*member);
        }
    }
    return total;
}

template <typename Member>
std::optional<double> meanOf(const std::vector<Battery>& batteries, Member member) {
    const auto total = sumOf(batteries, member);
    const auto count = std::count_if(batteries.begin(), batteries.end(), [member](const Battery& battery) {
        return (battery.*member).has_value();
    });
    if (!total) {
        return std::nullopt;
    }
    return *total / static_cast<double>(count);
}

/// The packs' figures as one battery: millivolts, milliamperes and milliwatts.
struct Combined {
    std::optional<double> voltage;
    std::optional<double> current;
    std::optional<double> power;
};

/// One pack as read. Several: the power is their sum, known only when every pack's is, and voltage
/// and current are stated so that their product gives that sum again. Packs of different voltages
/// cannot share one current, so the voltage is that of the packs carrying the power, weighted by
/// their share (the mean when none does), and the current is the sum over that voltage.
Combined combine(const std::vector<Battery>& batteries) {
    if (batteries.size() == 1) {
        const Battery& only = batteries.front();
        return {only.voltage, only.current, only.power};
    }
    Combined combined;
    double carried = 0;
    double weightedVoltage = 0;
    bool carriersHaveVoltage = true;
    for (const Battery& battery : batteries) {
        if (battery.power && *battery.power != 0) {
            carried += std::fabs(*battery.power);
            weightedVoltage += std::fabs(*battery.power) * battery.voltage.value_or(0.0);
            carriersHaveVoltage = carriersHaveVoltage && battery.voltage.has_value();
        }
    }
    if (carried == 0) {
        combined.voltage = meanOf(batteries, &Battery::voltage);
    } else if (carriersHaveVoltage) {
        combined.voltage = weightedVoltage / carried;
    }
    const bool everyPower = std::all_of(batteries.begin(), batteries.end(),
                                        [](const Battery& battery) { return battery.power.has_value(); });
    if (everyPower) {
        combined.power = sumOf(batteries, &Battery::power);
    }
    if (combined.power && combined.voltage && *combined.voltage > 0) {
        combined.current = *combined.power / *combined.voltage * 1000;
    }
    return combined;
}

void put(PropertyTable& table, const char* key, std::optional<double> value) {
    if (value) {
        table.insert_or_assign(key, PropertyValue(*value));
    }
}

} // namespace

std::optional<PropertyTable> SysfsBatteryRegistry::copyProperties() {
    // The folder is listed afresh on every read: a battery may be removed or come back between
    // two ticks, and a listing costs less than one attribute read.
    std::vector<std::string>& supplies = supplyNames_;
    supplies.clear();
    const int rootFd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = rootFd >= 0 ? ::fdopendir(rootFd) : nullptr;
    if (listing == nullptr) {
        if (rootFd >= 0) {
            ::close(rootFd);
        }
        return std::nullopt;
    }
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        // Reuse the strings of the last read: the same supplies come back tick after tick.
        if (count == supplies.size()) {
            supplies.emplace_back();
        }
        supplies[count++].assign(name);
    }
    supplies.resize(count);
    std::sort(supplies.begin(), supplies.end()); // BAT0 before BAT1, whatever the directory order

    std::vector<Battery> batteries;
    Adapters adapters;
    for (const std::string& name : supplies) {
        const Folder folder(::dirfd(listing), name.c_str());
        if (!folder.isOpen()) {
            continue; // gone since the listing, or not a folder
        }
        const auto type = readAttribute(folder, "type");
        // A device's own supply (a mouse, a phone) says nothing about this machine's power.
        if (!type || readAttribute(folder, "scope") == "Device") {
            continue;
        }
        if (*type == "Battery") {
            if (readAttribute(folder, "present") == "0") {
                continue;
            }
            if (auto battery = readBattery(folder)) {
                batteries.push_back(std::move(*battery));
            }
        } else if (*type == "Mains" || *type == "USB") {
            readAdapter(folder, *type == "USB", adapters);
        }
    }
    ::closedir(listing);
    if (batteries.empty()) {
        if (!adapters.online) {
            return std::nullopt;
        }
        // A desktop: external power without battery data. "ExternalConnected" would itself count
        // as battery data, so the connection goes under the key that does not.
        PropertyTable table;
        table.insert_or_assign("AppleRawExternalConnected", PropertyValue(*adapters.online));
        if (adapters.ratedWatts) {
            table.insert_or_assign("AdapterDetails",
                                   PropertyValue(PropertyTable{{"Watts", *adapters.ratedWatts}}));
        }
        return table;
    }

    PropertyTable table;
    table.insert_or_assign("BatteryInstalled", PropertyValue(true));
    const Combined combined = combine(batteries);
    put(table, "Voltage", combined.voltage);
    put(table, "InstantAmperage", combined.current);
    put(table, "Temperature", meanOf(batteries, &Battery::temperature));
    if (const auto cycles = meanOf(batteries, &Battery::cycles)) {
        table.insert_or_assign("CycleCount", PropertyValue(static_cast<std::int64_t>(std::round(*cycles))));
    }

    const auto power = combined.power;
    if (power) {
        table.insert_or_assign("PowerTelemetryData", PropertyValue(PropertyTable{{"BatteryPower", *power}}));
    }

    bool anyStatus = false;
    bool anyCharging = false;
    bool anyDischarging = false;
    bool allFull = true;
    for (const Battery& battery : batteries) {
        if (battery.status) {
            anyStatus = true;
            anyCharging = anyCharging || *battery.status == "Charging";
            anyDischarging = anyDischarging || *battery.status == "Discharging";
            allFull = allFull && *battery.status == "Full";
        }
    }
    if (anyStatus) {
        // One pack charging while another drains faster is a machine losing charge overall.
        const bool netOutflow = anyDischarging && power && *power < 0;
        table.insert_or_assign("IsCharging", PropertyValue(anyCharging && !netOutflow));
        table.insert_or_assign("FullyCharged", PropertyValue(allFull));
    }

    // Without a readable mains or USB supply, a charging or discharging battery still tells.
    std::optional<bool> external = adapters.online;
    if (!external && (anyCharging || anyDischarging)) {
        external = anyCharging && !anyDischarging;
    }
    if (external) {
        table.insert_or_assign("ExternalConnected", PropertyValue(*external));
    }
    if (adapters.ratedWatts) {
        table.insert_or_assign("AdapterDetails",
                               PropertyValue(PropertyTable{{"Watts", *adapters.ratedWatts}}));
    }

    // Several packs: the charge is that of the summed energies.
    const bool allHaveEnergy = std::all_of(batteries.begin(), batteries.end(), [](const Battery& battery) {
        return battery.energyNow && battery.energyFull && *battery.energyFull > 0;
    });
    if (batteries.size() > 1 && allHaveEnergy) {
        put(table, "CurrentCapacity", sumOf(batteries, &Battery::energyNow));
        put(table, "MaxCapacity", sumOf(batteries, &Battery::energyFull));
    } else if (const auto percent = meanOf(batteries, &Battery::capacity)) {
        put(table, "CurrentCapacity", percent);
        table.insert_or_assign("MaxCapacity", PropertyValue(100));
    } else if (allHaveEnergy) {
        put(table, "CurrentCapacity", sumOf(batteries, &Battery::energyNow));
        put(table, "MaxCapacity", sumOf(batteries, &Battery::energyFull));
    }

    // The kernel's own estimate when it gives one, else energy over power.
    const auto remaining = [&]() -> std::optional<double> {
        if (batteries.size() == 1) {
            const Battery& only = batteries.front();
            if (anyDischarging && only.timeToEmpty) {
                return only.timeToEmpty;
            }
            if (anyCharging && only.timeToFull) {
                return only.timeToFull;
            }
        }
        const auto energy = sumOf(batteries, &Battery::energyNow);
        const auto full = sumOf(batteries, &Battery::energyFull);
        if (!power || !energy || std::fabs(*power) < 1.0) {
            return std::nullopt;
        }
        if (anyDischarging && !anyCharging) {
            return *energy / std::fabs(*power) * 60;
        }
        if (anyCharging && !anyDischarging && full && *full > *energy) {
            return (*full - *energy) / std::fabs(*power) * 60;
        }
        return std::nullopt;
    }();
    put(table, "TimeRemaining", remaining);
    return table;
}

std::optional<BatteryHealthRecord> SysfsBatteryRegistry::batteryHealth(Date now) {
    DIR* listing = ::opendir(root_.c_str());
    if (listing == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    std::optional<BatteryHealthRecord> record;
    std::vector<double> cycles;
    for (const std::string& name : names) {
        const Folder folder(::dirfd(listing), name.c_str());
        if (!folder.isOpen() || readAttribute(folder, "type") != "Battery" ||
            readAttribute(folder, "scope") == "Device" || readAttribute(folder, "present") == "0") {
            continue;
        }
        auto unit = CapacityUnit::milliwattHours;
        auto full = readInteger(folder, "energy_full");
        auto design = readInteger(folder, "energy_full_design");
        if (!full && !design) {
            unit = CapacityUnit::milliampHours;
            full = readInteger(folder, "charge_full");
            design = readInteger(folder, "charge_full_design");
        }
        if (const auto count = readInteger(folder, "cycle_count"); count && *count > 0) {
            cycles.push_back(*count);
        }
        if (!full && !design) {
            continue;
        }
        if (!record) {
            record.emplace();
            record->recordedAt = now;
            record->unit = unit;
        } else if (record->unit != unit) {
            continue; // a pack that counts charge cannot be added to one that counts energy
        }
        if (full && *full > 0) {
            record->fullChargeCapacity = record->fullChargeCapacity.value_or(0.0) + *full / 1000;
        }
        if (design && *design > 0) {
            record->designCapacity = record->designCapacity.value_or(0.0) + *design / 1000;
        }
    }
    ::closedir(listing);
    if (!cycles.empty()) {
        if (!record) {
            record.emplace();
            record->recordedAt = now;
        }
        double total = 0;
        for (const double count : cycles) {
            total += count;
        }
        record->cycleCount =
            static_cast<std::int64_t>(std::round(total / static_cast<double>(cycles.size())));
    }
    return record;
}

} // namespace voltrane
