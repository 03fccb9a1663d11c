#include "ui/flow/sankey_destination_node.h"

#include "common/power_thresholds.h"
#include "ui/flow/flow_texts.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/surface_painter.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace voltrane {

namespace {

TextLabel* makeText(const char* name, QWidget* parent) {
    auto* label = new TextLabel(parent);
    label->setObjectName(QLatin1String(name));
    hideFromAccessibility(label);
    return label;
}

} // namespace

SankeyDestinationNode::SankeyDestinationNode(QWidget* parent)
    : QWidget(parent), symbol_(new SymbolLabel(this)), title_(makeText("destinationTitle", this)),
      detail_(makeText("destinationDetail", this)), watts_(makeText("destinationWatts", this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    symbol_->setObjectName(QStringLiteral("destinationSymbol"));
    symbol_->setSymbolWeight(QFont::Medium);
    symbol_->setFixedWidth(20);
    hideFromAccessibility(symbol_);

    detail_->setFont(HostFonts::system(8.5, QFont::Normal));
    detail_->setColor(toQColor(VoltranePalette::textMuted));
    watts_->setMinimumScaleFactor(0.75);
    watts_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The figure keeps its ideal width; title and detail give way first.
    watts_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addStretch(1);
    texts->addWidget(title_);
    texts->addWidget(detail_);
    texts->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(9, 0, 9, 0);
    row->setSpacing(8);
    row->addWidget(symbol_, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    row->addSpacerItem(new QSpacerItem(3, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
    row->addWidget(watts_, 0, Qt::AlignVCenter);
}

void SankeyDestinationNode::setContent(const SankeyDestination& destination,
                                       std::optional<double> sourceWatts, double rowHeight) {
    const bool roomy = rowHeight >= roomyRowHeight;
    const bool active = destination.watts && *destination.watts > kActiveWatts;
    const bool unavailable = destination.state == SankeyDestination::State::unavailable;
    const Color tint = VoltranePalette::color(destination.tint);

    const QString title = QString::fromStdString(destination.title);
    const QString detail = QString::fromStdString(destinationDetailText(destination, sourceWatts));
    const QString watts = QString::fromStdString(flowWattsText(destination.watts));

    symbol_->setSymbol(destination.symbol);
    symbol_->setSymbolSize(roomy ? 18 : 14);
    symbol_->setColor(toQColor(unavailable ? VoltranePalette::textMuted : tint));
    title_->setText(title);
    title_->setFont(HostFonts::system(roomy ? 11.5 : 10, QFont::DemiBold));
    title_->setColor(toQColor(unavailable ? VoltranePalette::textSecondary : tint));
    detail_->setText(detail);
    watts_->setText(watts);
    watts_->setFont(HostFonts::system(roomy ? 16 : 12.5, QFont::DemiBold, true));
    watts_->setColor(toQColor(destination.watts ? VoltranePalette::textPrimary : VoltranePalette::textMuted));
    watts_->setFixedWidth(watts_->sizeHint().width());

    fill_ = toQColor(tint, active ? 0.085 : 0.025);
    border_ = toQColor(tint, active ? 0.34 : 0.1);
    setToolTip(title + QStringLiteral("：") + watts + QStringLiteral("，") +
               QString::fromStdString(destination.detail));
    setAccessibleName(title + QLatin1Char(' ') + detail + QLatin1Char(' ') + watts);
    update();
}

void SankeyDestinationNode::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SurfaceStyle style;
    style.fill = fill_;
    style.stroke = border_;
    style.strokeWidth = 0.7;
    SurfacePainter::paintRoundedRect(painter, QRectF(rect()).adjusted(0.35, 0.35, -0.35, -0.35), 10, style);
}

} // namespace voltrane
