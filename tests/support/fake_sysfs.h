#pragma once

#include "support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace voltrane::testing {

/// A temporary stand-in for /sys/class: `power_supply/<supply>/<attribute>` and
/// `powercap/<zone>/{name,energy_uj,max_energy_range_uj}`, each file ending in a newline as the
/// kernel writes them.
class FakeSysfs : public TempDir {
public:
    /// What recent Intel processors report: a 32-bit counter of 61 µJ steps.
    static constexpr std::int64_t kRange = 262'143'328'850;

    std::filesystem::path supplies() const { return path() / "power_supply"; }
    std::filesystem::path powercap() const { return path() / "powercap"; }

    /// Writes a supply's attributes, given as "file=contents" pairs separated by commas.
    void supply(const std::string& name, const std::string& attributes) const;
    void removeSupply(const std::string& name) const;

    /// Writes a zone; without a range the zone has no max_energy_range_uj file.
    void zone(const std::string& folder, const std::string& name, std::int64_t energy,
              std::optional<std::int64_t> range = kRange) const;
    void setEnergy(const std::string& folder, std::int64_t energy) const;
};

} // namespace voltrane::testing
