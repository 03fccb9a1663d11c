#include "ui/host/surface_painter.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <algorithm>
#include <cmath>
#include <vector>

namespace voltrane {

namespace {

// One horizontal then one vertical box pass over the alpha channel, three times: close
// enough to a Gaussian of the same radius for a soft glow.
void boxBlurAlpha(QImage& image, int radius) {
    if (radius <= 0) {
        return;
    }
    const int width = image.width();
    const int height = image.height();
    std::vector<int> line(static_cast<std::size_t>(std::max(width, height)));
    const int window = 2 * radius + 1;
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? height : width;
        const int inner = horizontal ? width : height;
        for (int o = 0; o < outer; ++o) {
            auto at = [&](int i) -> uchar& {
                const int x = horizontal ? i : o;
                const int y = horizontal ? o : i;
                return image.scanLine(y)[x];
            };
            for (int i = 0; i < inner; ++i) {
                line[static_cast<std::size_t>(i)] = at(i);
            }
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) {
                sum += (i >= 0 && i < inner) ? line[static_cast<std::size_t>(i)] : 0;
            }
            for (int i = 0; i < inner; ++i) {
                at(i) = static_cast<uchar>(sum / window);
                const int add = i + radius + 1;
                const int drop = i - radius;
                sum += (add < inner) ? line[static_cast<std::size_t>(add)] : 0;
                sum -= (drop >= 0) ? line[static_cast<std::size_t>(drop)] : 0;
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}

QPixmap cachedShadow(const QSizeF& size, qreal cornerRadius, const SurfaceShadow& shadow) {
    const int margin = static_cast<int>(std::ceil(SurfacePainter::shadowMargin(shadow)));
    const QSize pixels(static_cast<int>(std::ceil(size.width())) + 2 * margin,
                       static_cast<int>(std::ceil(size.height())) + 2 * margin);
    const QString key = QStringLiteral("voltrane-shadow:%1x%2:%3:%4:%5")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(cornerRadius)
                            .arg(shadow.radius)
                            .arg(shadow.color.rgba(), 8, 16);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) {
        return pixmap;
    }
    QImage alpha(pixels, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter painter(&alpha);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 255));
        painter.drawPath(
            SurfacePainter::roundedRectPath(QRectF(QPointF(margin, margin), size), cornerRadius));
    }
    // A box blur of radius r/3 three times spreads about as far as a Gaussian of sigma r/2.
    boxBlurAlpha(alpha, static_cast<int>(std::lround(shadow.radius / 3.0)));
    QImage tinted(pixels, QImage::Format_ARGB32_Premultiplied);
    tinted.fill(shadow.color);
    {
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, alpha);
    }
    pixmap = QPixmap::fromImage(std::move(tinted));
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

void paintShape(QPainter& painter, const QRectF& rect, qreal cornerRadius, const SurfaceStyle& style) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (style.shadow && style.shadow->color.alpha() > 0) {
        const qreal margin = std::ceil(SurfacePainter::shadowMargin(*style.shadow));
        painter.drawPixmap(rect.topLeft() + style.shadow->offset - QPointF(margin, margin),
                           cachedShadow(rect.size(), cornerRadius, *style.shadow));
    }
    const QPainterPath path = SurfacePainter::roundedRectPath(rect, cornerRadius);
    if (style.gradient) {
        QLinearGradient gradient(rect.left() + style.gradient->start.x() * rect.width(),
                                 rect.top() + style.gradient->start.y() * rect.height(),
                                 rect.left() + style.gradient->end.x() * rect.width(),
                                 rect.top() + style.gradient->end.y() * rect.height());
        gradient.setStops(style.gradient->stops);
        painter.fillPath(path, gradient);
    } else if (style.fill.alpha() > 0) {
        painter.fillPath(path, style.fill);
    }
    if (style.strokeWidth > 0 && style.stroke.alpha() > 0) {
        // The stroke is centred on the outline, as a shape's stroke border is.
        QPen pen(style.stroke, style.strokeWidth);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(path, pen);
    }
    painter.restore();
}

} // namespace

QPainterPath SurfacePainter::roundedRectPath(const QRectF& rect, qreal cornerRadius) {
    QPainterPath path;
    const qreal radius = std::clamp(cornerRadius, 0.0, std::min(rect.width(), rect.height()) / 2);
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void SurfacePainter::paintRoundedRect(QPainter& painter, const QRectF& rect, qreal cornerRadius,
                                      const SurfaceStyle& style) {
    paintShape(painter, rect, cornerRadius, style);
}

void SurfacePainter::paintCapsule(QPainter& painter, const QRectF& rect, const SurfaceStyle& style) {
    paintShape(painter, rect, std::min(rect.width(), rect.height()) / 2, style);
}

QPixmap SurfacePainter::shadowPixmap(const QSizeF& size, qreal cornerRadius, const SurfaceShadow& shadow) {
    return cachedShadow(size, cornerRadius, shadow);
}

qreal SurfacePainter::shadowMargin(const SurfaceShadow& shadow) {
    return shadow.radius * 1.5 + 1;
}

} // namespace voltrane
