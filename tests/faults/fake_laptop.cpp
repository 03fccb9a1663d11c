#include "fake_laptop.h"

#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"
#include "telemetry/components/io_report_component_power_provider.h"
#include "telemetry/components/powercap_energy_report.h"

#include <QCoreApplication>
#include <cmath>
#include <optional>
#include <utility>

namespace voltrane::testing {
namespace {

const Date kNow{std::chrono::seconds(1'800'000'000)};

bool finite(const std::optional<double>& value) {
    return !value || std::isfinite(*value);
}

} // namespace

FakeLaptop::FakeLaptop() {
    writeBattery();
    dir_.write("power_supply/AC/type", "Mains\n");
    dir_.write("power_supply/AC/online", "0\n");
    dir_.write("powercap/intel-rapl:0/name", "package-0\n");
    dir_.write("powercap/intel-rapl:0/energy_uj", "900000000\n");
    dir_.write("powercap/intel-rapl:0/max_energy_range_uj", std::to_string(kRange) + "\n");
    writeCore(500'000'000, true);
    dir_.write("powercap/intel-rapl:0:2/name", "dram\n");
    dir_.write("powercap/intel-rapl:0:2/energy_uj", "70000000\n");
}

void FakeLaptop::writeBattery() const {
    for (const auto& [name, contents] : {std::pair{"type", "Battery"},
                                         {"present", "1"},
                                         {"status", "Discharging"},
                                         {"voltage_now", "11423000"},
                                         {"power_now", "12793760"},
                                         {"energy_now", "41230000"},
                                         {"energy_full", "52000000"},
                                         {"capacity", "78"},
                                         {"cycle_count", "143"}}) {
        dir_.write(std::filesystem::path("power_supply/BAT0") / name, std::string(contents) + "\n");
    }
}

void FakeLaptop::setCoreEnergy(std::int64_t microjoules) const {
    dir_.write("powercap/intel-rapl:0:0/energy_uj", std::to_string(microjoules) + "\n");
}

void FakeLaptop::writeCore(std::int64_t microjoules, bool rangeKnown) const {
    dir_.write("powercap/intel-rapl:0:0/name", "core\n");
    setCoreEnergy(microjoules);
    const auto range = powercap() / "intel-rapl:0:0" / "max_energy_range_uj";
    if (rangeKnown) {
        dir_.write("powercap/intel-rapl:0:0/max_energy_range_uj", std::to_string(kRange) + "\n");
    } else {
        std::filesystem::remove(range);
    }
}

std::unique_ptr<PowerMetricsProviding> FakeLaptop::makeBatteryReader() const {
    return std::make_unique<IOKitPowerMetricsProvider>(std::make_unique<SysfsBatteryRegistry>(supplies()),
                                                       [] { return kNow; });
}

std::unique_ptr<ComponentPowerProviding> FakeLaptop::makeComponentReader() {
    return std::make_unique<IOReportComponentPowerProvider>(
        std::make_unique<PowercapEnergyReport>(powercap()), [this] { return uptime_ += 1.0; },
        [] { return kNow; });
}

std::unique_ptr<PowerMonitor> FakeLaptop::makeMonitor() {
    return std::make_unique<PowerMonitor>(makeBatteryReader(), makeComponentReader(),
                                          std::make_unique<ManualScheduler>(pending_), [] { return kNow; });
}

std::unique_ptr<PowerMonitor> FakeLaptop::makeEventLoopMonitor() {
    return std::make_unique<PowerMonitor>(makeBatteryReader(), makeComponentReader(),
                                          makeEventLoopScheduler(), [] { return kNow; });
}

bool FakeLaptop::tick() {
    if (!pending_) {
        return false;
    }
    auto fire = std::exchange(pending_, nullptr);
    fire();
    return true;
}

void ensureApplication() {
    static int argc = 1;
    static char name[] = "fault_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

bool allFinite(const PowerSnapshot& snapshot) {
    return finite(snapshot.voltageVolts) && finite(snapshot.currentMilliamps) &&
           finite(snapshot.batteryWatts) && finite(snapshot.systemWatts) && finite(snapshot.inputWatts) &&
           finite(snapshot.adapterRatedWatts) && finite(snapshot.temperatureCelsius) &&
           finite(snapshot.portOutputWatts);
}

bool allFinite(const ComponentPowerSnapshot& snapshot) {
    return finite(snapshot.cpuWatts) && finite(snapshot.gpuWatts) && finite(snapshot.aneWatts) &&
           finite(snapshot.dramWatts) && finite(snapshot.displayWatts) &&
           std::isfinite(snapshot.sampleInterval);
}

} // namespace voltrane::testing
