#include "ui/dashboard/metric_card.h"

#include "ui/host/accessibility_hiding.h"
#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <cmath>

namespace voltrane {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

MetricCard::MetricCard(QWidget* parent)
    : AdaptiveGlassSurface({16, std::nullopt, false, 0.07}, parent), title_(new TextLabel(this)),
      symbol_(new SymbolLabel(this)), value_(new TextLabel(this)), unit_(new TextLabel(this)),
      detail_(new TextLabel(this)), fade_(new QVariantAnimation(this)), previousValue_(new TextLabel(this)),
      valueOpacity_(new QGraphicsOpacityEffect(this)), previousOpacity_(new QGraphicsOpacityEffect(this)) {
    setObjectName(QStringLiteral("metricCard"));
    // The card is read as one element; its parts stay silent.
    hideFromAccessibility(title_);
    hideFromAccessibility(symbol_);
    hideFromAccessibility(value_);
    hideFromAccessibility(unit_);
    hideFromAccessibility(detail_);
    hideFromAccessibility(previousValue_);
    title_->setObjectName(QStringLiteral("metricTitle"));
    symbol_->setObjectName(QStringLiteral("metricSymbol"));
    value_->setObjectName(QStringLiteral("metricValue"));
    unit_->setObjectName(QStringLiteral("metricUnit"));
    detail_->setObjectName(QStringLiteral("metricDetail"));
    previousValue_->setObjectName(QStringLiteral("metricValuePrevious"));

    title_->setFont(HostFonts::style(TextStyle::caption, QFont::DemiBold));
    title_->setColor(toQColor(VoltranePalette::textSecondary));
    symbol_->setSymbolSize(HostFonts::size(TextStyle::caption));
    symbol_->setSymbolWeight(QFont::Bold);
    value_->setFont(HostFonts::system(21, QFont::DemiBold, true));
    value_->setColor(toQColor(VoltranePalette::textPrimary));
    previousValue_->setFont(value_->font());
    previousValue_->setColor(value_->color());
    previousValue_->hide();
    // Both effects stay off between transitions, so a settled tile paints directly.
    valueOpacity_->setEnabled(false);
    previousOpacity_->setEnabled(false);
    value_->setGraphicsEffect(valueOpacity_);
    previousValue_->setGraphicsEffect(previousOpacity_);
    fade_->setDuration(kFigureTransitionMilliseconds);
    fade_->setEasingCurve(QEasingCurve::OutCubic);
    fade_->setStartValue(0.0);
    fade_->setEndValue(1.0);
    connect(fade_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { applyFigureTransition(value.toReal()); });
    connect(fade_, &QVariantAnimation::finished, this, [this] { applyFigureTransition(1); });
    unit_->setFont(HostFonts::style(TextStyle::subheadline, QFont::DemiBold));
    unit_->setColor(toQColor(VoltranePalette::textSecondary));
    unit_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    detail_->setFont(HostFonts::style(TextStyle::caption2));
    detail_->setColor(toQColor(VoltranePalette::textMuted));
    detail_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    header->addWidget(title_, 0, Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(symbol_, 0, Qt::AlignVCenter);

    // The two texts share a baseline: both sit on the row's bottom, and the smaller one is
    // lifted by the difference of their descents.
    auto* figure = new QHBoxLayout;
    figure->setContentsMargins(0, 0, 0, 0);
    figure->setSpacing(5);
    figure->addWidget(value_, 0, Qt::AlignBottom);
    auto* unitColumn = new QVBoxLayout;
    const qreal lift = QFontMetricsF(value_->font()).descent() - QFontMetricsF(unit_->font()).descent();
    unitColumn->setContentsMargins(0, 0, 0, std::max(0, static_cast<int>(std::lround(lift))));
    unitColumn->addStretch(1);
    unitColumn->addWidget(unit_);
    figure->addLayout(unitColumn);
    figure->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(6);
    column->addLayout(header);
    column->addLayout(figure);
    column->addWidget(detail_);
    column->addStretch(1);

    setMinimumSize(10, kMinimumHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void MetricCard::setTile(const MetricTile& tile) {
    if (tile == tile_ && !title_->text().isEmpty()) {
        return;
    }
    const QString previous = value_->text();
    const bool figureChanged = !previous.isEmpty() && tile.value != tile_.value;
    tile_ = tile;
    const QColor tint = toQColor(VoltranePalette::color(tile.tint));
    title_->setText(text(tile.title));
    symbol_->setSymbol(tile.symbol);
    symbol_->setColor(tint);
    value_->setText(text(tile.value));
    // Exactly as wide as the figure (a label's own minimum is an ellipsis, wider than "0"),
    // so the unit follows at 5 points whatever the figure's length.
    value_->setFixedWidth(value_->sizeHint().width());
    unit_->setText(text(tile.unit));
    detail_->setText(text(tile.detail));
    setTint(toQColor(VoltranePalette::color(tile.tint), 0.045));
    setAccessibleName(text(tile.accessibilityLabel()));
    if (figureChanged) {
        startFigureTransition(previous);
    }
}

void MetricCard::startFigureTransition(const QString& previous) {
    // Keyed on the figure alone: a new unit with the same figure does not animate.
    previousValue_->setText(previous);
    previousValue_->setGeometry(QRect(value_->geometry().topLeft(), previousValue_->sizeHint()));
    previousValue_->show();
    fade_->stop();
    applyFigureTransition(0);
    fade_->start();
}

void MetricCard::applyFigureTransition(qreal progress) {
    const bool running = progress < 1;
    valueOpacity_->setEnabled(running);
    previousOpacity_->setEnabled(running);
    valueOpacity_->setOpacity(progress);
    previousOpacity_->setOpacity(1 - progress);
    previousValue_->setVisible(running);
}

} // namespace voltrane
