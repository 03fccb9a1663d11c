#include "ui/dashboard/voltrane_mark.h"

#include "ui/dashboard/voltrane_glyph.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/qt_color.h"
#include "ui/host/surface_painter.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace voltrane {

VoltraneMark::VoltraneMark(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("voltraneMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setFocusPolicy(Qt::NoFocus);
    hideFromAccessibility(this);
}

VoltraneMark::Geometry VoltraneMark::geometry(const QRectF& space) {
    const qreal s = std::min(space.width(), space.height());
    const QRectF square(space.center().x() - s / 2, space.center().y() - s / 2, s, s);
    const qreal inset = 0.2 * s;
    return {square,
            0.28 * s,
            square.adjusted(inset, inset, -inset, -inset),
            0.105 * s,
            std::max(0.012 * s, 0.5),
            0.22 * s,
            0.08 * s};
}

void VoltraneMark::setShadowMargin(qreal margin) {
    shadowMargin_ = std::max<qreal>(0, margin);
    update();
}

void VoltraneMark::paint(QPainter& painter, const QRectF& space) {
    const Geometry g = geometry(space);
    if (g.square.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);

    SurfaceStyle body;
    body.gradient = UnitGradient{
        QPointF(0, 0),
        QPointF(1, 1),
        {{0, QColor::fromRgbF(0.055f, 0.22f, 0.18f)}, {1, QColor::fromRgbF(0.025f, 0.095f, 0.105f)}}};
    body.shadow =
        SurfaceShadow{toQColor(VoltranePalette::accent, 0.16), g.shadowRadius, QPointF(0, g.shadowOffsetY)};
    SurfacePainter::paintRoundedRect(painter, g.square, g.cornerRadius, body);

    QLinearGradient stroke(g.glyphRect.left(), 0, g.glyphRect.right(), 0);
    stroke.setColorAt(0, QColor::fromRgbF(0.28f, 0.96f, 0.57f));
    stroke.setColorAt(1, QColor::fromRgbF(0.25f, 0.77f, 0.9f));
    QPen glyphPen(QBrush(stroke), g.glyphLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.strokePath(VoltraneGlyph::path(g.glyphRect), glyphPen);

    painter.strokePath(SurfacePainter::roundedRectPath(g.square, g.cornerRadius),
                       QPen(QColor::fromRgbF(1, 1, 1, 0.1f), g.hairlineWidth));
    painter.restore();
}

void VoltraneMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()).adjusted(shadowMargin_, shadowMargin_, -shadowMargin_, -shadowMargin_));
}

} // namespace voltrane
