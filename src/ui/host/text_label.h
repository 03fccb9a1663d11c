#pragma once

#include "common/voltrane_palette.h"

#include <QColor>
#include <QString>
#include <QWidget>

namespace voltrane {

/// A one-line text in a given font and colour that may shrink down to a minimum scale of
/// its font before it is cut with an ellipsis. Colour and text can be read back.
class TextLabel : public QWidget {
    Q_OBJECT

public:
    explicit TextLabel(QWidget* parent = nullptr);

    void setText(const QString& text);
    void setColor(const QColor& color);
    /// 1 never shrinks; 0.75 lets the font go down to three quarters of its size.
    void setMinimumScaleFactor(qreal factor);
    void setAlignment(Qt::Alignment alignment);

    const QString& text() const { return text_; }
    QColor color() const { return color_; }

    /// The font used for drawing at the present width (the set font, or a shrunk copy).
    QFont fittedFont() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString text_;
    QColor color_ = Qt::white;
    qreal minimumScale_ = 1.0;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
};

/// A label named `name` (for tests and assistive tools) showing `text` in `font` and `colour`.
TextLabel* makeText(const QString& text, const QFont& font, const Color& colour, QWidget* parent,
                    const char* name);

} // namespace voltrane
