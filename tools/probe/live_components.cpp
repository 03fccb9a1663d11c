#include "commands.h"
#include "snapshot_json.h"
#include "telemetry/components/linux_component_provider.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace voltrane::probe {

namespace {

/// The powercap folder; VOLTRANE_POWERCAP_ROOT points the probe at a recorded tree.
std::filesystem::path powercapRoot() {
    const char* root = std::getenv("VOLTRANE_POWERCAP_ROOT");
    return root && *root ? std::filesystem::path(root) : std::filesystem::path("/sys/class/powercap");
}

} // namespace

LiveComponents::LiveComponents() : provider_(makeLinuxComponentProvider(powercapRoot())) {}

LiveComponents::~LiveComponents() = default;

JsonValue LiveComponents::next() {
    return toJson(provider_->readSnapshot());
}

JsonValue readLiveComponents() {
    LiveComponents components;
    const ComponentPowerSnapshot first = components.provider().readSnapshot();
    if (!first.sourceAvailable) {
        // The counters could not be read at all; waiting would not change that.
        return toJson(first);
    }
    // The first sample only sets the baseline; watts need a second one over a real interval.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return components.next();
}

} // namespace voltrane::probe
