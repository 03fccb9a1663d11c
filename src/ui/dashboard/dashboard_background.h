#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QSize>

class QPainter;
class QRegion;

namespace voltrane {

/// The panel's ground: a dark diagonal gradient, a green glow behind the upper left, a blue
/// glow behind the lower right, a faint top sheen and bottom shade. The glows scale with the
/// panel; they are blurred once per size and kept, never per paint. The panel paints it as its
/// own ground (so a child that paints all its pixels, like the flow canvas, spares it): the
/// canvas colour under the layers, kept whole per size, so a repaint of any part is a copy.
class DashboardBackground {
public:
    /// Where a glow sits for a panel of a given size, and how soft it is.
    struct Glow {
        QRectF circle;    ///< the unblurred disc
        qreal blurRadius; ///< Gaussian standard deviation in pixels
        QColor color;
    };

    static Glow greenGlow(const QSizeF& panel);
    static Glow blueGlow(const QSizeF& panel);

    /// Paints the four layers over `rect`, reusing the blurred glows of the last size.
    void paintBackground(QPainter& painter, const QRectF& rect);

    /// Paints `region` of a panel of `size` at `scale` device pixels per pixel: the canvas
    /// colour and the four layers, from the picture kept for that size.
    void paint(QPainter& painter, const QRegion& region, const QSize& size, qreal scale);

private:
    const QImage& glows(const QSize& size);

    QImage glows_;
    QSize glowsSize_;
    QPixmap picture_; ///< canvas colour and the four layers, at the widget's size and scale
};

} // namespace voltrane
