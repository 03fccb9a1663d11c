#pragma once

#include <optional>
#include <vector>

namespace voltrane {

/// The system's draw split into what the component counters account for and what they do not.
/// At most one of `unattributedWatts` and `overageWatts` is greater than 0.
struct SystemEnergyAllocation {
    std::optional<double> systemWatts;       ///< magnitude of the draw used; absent without a usable figure
    double identifiedWatts = 0;              ///< sum of the usable component watts
    std::optional<double> unattributedWatts; ///< draw not covered by components, ≥ 0; absent with systemWatts
    double overageWatts = 0;                 ///< how far components exceed the draw, ≥ 0

    /// Components count when present, finite and > 0. A non-finite or absent system figure
    /// leaves the split absent; a negative one counts by its magnitude. No tolerance applies.
    static SystemEnergyAllocation make(std::optional<double> systemWatts,
                                       const std::vector<std::optional<double>>& componentWatts);

    friend bool operator==(const SystemEnergyAllocation&, const SystemEnergyAllocation&) = default;
};

} // namespace voltrane
