#pragma once

#include "common/voltrane_palette.h"

#include <string>

namespace voltrane {

/// The texts of one dashboard tile, already formatted; the widget only paints them.
struct MetricTile {
    std::string title;
    std::string value; ///< digits, or "—" for a missing figure
    std::string unit;
    std::string detail;
    std::string symbol; ///< system symbol name
    PaletteColor tint = PaletteColor::accent;

    /// "title，value unit，detail": full-width commas, one ASCII blank before the unit.
    std::string accessibilityLabel() const;

    friend bool operator==(const MetricTile&, const MetricTile&) = default;
};

} // namespace voltrane
