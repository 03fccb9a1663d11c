#pragma once

#include "telemetry/battery/power_snapshot.h"
#include "ui/dashboard/adaptive_glass_surface.h"

namespace voltrane {

class SymbolLabel;
class TextLabel;

/// The capsule in the header naming the power state with a symbol and a short label.
class StatePill : public AdaptiveGlassSurface {
    Q_OBJECT

public:
    explicit StatePill(QWidget* parent = nullptr);

    void setState(PowerState state);
    PowerState state() const { return state_; }

private:
    PowerState state_ = PowerState::unavailable;
    SymbolLabel* symbol_;
    TextLabel* label_;
};

} // namespace voltrane
