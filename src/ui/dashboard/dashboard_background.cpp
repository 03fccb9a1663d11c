#include "ui/dashboard/dashboard_background.h"

#include "ui/host/qt_color.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <vector>

namespace voltrane {

namespace {

// The glows are soft enough to blur at a quarter of the panel's resolution and scale up.
constexpr int kDownscale = 4;

// Three box passes per axis approximate a Gaussian of standard deviation `sigma`.
void boxBlur(QImage& image, qreal sigma) {
    // Three passes of width 2r + 1 have variance ((2r + 1)² − 1) / 4.
    const int radius = std::max(1, static_cast<int>(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    const int width = image.width();
    const int height = image.height();
    std::vector<int> line(static_cast<std::size_t>(std::max(width, height)) * 4);
    const int window = 2 * radius + 1;
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? height : width;
        const int inner = horizontal ? width : height;
        for (int o = 0; o < outer; ++o) {
            auto pixel = [&](int i) -> uchar* {
                const int x = horizontal ? i : o;
                const int y = horizontal ? o : i;
                return image.scanLine(y) + static_cast<std::ptrdiff_t>(x) * 4;
            };
            for (int i = 0; i < inner; ++i) {
                for (int c = 0; c < 4; ++c) {
                    line[static_cast<std::size_t>(i * 4 + c)] = pixel(i)[c];
                }
            }
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int i = 0; i <= radius && i < inner; ++i) {
                    sum += line[static_cast<std::size_t>(i * 4 + c)];
                }
                for (int i = 0; i < inner; ++i) {
                    pixel(i)[c] = static_cast<uchar>(sum / window);
                    const int add = i + radius + 1;
                    const int drop = i - radius;
                    if (add < inner) {
                        sum += line[static_cast<std::size_t>(add * 4 + c)];
                    }
                    if (drop >= 0) {
                        sum -= line[static_cast<std::size_t>(drop * 4 + c)];
                    }
                }
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
}

DashboardBackground::Glow glow(const QSizeF& panel, qreal widthFactor, qreal dx, qreal dy, qreal blur,
                               const QColor& color) {
    // The circle's frame is widthFactor·w wide and as high as the panel; the circle is the
    // largest one that fits it, centred, then the frame is moved by (dx·w, dy·h).
    const qreal diameter = std::min(widthFactor * panel.width(), panel.height());
    const QPointF centre(panel.width() / 2 + dx * panel.width(), panel.height() / 2 + dy * panel.height());
    return {QRectF(centre.x() - diameter / 2, centre.y() - diameter / 2, diameter, diameter), blur, color};
}

} // namespace

DashboardBackground::Glow DashboardBackground::greenGlow(const QSizeF& panel) {
    return glow(panel, 0.64, -0.35, -0.36, 86, toQColor(VoltranePalette::accent, 0.18));
}

DashboardBackground::Glow DashboardBackground::blueGlow(const QSizeF& panel) {
    return glow(panel, 0.72, 0.42, 0.34, 100, toQColor(VoltranePalette::glassBlue, 0.11));
}

const QImage& DashboardBackground::glows(const QSize& size) {
    if (size == glowsSize_ && !glows_.isNull()) {
        return glows_;
    }
    glowsSize_ = size;
    const QSize small((size.width() + kDownscale - 1) / kDownscale,
                      (size.height() + kDownscale - 1) / kDownscale);
    glows_ = QImage(small.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    glows_.fill(Qt::transparent);
    QPainter target(&glows_);
    for (const Glow& g : {greenGlow(QSizeF(size)), blueGlow(QSizeF(size))}) {
        // Each glow is blurred on its own canvas with room for three deviations around the
        // panel, so the parts of a disc that lie outside the panel still spread into it.
        const qreal sigma = g.blurRadius / kDownscale;
        const int margin = static_cast<int>(std::ceil(3 * sigma));
        QImage layer(small + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        {
            QPainter painter(&layer);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.translate(margin, margin);
            painter.scale(1.0 / kDownscale, 1.0 / kDownscale);
            painter.setPen(Qt::NoPen);
            painter.setBrush(g.color);
            painter.drawEllipse(g.circle);
        }
        boxBlur(layer, sigma);
        target.drawImage(QPoint(-margin, -margin), layer);
    }
    return glows_;
}

void DashboardBackground::paintBackground(QPainter& painter, const QRectF& rect) {
    painter.save();
    QLinearGradient diagonal(rect.topLeft(), rect.bottomRight());
    diagonal.setColorAt(0, toQColor(VoltranePalette::canvasTop, 0.92));
    diagonal.setColorAt(0.5, toQColor(VoltranePalette::canvas));
    diagonal.setColorAt(1, QColor::fromRgbF(0.055f, 0.075f, 0.085f));
    painter.fillRect(rect, diagonal);

    const QImage& image = glows(rect.size().toSize());
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(rect, image);

    QLinearGradient sheen(rect.topLeft(), rect.bottomLeft());
    sheen.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.035f));
    sheen.setColorAt(0.5, QColor(Qt::transparent));
    sheen.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0.16f));
    painter.fillRect(rect, sheen);
    painter.restore();
}

void DashboardBackground::paint(QPainter& painter, const QRegion& region, const QSize& size, qreal scale) {
    if (picture_.isNull() || picture_.size() != size * scale || picture_.devicePixelRatio() != scale) {
        // Drawn whole, as one full repaint would draw it: a part of a scaled image samples a
        // little differently.
        picture_ = QPixmap(size * scale);
        picture_.setDevicePixelRatio(scale);
        picture_.fill(Qt::transparent);
        QPainter target(&picture_);
        const QRectF whole(QPointF(0, 0), QSizeF(size));
        target.fillRect(whole, toQColor(VoltranePalette::canvas));
        paintBackground(target, whole);
    }
    for (const QRect& r : region) {
        painter.drawPixmap(QRectF(r), picture_,
                           QRectF(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale));
    }
}

} // namespace voltrane
