#pragma once

#include "common/date.h"

#include <optional>

namespace voltrane {

/// Average watts per component over one sampling interval.
struct ComponentPowerSnapshot {
    std::optional<double> cpuWatts;
    std::optional<double> gpuWatts;
    std::optional<double> aneWatts;
    std::optional<double> dramWatts;
    std::optional<double> displayWatts;
    double sampleInterval = 0;    ///< seconds between the two readings; 0 when no delta was formed
    bool sourceAvailable = false; ///< a sample could be taken on this call
    Date sampledAt{};

    /// The counters cannot be read: no watts, interval 0, source unavailable.
    static ComponentPowerSnapshot unavailable(Date sampledAt);
    /// A sample was taken but no delta formed yet: no watts, interval 0, source available.
    static ComponentPowerSnapshot waiting(Date sampledAt);

    friend bool operator==(const ComponentPowerSnapshot&, const ComponentPowerSnapshot&) = default;
};

/// The interface through which the monitor reads component power. Never fails; may keep
/// state between calls, so it is called from one place only.
class ComponentPowerProviding {
public:
    virtual ~ComponentPowerProviding() = default;
    virtual ComponentPowerSnapshot readSnapshot() = 0;
};

} // namespace voltrane
