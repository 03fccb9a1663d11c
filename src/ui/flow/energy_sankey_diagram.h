#pragma once

#include "flow/sankey_flow_model.h"
#include "flow/sankey_metrics.h"
#include "flow/sankey_stable_layout.h"

#include <QWidget>
#include <map>
#include <optional>

namespace voltrane {

class AccessibilityEnvironment;
class SankeyDestinationNode;
class SankeyRibbonCanvas;
class SankeySourceNode;

/// The flow diagram: the source card on the left, one row card per destination on the right
/// and the ribbon canvas between and beneath them. Card positions and ribbon widths follow
/// the adopted stable layout; the figures in the cards are the live ones.
class EnergySankeyDiagram : public QWidget {
    Q_OBJECT

public:
    explicit EnergySankeyDiagram(AccessibilityEnvironment* environment = nullptr, QWidget* parent = nullptr);

    void setContent(const SankeyFlowModel& model, const SankeyStableLayout& stableLayout);

    /// The geometry of the last layout pass.
    const std::optional<SankeyMetrics>& metrics() const { return metrics_; }
    SankeyRibbonCanvas* canvas() const { return canvas_; }
    SankeySourceNode* sourceNode() const { return source_; }
    /// The row card of `id`, or nullptr when the row is not shown.
    SankeyDestinationNode* destinationNode(SankeyDestination::ID id) const;

    /// A card's frame as the metrics give it, rounded to whole pixels.
    static QRect pixelFrame(double centerX, double centerY, double width, double height);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();

    SankeyFlowModel model_;
    SankeyStableLayout stableLayout_;
    std::optional<SankeyMetrics> metrics_;
    SankeyRibbonCanvas* canvas_;
    SankeySourceNode* source_;
    std::map<SankeyDestination::ID, SankeyDestinationNode*> rows_;
};

} // namespace voltrane
