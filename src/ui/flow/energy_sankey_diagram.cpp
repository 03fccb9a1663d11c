#include "ui/flow/energy_sankey_diagram.h"

#include "ui/flow/sankey_destination_node.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/flow/sankey_source_node.h"
#include "ui/host/qt_color.h"

#include <cmath>

namespace voltrane {

EnergySankeyDiagram::EnergySankeyDiagram(AccessibilityEnvironment* environment, QWidget* parent)
    : QWidget(parent), canvas_(new SankeyRibbonCanvas(environment, this)),
      source_(new SankeySourceNode(this)) {
    setObjectName(QStringLiteral("sankeyDiagram"));
    setAttribute(Qt::WA_TranslucentBackground);
    // Back to front: ribbons, the source card's glow (both the canvas's), the source card, then
    // the row cards.
    canvas_->lower();
    source_->raise();
}

SankeyDestinationNode* EnergySankeyDiagram::destinationNode(SankeyDestination::ID id) const {
    const auto found = rows_.find(id);
    return found == rows_.end() ? nullptr : found->second;
}

void EnergySankeyDiagram::setContent(const SankeyFlowModel& model, const SankeyStableLayout& stableLayout) {
    model_ = model;
    stableLayout_ = stableLayout;
    relayout();
}

void EnergySankeyDiagram::resizeEvent(QResizeEvent*) {
    relayout();
}

QRect EnergySankeyDiagram::pixelFrame(double centerX, double centerY, double width, double height) {
    const auto left = static_cast<int>(std::lround(centerX - width * 0.5));
    const auto top = static_cast<int>(std::lround(centerY - height * 0.5));
    const auto right = static_cast<int>(std::lround(centerX + width * 0.5));
    const auto bottom = static_cast<int>(std::lround(centerY + height * 0.5));
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

void EnergySankeyDiagram::relayout() {
    const double width = this->width();
    const double height = this->height();
    const std::vector<SankeyDestination> ordered = stableLayout_.ordered(model_.destinations);
    const SankeyMetrics metrics({width, height}, ordered, stableLayout_.layoutWatts(ordered),
                                stableLayout_.sourceWatts);
    metrics_ = metrics;

    canvas_->setGeometry(rect());
    canvas_->setContent(ordered, stableLayout_.sourceWatts, model_.sourceTint, metrics);

    const QRect sourceFrame = pixelFrame(metrics.sourceWidth * 0.5, metrics.size.height * 0.5,
                                         metrics.sourceWidth, metrics.sourceHeight);
    source_->setGeometry(sourceFrame);
    source_->setModel(model_);
    canvas_->setGlow(QRectF(sourceFrame), 18,
                     SurfaceShadow{toQColor(VoltranePalette::color(model_.sourceTint), 0.09), 14, {0, 0}});

    std::map<SankeyDestination::ID, SankeyDestinationNode*> kept;
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        const SankeyDestination& destination = ordered[i];
        SankeyDestinationNode* node = nullptr;
        if (const auto found = rows_.find(destination.id); found != rows_.end()) {
            node = found->second;
            rows_.erase(found);
        } else {
            node = new SankeyDestinationNode(this);
            node->setObjectName(QStringLiteral("destinationNode_") + QLatin1String(rawValue(destination.id)));
        }
        const double rowHeight = i < metrics.rowHeights.size() ? metrics.rowHeights[i] : 0;
        const double center =
            i < metrics.rowCenters.size() ? metrics.rowCenters[i] : metrics.size.height * 0.5;
        node->setGeometry(
            pixelFrame(width - metrics.destinationWidth * 0.5, center, metrics.destinationWidth, rowHeight));
        node->setContent(destination, model_.sourceWatts, rowHeight);
        node->raise();
        node->show();
        kept.emplace(destination.id, node);
    }
    // Rows the layout no longer shows go away with their cards.
    for (auto& [id, node] : rows_) {
        delete node;
    }
    rows_ = std::move(kept);
}

} // namespace voltrane
