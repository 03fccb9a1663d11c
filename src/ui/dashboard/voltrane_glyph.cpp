#include "ui/dashboard/voltrane_glyph.h"

namespace voltrane {

QPainterPath VoltraneGlyph::path(const QRectF& rect) {
    const qreal w = rect.width();
    const qreal h = rect.height();
    const qreal a = rect.left() + 0.08 * w;
    const qreal b = rect.left() + 0.42 * w;
    const qreal c = rect.right() - 0.06 * w;
    const qreal p = rect.left() + 0.61 * w;
    const qreal q = rect.left() + 0.68 * w;
    const qreal m = rect.center().y();
    const qreal t = rect.top() + 0.12 * h;
    const qreal u = rect.bottom() - 0.12 * h;

    QPainterPath path;
    path.moveTo(a, m);
    path.lineTo(b, m);
    path.moveTo(b, m);
    path.cubicTo(p, m, q, t, c, t);
    path.moveTo(b, m);
    path.lineTo(c, m);
    path.moveTo(b, m);
    path.cubicTo(p, m, q, u, c, u);
    return path;
}

} // namespace voltrane
