#pragma once

#include "flow/sankey_destination.h"

#include <optional>
#include <vector>

namespace voltrane {

/// The geometry of the flow diagram in points, origin top left, y downwards: card widths,
/// row spacing, source card height and each row's ribbon thickness, height and centre.
struct SankeyMetrics {
    struct Size {
        double width = 0;
        double height = 0;

        friend bool operator==(const Size&, const Size&) = default;
    };

    /// Widths below this lay the diagram out compactly.
    static constexpr double compactBelowWidth = 570;

    Size size;        ///< as given
    int rowCount = 0; ///< number of destination rows
    double sourceWidth = 0;
    double destinationWidth = 0;
    double rowSpacing = 0; ///< vertical gap between rows
    double sourceHeight = 0;
    std::vector<double> bandWidths; ///< ribbon thickness per row
    std::vector<double> rowHeights; ///< height per row
    std::vector<double> rowCenters; ///< vertical centre (y) per row

    /// `layoutWatts` holds one entry per destination, in the same order (normally the stable
    /// layout's remembered watts); the row lists get one entry per `layoutWatts` entry.
    SankeyMetrics(Size size, const std::vector<SankeyDestination>& destinations,
                  const std::vector<std::optional<double>>& layoutWatts, std::optional<double> sourceWatts);

    bool isCompact() const { return size.width < compactBelowWidth; }

    friend bool operator==(const SankeyMetrics&, const SankeyMetrics&) = default;
};

} // namespace voltrane
