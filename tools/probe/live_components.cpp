#include "commands.h"
#include "snapshot_json.h"
#include "telemetry/components/linux_component_provider.h"

#include <chrono>
#include <thread>

namespace voltrane::probe {

JsonValue readLiveComponents() {
    const auto provider = makeLinuxComponentProvider();
    const ComponentPowerSnapshot first = provider->readSnapshot();
    if (!first.sourceAvailable) {
        // The counters could not be read at all; waiting would not change that.
        return toJson(first);
    }
    // The first sample only sets the baseline; watts need a second one over a real interval.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return toJson(provider->readSnapshot());
}

} // namespace voltrane::probe
