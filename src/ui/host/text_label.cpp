#include "ui/host/text_label.h"

#include "ui/host/host_fonts.h"
#include "ui/host/qt_color.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace voltrane {

TextLabel::TextLabel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TextLabel::setText(const QString& text) {
    if (text != text_) {
        text_ = text;
        // Assistive technologies read the text itself, unless the label is part of a card
        // that speaks as one element and hides it.
        setAccessibleName(text_);
        updateGeometry();
        update();
    }
}

void TextLabel::setColor(const QColor& color) {
    if (color != color_) {
        color_ = color;
        update();
    }
}

void TextLabel::setMinimumScaleFactor(qreal factor) {
    minimumScale_ = factor;
    updateGeometry();
    update();
}

void TextLabel::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

QFont TextLabel::fittedFont() const {
    QFont fitted = font();
    if (minimumScale_ >= 1.0 || text_.isEmpty()) {
        return fitted;
    }
    const qreal natural = QFontMetricsF(fitted).horizontalAdvance(text_);
    if (natural <= width() || natural <= 0) {
        return fitted;
    }
    const qreal scale = std::max(minimumScale_, width() / natural);
    fitted.setPointSizeF(QFontInfo(font()).pointSizeF() * scale);
    return fitted;
}

QSize TextLabel::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text_))),
            static_cast<int>(std::ceil(metrics.height()))};
}

QSize TextLabel::minimumSizeHint() const {
    const QSize natural = sizeHint();
    // A shrinking text asks only for its smallest width; a fixed one may be cut to an ellipsis.
    const int width = minimumScale_ < 1.0 ? static_cast<int>(std::ceil(natural.width() * minimumScale_))
                                          : QFontMetricsF(font()).horizontalAdvance(QStringLiteral("…")) + 1;
    return {width, natural.height()};
}

void TextLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QFont fitted = fittedFont();
    painter.setFont(fitted);
    painter.setPen(color_);
    const QFontMetricsF metrics(fitted);
    const QString shown = metrics.elidedText(text_, Qt::ElideRight, width());
    painter.drawText(QRectF(rect()), static_cast<int>(alignment_) | Qt::TextSingleLine, shown);
}

void TextLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

TextLabel* makeText(const QString& text, const QFont& font, const Color& colour, QWidget* parent,
                    const char* name) {
    auto* label = new TextLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setText(text);
    label->setFont(font);
    label->setColor(toQColor(colour));
    return label;
}

} // namespace voltrane
