#include "ui/flow/sankey_source_node.h"

#include "ui/flow/flow_texts.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/capsule_frame.h"
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
    label->setAlignment(Qt::AlignCenter);
    hideFromAccessibility(label);
    return label;
}

} // namespace

SankeySourceNode::SankeySourceNode(QWidget* parent)
    : QWidget(parent), symbol_(new SymbolLabel(this)), title_(makeText("sourceTitle", this)),
      watts_(makeText("sourceWatts", this)), pill_(new CapsuleFrame(this)),
      detail_(makeText("sourceDetail", pill_)) {
    setObjectName(QStringLiteral("sourceNode"));
    setAttribute(Qt::WA_TranslucentBackground);
    symbol_->setObjectName(QStringLiteral("sourceSymbol"));
    symbol_->setSymbolSize(25);
    symbol_->setSymbolWeight(QFont::Medium);
    hideFromAccessibility(symbol_);
    pill_->setObjectName(QStringLiteral("sourceDetailPill"));
    hideFromAccessibility(pill_);

    title_->setFont(HostFonts::style(TextStyle::caption2, QFont::DemiBold));
    watts_->setFont(HostFonts::system(24, QFont::DemiBold, true));
    watts_->setMinimumScaleFactor(0.5); // a number never cut to an ellipsis in a narrow card
    detail_->setMinimumScaleFactor(0.78);

    auto* pillLayout = new QHBoxLayout(pill_);
    pillLayout->setContentsMargins(0, 0, 0, 0);
    pillLayout->addWidget(detail_);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(title_, 0, Qt::AlignHCenter);
    texts->addWidget(watts_, 0, Qt::AlignHCenter);
    texts->addWidget(pill_, 0, Qt::AlignHCenter);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(9);
    stack->addStretch(1);
    stack->addWidget(symbol_, 0, Qt::AlignHCenter);
    stack->addLayout(texts);
    stack->addStretch(1);
}

void SankeySourceNode::setModel(const SankeyFlowModel& model) {
    tint_ = toQColor(VoltranePalette::color(model.sourceTint));
    battery_ = model.sourceKind == SankeyFlowModel::SourceKind::battery;
    const QString title = QString::fromStdString(model.sourceTitle);
    const QString watts = QString::fromStdString(flowWattsText(model.sourceWatts));
    const QString detail = QString::fromStdString(model.sourceDetail);

    symbol_->setSymbol(model.sourceSymbol);
    symbol_->setColor(tint_);
    title_->setText(title);
    title_->setColor(tint_);
    watts_->setText(watts);
    watts_->setColor(toQColor(VoltranePalette::textPrimary));
    detail_->setText(detail);
    if (battery_) {
        detail_->setFont(HostFonts::system(10.5, QFont::DemiBold, true));
        detail_->setColor(tint_);
        pill_->layout()->setContentsMargins(7, 4, 7, 4);
        pill_->setFill(toQColor(VoltranePalette::color(model.sourceTint), 0.12));
    } else {
        detail_->setFont(HostFonts::system(9.5, QFont::Normal, true));
        detail_->setColor(toQColor(VoltranePalette::textMuted));
        pill_->layout()->setContentsMargins(0, 0, 0, 0);
        pill_->setFill(Qt::transparent);
    }
    setAccessibleName(title + QLatin1Char(' ') + watts + QLatin1Char(' ') + detail);
    update();
}

void SankeySourceNode::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SurfaceStyle style;
    QColor from = tint_;
    from.setAlphaF(0.16f);
    QColor to = tint_;
    to.setAlphaF(0.055f);
    style.gradient = UnitGradient{{0, 0}, {1, 1}, {{0.0, from}, {1.0, to}}};
    style.stroke = tint_;
    style.stroke.setAlphaF(0.52f);
    style.strokeWidth = 1;
    // The stroke is centred on the outline; inset by half its width so it is not clipped.
    SurfacePainter::paintRoundedRect(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 18, style);
}

} // namespace voltrane
