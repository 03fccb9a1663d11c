#pragma once

#include "flow/sankey_flow_model.h"
#include "flow/sankey_stable_layout.h"

#include <QWidget>
#include <optional>

namespace voltrane {

class AccessibilityEnvironment;
class EnergySankeyDiagram;
class FlowAccountingBar;

/// The power-flow section of the dashboard: the diagram above the accounting bar on a
/// rounded panel, 360 high. Builds the flow model from every pair of samples, and keeps the
/// diagram calm by holding a stable layout that it replaces only when the layout's own rule
/// says a change is large enough.
class PowerFlowView : public QWidget {
    Q_OBJECT

public:
    static constexpr int panelHeight = 360;

    explicit PowerFlowView(QWidget* parent = nullptr, AccessibilityEnvironment* environment = nullptr);

    /// Called on every publication of the monitor.
    void setSamples(const PowerSnapshot& snapshot, const ComponentPowerSnapshot& components);

    const SankeyFlowModel& model() const { return model_; }
    /// The adopted layout; empty until the first samples.
    const std::optional<SankeyStableLayout>& stableLayout() const { return stableLayout_; }

    EnergySankeyDiagram* diagram() const { return diagram_; }
    FlowAccountingBar* accountingBar() const { return bar_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SankeyFlowModel model_;
    std::optional<SankeyStableLayout> stableLayout_;
    std::optional<SankeyStableLayout> previousCandidate_;
    EnergySankeyDiagram* diagram_;
    FlowAccountingBar* bar_;
};

} // namespace voltrane
