#pragma once

#include "ui/dashboard/adaptive_glass_surface.h"
#include "ui/dashboard/metric_tile.h"

namespace voltrane {

class SymbolLabel;
class TextLabel;

/// One tile of the metric grid: a caption with a symbol, a large figure with its unit and a
/// one-line detail, on a faintly tinted card. Shows the texts it is given and computes none.
class MetricCard : public AdaptiveGlassSurface {
    Q_OBJECT

public:
    static constexpr int kMinimumHeight = 82;

    explicit MetricCard(QWidget* parent = nullptr);

    void setTile(const MetricTile& tile);
    const MetricTile& tile() const { return tile_; }

private:
    MetricTile tile_;
    TextLabel* title_;
    SymbolLabel* symbol_;
    TextLabel* value_;
    TextLabel* unit_;
    TextLabel* detail_;
};

} // namespace voltrane
