#include "ui/host/capsule_frame.h"

#include "ui/host/surface_painter.h"

#include <QPainter>

namespace voltrane {

CapsuleFrame::CapsuleFrame(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void CapsuleFrame::setFill(const QColor& fill) {
    if (fill != fill_) {
        fill_ = fill;
        update();
    }
}

void CapsuleFrame::paintEvent(QPaintEvent*) {
    if (fill_.alpha() == 0) {
        return;
    }
    QPainter painter(this);
    SurfaceStyle style;
    style.fill = fill_;
    SurfacePainter::paintCapsule(painter, QRectF(rect()), style);
}

} // namespace voltrane
