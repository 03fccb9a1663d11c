#include "app/tray_icon_renderer.h"

#include "ui/host/host_fonts.h"
#include "ui/host/symbol_glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace voltrane {

namespace {

// Tray hosts draw on panels of any colour: light strokes with a dark rim read on both.
const QColor kInk(242, 247, 245);
const QColor kRim(0, 0, 0, 190);

} // namespace

const QImage& TrayIconRenderer::image(const std::string& symbol, const std::optional<std::string>& figure,
                                      bool* changed) {
    const bool redraw = image_.isNull() || symbol != symbol_ || figure != figure_;
    if (redraw) {
        symbol_ = symbol;
        figure_ = figure;
        image_ = draw(symbol, figure);
    }
    if (changed) {
        *changed = redraw;
    }
    return image_;
}

QImage TrayIconRenderer::draw(const std::string& symbol, const std::optional<std::string>& figure) {
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Without a figure the symbol alone says more at this size than the product name would.
    const bool hasFigure = figure.has_value();
    const QRectF symbolRect = hasFigure ? QRectF(0, 0, kSide, kSide * 0.52) : QRectF(0, 0, kSide, kSide);
    const qreal symbolSize = hasFigure ? kSide * 0.5 : kSide * 0.86;
    SymbolGlyphs::shared().paint(painter, symbolRect, symbol, symbolSize, QFont::DemiBold, kInk);

    if (hasFigure) {
        QFont font = HostFonts::system(kSide * 0.4, QFont::Bold, true);
        font.setStretch(QFont::SemiCondensed);
        const QString text = QString::fromStdString(*figure);
        const QRectF textRect(0, kSide * 0.5, kSide, kSide * 0.5);
        // Shrink long figures ("1234 W") until they fit the width.
        for (qreal size = kSide * 0.4; size > 8; size -= 1) {
            font.setPixelSize(static_cast<int>(size));
            if (QFontMetricsF(font).horizontalAdvance(text) <= kSide - 2) {
                break;
            }
        }
        QPainterPath path;
        const QFontMetricsF metrics(font);
        const qreal x = (kSide - metrics.horizontalAdvance(text)) / 2;
        const qreal y = textRect.center().y() + (metrics.ascent() - metrics.descent()) / 2;
        path.addText(QPointF(x, y), font, text);
        painter.setPen(QPen(kRim, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        painter.fillPath(path, kInk);
    }
    return image;
}

} // namespace voltrane
