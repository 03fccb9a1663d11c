#include "ui/flow/power_flow_view.h"

#include "ui/flow/energy_sankey_diagram.h"
#include "ui/flow/flow_accounting_bar.h"
#include "ui/host/surface_painter.h"

#include <QPainter>
#include <QVBoxLayout>

namespace voltrane {

PowerFlowView::PowerFlowView(QWidget* parent, AccessibilityEnvironment* environment)
    : QWidget(parent), diagram_(new EnergySankeyDiagram(environment, this)),
      bar_(new FlowAccountingBar(this)) {
    setObjectName(QStringLiteral("powerFlowView"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(panelHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    bar_->setFixedHeight(40);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(10, 10, 10, 10);
    stack->setSpacing(9);
    stack->addWidget(diagram_, 1);
    stack->addWidget(bar_);
    // Until the first samples arrive the section shows the empty model; no layout is held,
    // so those samples set it outright.
    diagram_->setContent(model_, SankeyStableLayout(model_));
    bar_->setModel(model_);
    setAccessibleName(QString::fromStdString(model_.accessibilitySummary()));
}

void PowerFlowView::setSamples(const PowerSnapshot& snapshot, const ComponentPowerSnapshot& components) {
    model_ = SankeyFlowModel(snapshot, components);
    const SankeyStableLayout candidate(model_);
    if (!stableLayout_) {
        // The first samples set the layout outright; the rule only judges changes after that.
        stableLayout_ = candidate;
    } else if (candidate != previousCandidate_ && stableLayout_->shouldAdopt(candidate)) {
        stableLayout_ = candidate;
    }
    previousCandidate_ = candidate;
    diagram_->setContent(model_, *stableLayout_);
    bar_->setModel(model_);
    setAccessibleName(QString::fromStdString(model_.accessibilitySummary()));
}

void PowerFlowView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SurfaceStyle style;
    style.fill = QColor::fromRgbF(1, 1, 1, 0.025f);
    style.stroke = QColor::fromRgbF(1, 1, 1, 0.06f);
    style.strokeWidth = 0.5;
    SurfacePainter::paintRoundedRect(painter, QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 20, style);
}

} // namespace voltrane
