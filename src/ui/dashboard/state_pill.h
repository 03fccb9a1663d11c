#pragma once

#include "telemetry/battery/power_snapshot.h"
#include "ui/dashboard/adaptive_glass_surface.h"
#include "ui/dashboard/state_style.h"

namespace voltrane {

class SymbolLabel;
class TextLabel;

/// The capsule in the header naming the power state with a symbol and a short label.
class StatePill : public AdaptiveGlassSurface {
    Q_OBJECT

public:
    explicit StatePill(QWidget* parent = nullptr);

    /// Shows the state's own style.
    void setState(PowerState state);
    /// Shows a style chosen from the whole snapshot (see stateStyle(const PowerSnapshot&)).
    void setStyle(const StateStyle& style);

private:
    StateStyle style_{};
    SymbolLabel* symbol_;
    TextLabel* label_;
};

} // namespace voltrane
