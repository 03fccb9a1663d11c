#pragma once

#include "telemetry/components/component_power_snapshot.h"

#include <filesystem>
#include <memory>

namespace voltrane {

/// The component sampler over the kernel's powercap counters under `root`, timed by the
/// monotonic clock (intervals) and stamped by the wall clock (sampledAt).
std::unique_ptr<ComponentPowerProviding>
makeLinuxComponentProvider(const std::filesystem::path& root = "/sys/class/powercap");

} // namespace voltrane
