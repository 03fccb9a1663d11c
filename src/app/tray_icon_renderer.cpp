#include "app/tray_icon_renderer.h"

#include "ui/host/host_fonts.h"
#include "ui/host/symbol_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace voltrane {

namespace {

/// The smallest pixel size a figure shrinks to; below it the digits no longer read.
constexpr int kSmallestFigure = 6;

// Tray hosts draw on panels of any colour: light strokes with a dark rim read on both.
const QColor kInk(242, 247, 245);
const QColor kRim(0, 0, 0, 200);
// Below this side the unit gives its room to the digits.
constexpr int kCompactSide = 40;

/// A small icon gives most of its height to the digits.
qreal symbolShare(int side) {
    return side < kCompactSide ? 0.42 : 0.5;
}

qreal rimWidth(int side) {
    return std::max(1.0, side / 24.0);
}

/// The figure as the icon writes it: "12 W", or "12" in a small icon.
QString figureText(const std::string& figure, int side) {
    QString text = QString::fromStdString(figure);
    if (side < kCompactSide && text.endsWith(QStringLiteral(" W"))) {
        text.chop(2);
    }
    return text;
}

void paintSymbol(QPainter& painter, const QRectF& rect, const std::string& symbol, qreal size, qreal rim) {
    // The glyph face has no outline of its own: the rim is the glyph drawn dark around it.
    const SymbolGlyphs& glyphs = SymbolGlyphs::shared();
    for (int step = 0; step < 8; ++step) {
        const qreal angle = step * std::numbers::pi / 4;
        glyphs.paint(painter, rect.translated(rim * std::cos(angle), rim * std::sin(angle)), symbol, size,
                     QFont::DemiBold, kRim);
    }
    glyphs.paint(painter, rect, symbol, size, QFont::DemiBold, kInk);
}

} // namespace

bool TrayIconRenderer::update(const std::string& symbol, const std::optional<std::string>& figure) {
    if (!image_.isNull() && symbol == symbol_ && figure == figure_) {
        return false;
    }
    if (image_.isNull() || symbol != symbol_ || figure.has_value() != figure_.has_value()) {
        for (std::size_t i = 0; i < kSides.size(); ++i) {
            symbolLayers_[i] = drawSymbol(symbol, figure.has_value(), kSides[i]);
        }
    }
    symbol_ = symbol;
    figure_ = figure;
    icon_ = QIcon();
    for (std::size_t i = 0; i < kSides.size(); ++i) {
        QImage drawn = symbolLayers_[i].copy();
        if (figure) {
            drawFigure(drawn, *figure);
        }
        icon_.addPixmap(QPixmap::fromImage(drawn));
        if (kSides[i] == kSide) {
            image_ = std::move(drawn);
        }
    }
    return true;
}

const QImage& TrayIconRenderer::image(const std::string& symbol, const std::optional<std::string>& figure,
                                      bool* changed) {
    const bool redrawn = update(symbol, figure);
    if (changed) {
        *changed = redrawn;
    }
    return image_;
}

const QIcon& TrayIconRenderer::icon(const std::string& symbol, const std::optional<std::string>& figure,
                                    bool* changed) {
    const bool redrawn = update(symbol, figure);
    if (changed) {
        *changed = redrawn;
    }
    return icon_;
}

QImage TrayIconRenderer::draw(const std::string& symbol, const std::optional<std::string>& figure, int side) {
    QImage image = drawSymbol(symbol, figure.has_value(), side);
    if (figure) {
        drawFigure(image, *figure);
    }
    return image;
}

QImage TrayIconRenderer::drawSymbol(const std::string& symbol, bool withFigure, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Without a figure the symbol alone says more at this size than the product name would.
    if (!withFigure) {
        paintSymbol(painter, QRectF(0, 0, side, side), symbol, side * 0.8, rimWidth(side));
    } else {
        const qreal share = symbolShare(side);
        paintSymbol(painter, QRectF(0, 0, side, side * share), symbol, side * share, rimWidth(side));
    }
    return image;
}

void TrayIconRenderer::drawFigure(QImage& image, const std::string& figure) {
    const int side = image.width();
    const qreal rim = rimWidth(side);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QString text = figureText(figure, side);
    const QRectF textRect(0, side * symbolShare(side), side, side * (1 - symbolShare(side)));
    QFont font = HostFonts::system(textRect.height(), QFont::Black, true);
    font.setFamilies({HostFonts::latinFamily()});
    font.setStretch(QFont::SemiCondensed);
    // The cap height fills the band; long figures ("1234 W") shrink until they fit the width: the
    // largest whole pixel size from 1.3 times the band down to 6 that fits. Each size tried is a
    // font engine kept in Qt's cache, so the search starts where the largest size's metrics say
    // the answer lies instead of stepping down from the top.
    const qreal usable = side - 2 * rim;
    const int largest = static_cast<int>(textRect.height() * 1.3);
    const auto fits = [&](int size) {
        font.setPixelSize(size);
        const QFontMetricsF metrics(font);
        return metrics.capHeight() <= textRect.height() - 2 * rim &&
               metrics.horizontalAdvance(text) <= usable;
    };
    if (largest >= kSmallestFigure && !fits(largest)) {
        const QFontMetricsF metrics(font);
        const qreal scale = std::min((textRect.height() - 2 * rim) / metrics.capHeight(),
                                     usable / metrics.horizontalAdvance(text));
        int size = std::clamp(static_cast<int>(largest * scale), kSmallestFigure, largest - 1);
        if (fits(size)) {
            while (size + 1 < largest && fits(size + 1)) {
                ++size;
            }
        } else {
            do {
                --size;
            } while (size > kSmallestFigure && !fits(size));
            size = std::max(size, kSmallestFigure);
        }
        font.setPixelSize(size);
    }
    const QFontMetricsF metrics(font);
    QPainterPath path;
    path.addText(QPointF((side - metrics.horizontalAdvance(text)) / 2,
                         textRect.center().y() + metrics.capHeight() / 2),
                 font, text);
    painter.setPen(QPen(kRim, 2 * rim, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.fillPath(path, kInk);
}

} // namespace voltrane
