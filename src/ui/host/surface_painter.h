#pragma once

#include <QColor>
#include <QGradientStops>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <optional>

class QPainter;
class QPainterPath;

namespace voltrane {

/// A linear gradient between unit points of the shape's bounds ((0,0) top leading,
/// (1,1) bottom trailing).
struct UnitGradient {
    QPointF start;
    QPointF end;
    QGradientStops stops;
};

struct SurfaceShadow {
    QColor color;
    qreal radius = 0; ///< blur radius in pixels
    QPointF offset;
};

/// How a rounded rectangle or capsule is filled, stroked and lit.
struct SurfaceStyle {
    QColor fill = Qt::transparent;
    std::optional<UnitGradient> gradient; ///< replaces `fill` when present
    QColor stroke = Qt::transparent;
    qreal strokeWidth = 0;
    std::optional<SurfaceShadow> shadow;
};

/// Paints card shapes. Shadows are blurred once per size, corner radius and colour and kept
/// in a pixmap cache, so repainting a card never blurs again.
class SurfacePainter {
public:
    SurfacePainter() = delete;

    static void paintRoundedRect(QPainter& painter, const QRectF& rect, qreal cornerRadius,
                                 const SurfaceStyle& style);
    static void paintCapsule(QPainter& painter, const QRectF& rect, const SurfaceStyle& style);

    static QPainterPath roundedRectPath(const QRectF& rect, qreal cornerRadius);

    /// Extra room a shadow needs around its shape.
    static qreal shadowMargin(const SurfaceShadow& shadow);

    /// The blurred shadow of a rounded rectangle of `size`, from the shared cache; it is drawn
    /// at the shape's top left plus the offset, less the whole margin.
    static QPixmap shadowPixmap(const QSizeF& size, qreal cornerRadius, const SurfaceShadow& shadow);
};

} // namespace voltrane
