#include "ui/host/symbol_label.h"

#include "ui/host/symbol_glyphs.h"

#include <QPainter>
#include <cmath>

namespace voltrane {

SymbolLabel::SymbolLabel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolLabel::setSymbol(const std::string& systemName) {
    if (systemName != symbol_) {
        symbol_ = systemName;
        update();
    }
}

void SymbolLabel::setSymbolSize(qreal size) {
    if (size != size_) {
        size_ = size;
        updateGeometry();
        update();
    }
}

void SymbolLabel::setSymbolWeight(QFont::Weight weight) {
    weight_ = weight;
    update();
}

void SymbolLabel::setColor(const QColor& color) {
    if (color != color_) {
        color_ = color;
        update();
    }
}

void SymbolLabel::setGlyphs(const SymbolGlyphs* glyphs) {
    glyphs_ = glyphs;
    update();
}

QSize SymbolLabel::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_ * 1.1));
    return {side, side};
}

void SymbolLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const SymbolGlyphs& glyphs = glyphs_ != nullptr ? *glyphs_ : SymbolGlyphs::shared();
    glyphs.paint(painter, QRectF(rect()), symbol_, size_, weight_, color_);
}

} // namespace voltrane
