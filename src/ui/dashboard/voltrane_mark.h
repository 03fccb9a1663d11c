#pragma once

#include <QWidget>

namespace voltrane {

/// The brand mark: a dark green rounded square with the glyph stroked in a green-to-blue
/// gradient and a faint white hairline, casting a soft green shadow. Square, aspect-fit in
/// the space it is given; decorative, so hidden from assistive technologies.
class VoltraneMark : public QWidget {
    Q_OBJECT

public:
    /// The measures of a mark of side s.
    struct Geometry {
        QRectF square;
        qreal cornerRadius;   ///< 0.28·s
        QRectF glyphRect;     ///< the square inset by 0.2·s
        qreal glyphLineWidth; ///< 0.105·s
        qreal hairlineWidth;  ///< max(0.012·s, 0.5)
        qreal shadowRadius;   ///< 0.22·s
        qreal shadowOffsetY;  ///< 0.08·s
    };

    explicit VoltraneMark(QWidget* parent = nullptr);

    /// The largest centred square in `space` and the measures that follow from it.
    static Geometry geometry(const QRectF& space);

    /// Room kept free around the mark for its shadow; the mark fits in the rest.
    void setShadowMargin(qreal margin);
    qreal shadowMargin() const { return shadowMargin_; }

    static void paint(QPainter& painter, const QRectF& space);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal shadowMargin_ = 0;
};

} // namespace voltrane
