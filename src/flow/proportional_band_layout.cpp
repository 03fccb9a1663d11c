#include "flow/proportional_band_layout.h"

#include <algorithm>
#include <cmath>

namespace voltrane {

ProportionalBandLayout ProportionalBandLayout::make(const std::vector<std::optional<double>>& watts,
                                                    std::optional<double> sourceWatts, double totalWidth) {
    std::vector<double> clean;
    clean.reserve(watts.size());
    double sum = 0;
    for (const std::optional<double>& value : watts) {
        clean.push_back(value && std::isfinite(*value) && *value > 0 ? *value : 0.0);
        sum += clean.back();
    }
    const double source = sourceWatts && std::isfinite(*sourceWatts) ? std::fabs(*sourceWatts) : 0.0;

    ProportionalBandLayout layout;
    layout.referenceWatts = std::max(source, sum);
    layout.widths.assign(clean.size(), 0.0);
    if (layout.referenceWatts > 0 && totalWidth > 0) {
        for (std::size_t i = 0; i < clean.size(); ++i) {
            layout.widths[i] = clean[i] / layout.referenceWatts * totalWidth;
        }
    }
    return layout;
}

} // namespace voltrane
