#include "ui/host/shadow_widget.h"

#include "ui/host/accessibility_hiding.h"

#include <QPainter>
#include <cmath>

namespace voltrane {

ShadowWidget::ShadowWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    hideFromAccessibility(this);
}

void ShadowWidget::setCard(const QRectF& cardRect, qreal cornerRadius, const SurfaceShadow& shadow) {
    cardRect_ = cardRect;
    cornerRadius_ = cornerRadius;
    shadow_ = shadow;
    const qreal margin = std::ceil(SurfacePainter::shadowMargin(shadow)) + 1;
    setGeometry(
        cardRect.translated(shadow.offset).adjusted(-margin, -margin, margin, margin).toAlignedRect());
    update();
}

void ShadowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    SurfaceStyle style;
    style.shadow = shadow_;
    SurfacePainter::paintRoundedRect(painter, cardRect_.translated(-QPointF(pos())), cornerRadius_, style);
}

} // namespace voltrane
