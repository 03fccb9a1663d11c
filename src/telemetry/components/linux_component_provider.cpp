#include "telemetry/components/linux_component_provider.h"

#include "telemetry/components/io_report_component_power_provider.h"
#include "telemetry/components/powercap_energy_report.h"

#include <chrono>

namespace voltrane {

std::unique_ptr<ComponentPowerProviding> makeLinuxComponentProvider(const std::filesystem::path& root) {
    // steady_clock is CLOCK_MONOTONIC here: seconds since boot, never set back by the user.
    auto uptime = [] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    };
    auto clock = [] { return std::chrono::system_clock::now(); };
    return std::make_unique<IOReportComponentPowerProvider>(std::make_unique<PowercapEnergyReport>(root),
                                                            std::move(uptime), std::move(clock));
}

} // namespace voltrane
