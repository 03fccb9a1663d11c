#pragma once

#include <optional>
#include <vector>

namespace voltrane {

/// Band thicknesses proportional to each flow's share of the source (or of the flows' sum
/// when they exceed the source).
struct ProportionalBandLayout {
    std::vector<double> widths; ///< one thickness per input flow, in input order
    double referenceWatts = 0;  ///< W that correspond to the full total width

    /// Flows count when present, finite and > 0 (others as 0 but keep their place); the source
    /// by its magnitude when finite. All widths are 0 unless both reference and width are > 0.
    static ProportionalBandLayout make(const std::vector<std::optional<double>>& watts,
                                       std::optional<double> sourceWatts, double totalWidth);

    friend bool operator==(const ProportionalBandLayout&, const ProportionalBandLayout&) = default;
};

} // namespace voltrane
