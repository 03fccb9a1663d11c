#include "ui/dashboard/adaptive_glass_surface.h"

#include "ui/host/accessibility_environment.h"
#include "ui/host/qt_color.h"
#include "ui/host/surface_painter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace voltrane {

namespace {

// The dark control background behind opaque controls (the panel is always dark).
const QColor kControlBackground = QColor::fromRgbF(0.118f, 0.133f, 0.129f);

// Stands in for the ultra-thin material: a faint lift of the raised tone, light enough that
// the background glows show through.
QColor materialFill() {
    return toQColor(VoltranePalette::surface, 0.34);
}

QColor withAlphaScaled(const QColor& color, qreal factor) {
    QColor result = color;
    result.setAlphaF(static_cast<float>(color.alphaF() * factor));
    return result;
}

} // namespace

AdaptiveGlassSurface::AdaptiveGlassSurface(Parameters parameters, QWidget* parent)
    : QWidget(parent), parameters_(std::move(parameters)) {
    setAttribute(Qt::WA_TranslucentBackground, false);
    AccessibilityEnvironment& environment = AccessibilityEnvironment::shared();
    reduceTransparency_ = environment.reduceTransparency();
    environmentConnection_ =
        connect(&environment, &AccessibilityEnvironment::changed, this, [this, &environment] {
            if (followsEnvironment_ && reduceTransparency_ != environment.reduceTransparency()) {
                reduceTransparency_ = environment.reduceTransparency();
                update();
            }
        });
}

AdaptiveGlassSurface::~AdaptiveGlassSurface() = default;

void AdaptiveGlassSurface::setTint(std::optional<QColor> tint) {
    if (parameters_.tint != tint) {
        parameters_.tint = tint;
        update();
    }
}

void AdaptiveGlassSurface::setReduceTransparency(bool value) {
    followsEnvironment_ = false;
    if (reduceTransparency_ != value) {
        reduceTransparency_ = value;
        update();
    }
}

AdaptiveGlassSurface::Layers AdaptiveGlassSurface::layers(const Parameters& parameters,
                                                          bool reduceTransparency) {
    Layers result;
    const qreal tintOpacity = reduceTransparency ? kOpaqueTintOpacity : kMaterialTintOpacity;
    // The caller's tint already carries its own opacity; the surface washes it in once more.
    result.tintFill =
        parameters.tint ? withAlphaScaled(*parameters.tint, tintOpacity) : QColor(Qt::transparent);
    result.cardFill = reduceTransparency ? kControlBackground : materialFill();
    const qreal stroke = reduceTransparency ? std::max(parameters.strokeOpacity, kOpaqueMinimumStrokeOpacity)
                                            : parameters.strokeOpacity;
    result.hairline = QColor::fromRgbF(1, 1, 1, static_cast<float>(stroke));
    return result;
}

void AdaptiveGlassSurface::paint(QPainter& painter, const QRectF& rect, const Parameters& parameters,
                                 bool reduceTransparency) {
    const Layers colours = layers(parameters, reduceTransparency);
    const qreal radius = std::min(parameters.cornerRadius, std::min(rect.width(), rect.height()) / 2);
    // The hairline is centred on the edge; keep it inside the widget.
    const QRectF shape = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath path = SurfacePainter::roundedRectPath(shape, radius);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.fillPath(path, colours.tintFill);
    painter.fillPath(path, colours.cardFill);
    painter.strokePath(path, QPen(colours.hairline, colours.hairlineWidth));
    painter.restore();
}

void AdaptiveGlassSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), parameters_, reduceTransparency_);
}

} // namespace voltrane
