#include "flow/sankey_metrics.h"

#include "flow/proportional_band_layout.h"

#include <algorithm>

namespace voltrane {
namespace {

constexpr double kBudgetFloor = 42;
constexpr double kBudgetCeiling = 154;
constexpr double kSourceHeight = 168;

} // namespace

// std::max/std::min keep their argument order as the rules are written, so a NaN size
// resolves the same way wherever the geometry is computed.
SankeyMetrics::SankeyMetrics(Size givenSize, const std::vector<SankeyDestination>& destinations,
                             const std::vector<std::optional<double>>& layoutWatts,
                             std::optional<double> sourceWatts)
    : size(givenSize), rowCount(static_cast<int>(destinations.size())) {
    const bool compact = isCompact();
    rowSpacing = compact ? 4 : 5;
    sourceWidth = compact ? 108 : 122;
    destinationWidth = compact ? 148 : 184;
    const double minimumRowHeight = compact ? 30 : 32;

    const double height = size.height;
    if (destinations.empty()) {
        sourceHeight = std::min(kSourceHeight, height - 18);
        return;
    }

    const double rowsBelowFirst = static_cast<double>(destinations.size() - 1);
    const double gaps = rowSpacing * rowsBelowFirst;
    double budget = height - 16 - gaps - minimumRowHeight * rowsBelowFirst;
    budget = std::max(budget, kBudgetFloor);
    budget = std::min(budget, kBudgetCeiling);

    bandWidths = ProportionalBandLayout::make(layoutWatts, sourceWatts, budget).widths;

    rowHeights.reserve(bandWidths.size());
    double natural = 0;
    for (const double band : bandWidths) {
        rowHeights.push_back(std::max(minimumRowHeight, band + 8));
        natural += rowHeights.back();
    }
    const double available = std::max(1.0, height - 8 - gaps);
    if (natural > available) {
        // The rows shrink together, possibly below their minimum, so every row stays visible.
        const double scale = available / natural;
        for (double& rowHeight : rowHeights) {
            rowHeight *= scale;
        }
    }

    double rowsTotal = 0;
    for (const double rowHeight : rowHeights) {
        rowsTotal += rowHeight;
    }
    const double content = gaps + rowsTotal;

    rowCenters.reserve(rowHeights.size());
    double top = (height - content) * 0.5;
    for (const double rowHeight : rowHeights) {
        rowCenters.push_back(top + rowHeight * 0.5);
        top = top + rowHeight + rowSpacing;
    }

    sourceHeight = std::min(height - 18, std::max(kSourceHeight, 0.82 * std::min(height - 18, content)));
}

} // namespace voltrane
