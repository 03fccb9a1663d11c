#include "flow/system_energy_allocation.h"

#include <cmath>

namespace voltrane {

SystemEnergyAllocation
SystemEnergyAllocation::make(std::optional<double> systemWatts,
                             const std::vector<std::optional<double>>& componentWatts) {
    SystemEnergyAllocation allocation;
    for (const std::optional<double>& watts : componentWatts) {
        if (watts && std::isfinite(*watts) && *watts > 0) {
            allocation.identifiedWatts += *watts;
        }
    }
    if (!systemWatts || !std::isfinite(*systemWatts)) {
        return allocation;
    }
    const double system = std::fabs(*systemWatts);
    const double identified = allocation.identifiedWatts;
    allocation.systemWatts = system;
    allocation.unattributedWatts = system - identified >= 0 ? system - identified : 0;
    allocation.overageWatts = identified - system >= 0 ? identified - system : 0;
    return allocation;
}

} // namespace voltrane
