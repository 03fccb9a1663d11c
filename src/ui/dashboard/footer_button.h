#pragma once

#include <QPushButton>
#include <string>

class QVariantAnimation;

namespace voltrane {

/// A footer button: symbol and text on a small capsule whose fill fades from 0.72 to 0.5 and
/// which shrinks to 97 % while pressed, easing out over 0.12 s.
class FooterButton : public QPushButton {
    Q_OBJECT

public:
    static constexpr qreal kFillOpacity = 0.72;
    static constexpr qreal kPressedFillOpacity = 0.5;
    static constexpr qreal kPressedScale = 0.97;
    static constexpr int kAnimationMilliseconds = 120;

    FooterButton(const QString& text, std::string symbol, QWidget* parent = nullptr);
    ~FooterButton() override;

    const std::string& symbol() const { return symbol_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void animateTo(qreal target);
    /// The fill opacity and scale the button paints with now.
    qreal fillOpacity() const;
    qreal scale() const;

    std::string symbol_;
    qreal progress_ = 0;
    QVariantAnimation* animation_;
};

} // namespace voltrane
