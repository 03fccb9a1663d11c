#include "ui/flow/flow_texts.h"

#include "common/number_format.h"

#include <algorithm>
#include <cmath>

namespace voltrane {

std::string flowWattsText(std::optional<double> watts) {
    if (!watts || !std::isfinite(*watts)) {
        return std::string(kDash) + " W";
    }
    return formatFixed(std::fabs(*watts), 1, "W");
}

std::string destinationDetailText(const SankeyDestination& destination, std::optional<double> sourceWatts) {
    const std::optional<double>& watts = destination.watts;
    if (!watts || !sourceWatts || *sourceWatts <= 0 || *watts <= 0) {
        return destination.detail;
    }
    const double share = std::min(*watts / *sourceWatts, 1.0) * 100;
    return formatFixed(share, 0) + "% · " + destination.detail;
}

} // namespace voltrane
