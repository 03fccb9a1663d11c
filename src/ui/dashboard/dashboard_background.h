#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QWidget>

namespace voltrane {

/// The panel's ground: a dark diagonal gradient, a green glow behind the upper left, a blue
/// glow behind the lower right, a faint top sheen and bottom shade. The glows scale with the
/// panel; they are blurred once per size and kept, never per paint. The widget is opaque: it
/// paints the panel's canvas colour under the layers and keeps the whole picture, so a repaint
/// of any part is a copy.
class DashboardBackground : public QWidget {
    Q_OBJECT

public:
    /// Where a glow sits for a panel of a given size, and how soft it is.
    struct Glow {
        QRectF circle;    ///< the unblurred disc
        qreal blurRadius; ///< Gaussian standard deviation in pixels
        QColor color;
    };

    explicit DashboardBackground(QWidget* parent = nullptr);

    static Glow greenGlow(const QSizeF& panel);
    static Glow blueGlow(const QSizeF& panel);

    /// Paints the four layers over `rect`, reusing the blurred glows of the last size.
    void paintBackground(QPainter& painter, const QRectF& rect);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage& glows(const QSize& size);

    QImage glows_;
    QSize glowsSize_;
    QPixmap picture_; ///< canvas colour and the four layers, at the widget's size and scale
};

} // namespace voltrane
