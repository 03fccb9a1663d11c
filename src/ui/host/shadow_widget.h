#pragma once

#include "ui/host/surface_painter.h"

#include <QWidget>

namespace voltrane {

/// Paints the glow of a card that sits above it in the same parent. A widget cannot paint
/// outside itself, so the glow lives in its own widget, placed just under the card in the
/// stacking order and sized to the card plus the glow's reach. Mouse events pass through.
class ShadowWidget : public QWidget {
    Q_OBJECT

public:
    explicit ShadowWidget(QWidget* parent = nullptr);

    /// `cardRect` in the parent's coordinates.
    void setCard(const QRectF& cardRect, qreal cornerRadius, const SurfaceShadow& shadow);

    QRectF cardRect() const { return cardRect_; }
    const SurfaceShadow& shadow() const { return shadow_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF cardRect_;
    qreal cornerRadius_ = 0;
    SurfaceShadow shadow_;
};

} // namespace voltrane
