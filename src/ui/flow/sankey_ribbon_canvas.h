#pragma once

#include "common/date.h"
#include "flow/cubic_route.h"
#include "flow/sankey_destination.h"
#include "flow/sankey_metrics.h"
#include "ui/host/surface_painter.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace voltrane {

class AccessibilityEnvironment;
class WindowActivity;

/// The ribbons of the flow diagram, one per row, with a light particle travelling along each
/// thick one. Animates at up to 24 frames a second, and only while motion is allowed, the
/// window is active and something flows; otherwise no timer runs. Hidden from accessibility.
///
/// The canvas paints every pixel of its rectangle itself, so a frame never makes the widgets
/// beneath it repaint: it keeps what they show there in one pixmap (re-read when its place,
/// size or scale changes) and, over that, the ribbons in another (redrawn when the content
/// changes). A frame copies the second and draws the particles on it.
class SankeyRibbonCanvas : public QWidget {
    Q_OBJECT

public:
    using Clock = std::function<Date()>;

    /// One ribbon's drawing, built when the content changes so a frame only fills.
    struct Ribbon {
        int index = 0; ///< the destination's position
        double bandWidth = 0;
        CubicRoute route;  ///< the centre line
        QPainterPath halo; ///< outline of the halo stroke
        QPainterPath body; ///< outline of the body stroke
        QLinearGradient gradient;
        QRectF bounds; ///< of the halo, to skip ribbons outside a partial repaint
    };

    static constexpr std::chrono::milliseconds frameInterval{42}; ///< just under 24 per second
    static constexpr double particlePeriodSeconds = 2.8;
    static constexpr double particleOffset = 0.13;

    /// `environment` null uses the shared desktop settings.
    explicit SankeyRibbonCanvas(AccessibilityEnvironment* environment = nullptr, QWidget* parent = nullptr,
                                Clock clock = {});
    ~SankeyRibbonCanvas() override;

    void setContent(const std::vector<SankeyDestination>& destinations, std::optional<double> sourceWatts,
                    PaletteColor sourceTint, const SankeyMetrics& metrics);

    /// The source card's glow, painted over the ribbons and particles (the card itself is a
    /// widget above the canvas). Its frame is the card's, grown by the shadow's reach.
    void setGlow(const QRectF& card, qreal cornerRadius, const SurfaceShadow& shadow);
    /// Where the glow paints; empty without one.
    QRect glowFrame() const { return glow_ ? glow_->frame : QRect(); }

    /// Paints every ribbon (halo, body, particle) in order for the particle phase in [0, 1).
    void draw(double phase, QPainter& painter) const;

    /// The particle phase at `date`: wall-clock seconds since 2001-01-01 00:00:00 UTC,
    /// modulo 2.8, over 2.8.
    static double phase(Date date);

    /// The diameter of a particle on a band of width `bandWidth`.
    static double particleDiameter(double bandWidth);

    /// Where the particles are at `phase`, as pixel rectangles to repaint (empty when reduce
    /// motion is on). A tick repaints only these, for the old and the new phase.
    QRegion particleRegion(double phase) const;

    /// The phase the canvas shows now.
    double shownPhase() const { return phase_; }

    bool reduceMotion() const;
    bool appearsActive() const;
    bool isAnimating() const { return timer_.isActive(); }

    const std::vector<Ribbon>& ribbons() const { return ribbons_; }
    const std::vector<SankeyDestination>& destinations() const { return destinations_; }
    std::optional<double> sourceWatts() const { return sourceWatts_; }

    /// Timer ticks and painted frames since construction (for the tests of the clock).
    int tickCount() const { return ticks_; }
    int paintCount() const { return paints_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    /// Paints what the ancestors and the siblings below show in this rectangle, as Qt would
    /// paint them were the canvas not there.
    void renderBeneath(QPainter& painter) const;
    /// Brings the two pixmaps up to date; the beneath layer only when its key changed.
    void ensureBackdrop();
    /// Every ribbon in order, each with its particle at `particlePhase` when there is one;
    /// given `within`, only the ribbons that reach into that square.
    void paintRibbons(QPainter& painter, std::optional<double> particlePhase,
                      const QRectF* within = nullptr) const;
    void paintGlow(QPainter& painter, const QRegion& region) const;
    static void paintParticle(QPainter& painter, const Ribbon& ribbon, double phase);
    static QRect particleRect(const Ribbon& ribbon, double phase);
    void rebuildRibbons();
    /// The pixels the ribbons (and so their particles) can touch.
    QRegion ribbonArea() const;
    void updateClock();
    void tick();
    void redrawAll();

    QPointer<AccessibilityEnvironment> environment_;
    WindowActivity* activity_;
    Clock clock_;
    QTimer timer_;
    std::vector<SankeyDestination> destinations_;
    std::optional<double> sourceWatts_;
    PaletteColor sourceTint_ = PaletteColor::flowSource;
    std::optional<SankeyMetrics> metrics_;
    std::vector<Ribbon> ribbons_;
    struct Glow {
        QRectF card;
        qreal cornerRadius = 0;
        SurfaceShadow shadow;
        QRect frame;
        QPixmap pixmap; ///< the blurred shadow, kept so a frame neither looks it up nor blurs
        QPointF origin; ///< where the pixmap goes
    };
    std::optional<Glow> glow_;
    QPixmap beneath_;  ///< the widgets beneath, in this rectangle
    QPixmap backdrop_; ///< beneath_ with the ribbons drawn on it
    QRect beneathKey_; ///< beneath_'s place in the window and size
    qreal beneathScale_ = 0;
    double phase_ = 0;
    int ticks_ = 0;
    int paints_ = 0;
};

} // namespace voltrane
