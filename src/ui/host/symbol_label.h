#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>
#include <string>

namespace voltrane {

class SymbolGlyphs;

/// A system symbol as a widget: its name and colour can be read back.
class SymbolLabel : public QWidget {
    Q_OBJECT

public:
    explicit SymbolLabel(QWidget* parent = nullptr);

    void setSymbol(const std::string& systemName);
    void setSymbolSize(qreal size);
    void setSymbolWeight(QFont::Weight weight);
    void setColor(const QColor& color);
    /// Draws with another glyph source than the shared one (tests of the fallback).
    void setGlyphs(const SymbolGlyphs* glyphs);

    const std::string& symbol() const { return symbol_; }
    QColor color() const { return color_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string symbol_;
    qreal size_ = 13;
    QFont::Weight weight_ = QFont::Normal;
    QColor color_ = Qt::white;
    const SymbolGlyphs* glyphs_ = nullptr;
};

} // namespace voltrane
