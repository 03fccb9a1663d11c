#include "ui/dashboard/footer_button.h"

#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"
#include "ui/host/surface_painter.h"
#include "ui/host/symbol_glyphs.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace voltrane {

namespace {

constexpr qreal kPaddingX = 11;
constexpr qreal kPaddingY = 7;
constexpr qreal kSymbolGap = 4;

} // namespace

FooterButton::FooterButton(const QString& text, std::string symbol, QWidget* parent)
    : QPushButton(text, parent), symbol_(std::move(symbol)), animation_(new QVariantAnimation(this)) {
    setFont(HostFonts::style(TextStyle::caption, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setFlat(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    animation_->setDuration(kAnimationMilliseconds);
    animation_->setEasingCurve(QEasingCurve::OutCubic);
    connect(animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        progress_ = value.toReal();
        update();
    });
    connect(this, &QPushButton::pressed, this, [this] { animateTo(1); });
    connect(this, &QPushButton::released, this, [this] { animateTo(0); });
}

FooterButton::~FooterButton() = default;

void FooterButton::animateTo(qreal target) {
    animation_->stop();
    animation_->setStartValue(progress_);
    animation_->setEndValue(target);
    animation_->start();
}

qreal FooterButton::fillOpacity() const {
    return kFillOpacity + (kPressedFillOpacity - kFillOpacity) * progress_;
}

qreal FooterButton::scale() const {
    return 1 + (kPressedScale - 1) * progress_;
}

QSize FooterButton::sizeHint() const {
    const QFontMetricsF metrics(font());
    const qreal symbolSize = HostFonts::pixelSize(font());
    const qreal width = 2 * kPaddingX + symbolSize + kSymbolGap + metrics.horizontalAdvance(text());
    const qreal height = 2 * kPaddingY + std::max(metrics.height(), symbolSize);
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void FooterButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRectF bounds(rect());
    const qreal s = scale();
    painter.translate(bounds.center());
    painter.scale(s, s);
    painter.translate(-bounds.center());

    SurfaceStyle capsule;
    capsule.fill = toQColor(VoltranePalette::surface, fillOpacity());
    capsule.stroke = toQColor(VoltranePalette::stroke, 0.45);
    capsule.strokeWidth = 1;
    SurfacePainter::paintCapsule(painter, bounds.adjusted(0.5, 0.5, -0.5, -0.5), capsule);

    const QColor foreground = toQColor(VoltranePalette::textSecondary);
    const QFontMetricsF metrics(font());
    const qreal symbolSize = HostFonts::pixelSize(font());
    const qreal contentWidth = symbolSize + kSymbolGap + metrics.horizontalAdvance(text());
    const qreal left = bounds.center().x() - contentWidth / 2;
    SymbolGlyphs::shared().paint(painter,
                                 QRectF(left, bounds.center().y() - symbolSize / 2, symbolSize, symbolSize),
                                 symbol_, symbolSize, QFont::Medium, foreground);
    painter.setFont(font());
    painter.setPen(foreground);
    painter.drawText(QRectF(left + symbolSize + kSymbolGap, bounds.top(),
                            metrics.horizontalAdvance(text()) + 1, bounds.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

} // namespace voltrane
