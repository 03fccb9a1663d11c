#pragma once

#include <QColor>
#include <QMetaObject>
#include <QWidget>
#include <optional>

namespace voltrane {

/// The card surface under the info button, the state pill, the tiles and the status card.
/// There is no glass effect here, so it is a translucent material, or an opaque fill when
/// the user asked to reduce transparency; children are laid out on top of it.
class AdaptiveGlassSurface : public QWidget {
    Q_OBJECT

public:
    struct Parameters {
        qreal cornerRadius = 16;
        std::optional<QColor> tint; ///< already carries its opacity; none for an untinted card
        bool interactive = false;   ///< only a glass surface reacts; kept for that platform
        qreal strokeOpacity = 0.07; ///< of the white hairline
    };

    /// One rendering, back to front: the tint wash, the card fill, the white hairline.
    struct Layers {
        QColor tintFill;
        QColor cardFill;
        QColor hairline;
        qreal hairlineWidth = 0.75;
    };

    /// Hairline and tint never go below these with reduce transparency on.
    static constexpr qreal kOpaqueMinimumStrokeOpacity = 0.1;
    static constexpr qreal kOpaqueTintOpacity = 0.16;
    static constexpr qreal kMaterialTintOpacity = 0.2;

    explicit AdaptiveGlassSurface(Parameters parameters, QWidget* parent = nullptr);
    ~AdaptiveGlassSurface() override;

    void setTint(std::optional<QColor> tint);

    /// Follows the shared accessibility setting unless set here (tests, renders).
    void setReduceTransparency(bool value);
    bool reduceTransparency() const { return reduceTransparency_; }

    /// The colours of each layer for the given setting.
    static Layers layers(const Parameters& parameters, bool reduceTransparency);

    /// Paints the surface into `rect` (radius clamped to half the shorter side, so 99 is a capsule).
    static void paint(QPainter& painter, const QRectF& rect, const Parameters& parameters,
                      bool reduceTransparency);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Parameters parameters_;
    bool reduceTransparency_ = false;
    bool followsEnvironment_ = true;
    QMetaObject::Connection environmentConnection_;
};

} // namespace voltrane
