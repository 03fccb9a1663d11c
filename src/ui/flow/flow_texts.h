#pragma once

#include "flow/sankey_destination.h"

#include <optional>
#include <string>

namespace voltrane {

/// The watt figure of the flow views: the magnitude as "%.1f W" (12.3 W; −3.4 shows 3.4 W),
/// or "— W" when absent or not finite.
std::string flowWattsText(std::optional<double> watts);

/// The destination row's detail line: "<share>% · <detail>" with the share of the source
/// capped at 100 and rounded by "%.0f", or the detail alone when either figure is absent or ≤ 0.
std::string destinationDetailText(const SankeyDestination& destination, std::optional<double> sourceWatts);

} // namespace voltrane
