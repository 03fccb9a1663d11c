#include "ui/dashboard/metric_tile.h"

namespace voltrane {

std::string MetricTile::accessibilityLabel() const {
    return title + "，" + value + " " + unit + "，" + detail;
}

} // namespace voltrane
