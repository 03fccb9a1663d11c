#pragma once

#include "telemetry/battery/power_snapshot.h"
#include "ui/dashboard/adaptive_glass_surface.h"

namespace voltrane {

class SymbolLabel;
class TextLabel;

/// The status card: a round icon in the state colour, a sentence on where the power goes
/// and a muted line of temperature, cycles and adapter rating.
class StatusSummaryView : public AdaptiveGlassSurface {
    Q_OBJECT

public:
    explicit StatusSummaryView(QWidget* parent = nullptr);

    void setSnapshot(const PowerSnapshot& snapshot);
    const PowerSnapshot& snapshot() const { return snapshot_; }

private:
    class Icon;

    PowerSnapshot snapshot_;
    Icon* icon_;
    TextLabel* primary_;
    TextLabel* secondary_;
};

} // namespace voltrane
