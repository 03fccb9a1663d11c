#include "ui/flow/sankey_ribbon_canvas.h"

#include "common/power_thresholds.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/qt_color.h"
#include "ui/host/window_activity.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>

namespace voltrane {

namespace {

// 2001-01-01 00:00:00 UTC: the particles' reference date.
constexpr Date kReferenceDate{std::chrono::seconds(978307200)};

constexpr double kMinimumBandWidth = 0.25;
constexpr double kParticleBandWidth = 2.0;

QPainterPath strokeOutline(const QPainterPath& centreLine, double width) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setMiterLimit(10);
    return stroker.createStroke(centreLine);
}

} // namespace

SankeyRibbonCanvas::SankeyRibbonCanvas(AccessibilityEnvironment* environment, QWidget* parent, Clock clock)
    : QWidget(parent),
      environment_(environment != nullptr ? environment : &AccessibilityEnvironment::shared()),
      activity_(new WindowActivity(this)),
      clock_(clock ? std::move(clock) : Clock([] { return std::chrono::system_clock::now(); })) {
    setObjectName(QStringLiteral("ribbonCanvas"));
    // Every pixel is painted here, from the cached layers: nothing beneath repaints for a frame.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hideFromAccessibility(this);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(frameInterval);
    connect(&timer_, &QTimer::timeout, this, &SankeyRibbonCanvas::tick);
    connect(activity_, &WindowActivity::activeChanged, this, [this] {
        updateClock();
        redrawAll();
    });
    connect(environment_, &AccessibilityEnvironment::changed, this, [this] {
        // The surfaces beneath follow the same settings.
        beneath_ = QPixmap();
        updateClock();
        redrawAll();
    });
}

SankeyRibbonCanvas::~SankeyRibbonCanvas() {
    // QWidget's destructor hides the widget, which the activity watcher would report to a
    // canvas that is no longer one.
    activity_->disconnect(this);
}

bool SankeyRibbonCanvas::reduceMotion() const {
    return environment_ != nullptr && environment_->reduceMotion();
}

bool SankeyRibbonCanvas::appearsActive() const {
    return activity_->isActive();
}

void SankeyRibbonCanvas::setContent(const std::vector<SankeyDestination>& destinations,
                                    std::optional<double> sourceWatts, PaletteColor sourceTint,
                                    const SankeyMetrics& metrics) {
    // The ribbons follow the metrics and the tints alone; new figures on the same drawing
    // only decide whether the particles run.
    const bool sameDrawing =
        metrics_ && *metrics_ == metrics && sourceTint_ == sourceTint &&
        std::equal(destinations_.begin(), destinations_.end(), destinations.begin(), destinations.end(),
                   [](const SankeyDestination& a, const SankeyDestination& b) { return a.tint == b.tint; });
    destinations_ = destinations;
    sourceWatts_ = sourceWatts;
    sourceTint_ = sourceTint;
    metrics_ = metrics;
    if (sameDrawing) {
        updateClock();
        return;
    }
    // Only where a ribbon was or now is changes (its particle stays on it): the cards over
    // the canvas keep their insides.
    QRegion changed = ribbonArea();
    rebuildRibbons();
    changed |= ribbonArea();
    updateClock();
    phase_ = phase(clock_());
    update(changed);
}

QRegion SankeyRibbonCanvas::ribbonArea() const {
    QRegion area;
    for (const Ribbon& ribbon : ribbons_) {
        // Two pixels beyond the halo's outline cover its antialiased edge.
        area |= ribbon.bounds.toAlignedRect().adjusted(-2, -2, 2, 2);
    }
    return area;
}

void SankeyRibbonCanvas::setGlow(const QRectF& card, qreal cornerRadius, const SurfaceShadow& shadow) {
    const qreal margin = std::ceil(SurfacePainter::shadowMargin(shadow)) + 1;
    const QRect frame =
        card.translated(shadow.offset).adjusted(-margin, -margin, margin, margin).toAlignedRect();
    if (glow_ && glow_->card == card && glow_->cornerRadius == cornerRadius && glow_->frame == frame &&
        glow_->shadow.color == shadow.color && glow_->shadow.radius == shadow.radius &&
        glow_->shadow.offset == shadow.offset) {
        return;
    }
    const QRect old = glowFrame();
    const qreal reach = std::ceil(SurfacePainter::shadowMargin(shadow));
    glow_ = Glow{card,
                 cornerRadius,
                 shadow,
                 frame,
                 shadow.color.alpha() > 0 ? SurfacePainter::shadowPixmap(card.size(), cornerRadius, shadow)
                                          : QPixmap(),
                 card.topLeft() + shadow.offset - QPointF(reach, reach)};
    update(QRegion(old) | frame);
}

void SankeyRibbonCanvas::redrawAll() {
    phase_ = phase(clock_());
    update();
}

void SankeyRibbonCanvas::tick() {
    ++ticks_;
    // Only the particles move: repaint where they were and where they go. The repainted
    // area is drawn whole (every ribbon, in order, clipped), so layering stays exact.
    const double next = phase(clock_());
    // One rectangle per particle, its old and new places together: they overlap, and fewer
    // rectangles make fewer paint and flush steps than their exact union.
    QRegion dirty;
    if (!reduceMotion()) {
        for (const Ribbon& ribbon : ribbons_) {
            if (ribbon.bandWidth > kParticleBandWidth) {
                const QRect before = particleRect(ribbon, phase_);
                const QRect after = particleRect(ribbon, next);
                // Apart when the particle starts its route again.
                dirty |= before.intersects(after) ? before.united(after) : QRegion(before) | after;
            }
        }
    }
    phase_ = next;
    update(dirty);
}

QRegion SankeyRibbonCanvas::particleRegion(double phase) const {
    QRegion region;
    if (reduceMotion()) {
        return region;
    }
    for (const Ribbon& ribbon : ribbons_) {
        if (ribbon.bandWidth > kParticleBandWidth) {
            region |= particleRect(ribbon, phase);
        }
    }
    return region;
}

void SankeyRibbonCanvas::updateClock() {
    const bool flowing =
        std::any_of(destinations_.begin(), destinations_.end(),
                    [](const SankeyDestination& row) { return row.watts && *row.watts > kActiveWatts; });
    const bool animating = !reduceMotion() && appearsActive() && flowing;
    if (animating && !timer_.isActive()) {
        timer_.start();
    } else if (!animating && timer_.isActive()) {
        timer_.stop();
    }
}

void SankeyRibbonCanvas::rebuildRibbons() {
    ribbons_.clear();
    backdrop_ = QPixmap();
    if (!metrics_) {
        return;
    }
    const SankeyMetrics& metrics = *metrics_;
    const double width = metrics.size.width;
    const double height = metrics.size.height;
    double total = 0;
    for (double band : metrics.bandWidths) {
        total += band;
    }
    double y = height * 0.5 - total * 0.5;
    const double xs = metrics.sourceWidth - 1;
    const double xe = width - metrics.destinationWidth + 1;
    const double c1x = xs + 0.34 * (xe - xs);
    const double c2x = xs + 0.66 * (xe - xs);
    const QColor sourceColor = toQColor(VoltranePalette::color(sourceTint_), 0.76);

    // The metrics give one band per row; should the lists ever differ, stop at the shorter.
    const std::size_t count = std::min(destinations_.size(), metrics.bandWidths.size());
    for (std::size_t i = 0; i < count; ++i) {
        const double band = metrics.bandWidths[i];
        if (!(band > kMinimumBandWidth)) {
            continue;
        }
        const double y0 = y + band * 0.5;
        const double yd = i < metrics.rowCenters.size() ? metrics.rowCenters[i] : height * 0.5;
        y += band;

        Ribbon ribbon;
        ribbon.index = static_cast<int>(i);
        ribbon.bandWidth = band;
        ribbon.route = CubicRoute{{xs, y0}, {c1x, y0}, {c2x, yd}, {xe, yd}};
        QPainterPath centreLine(QPointF(xs, y0));
        centreLine.cubicTo(QPointF(c1x, y0), QPointF(c2x, yd), QPointF(xe, yd));
        ribbon.halo = strokeOutline(centreLine, band + 1.5);
        ribbon.body = strokeOutline(centreLine, band);
        ribbon.bounds = ribbon.halo.boundingRect();
        const Color tint = VoltranePalette::color(destinations_[i].tint);
        ribbon.gradient = QLinearGradient(QPointF(xs, y0), QPointF(xe, yd));
        ribbon.gradient.setStops(
            {{0.0, sourceColor}, {0.5, toQColor(tint, 0.76)}, {1.0, toQColor(tint, 0.88)}});
        ribbons_.push_back(std::move(ribbon));
    }
}

double SankeyRibbonCanvas::phase(Date date) {
    // Subtract in the clock's integer ticks first, so the seconds keep their fraction.
    const double seconds = std::chrono::duration<double>(date - kReferenceDate).count();
    double cycle = std::fmod(seconds, particlePeriodSeconds);
    if (cycle < 0) {
        cycle += particlePeriodSeconds;
    }
    return cycle / particlePeriodSeconds;
}

double SankeyRibbonCanvas::particleDiameter(double bandWidth) {
    return std::clamp(bandWidth * 0.18, 2.0, 4.5);
}

void SankeyRibbonCanvas::draw(double phase, QPainter& painter) const {
    paintRibbons(painter, reduceMotion() ? std::nullopt : std::optional(phase));
}

void SankeyRibbonCanvas::paintRibbons(QPainter& painter, std::optional<double> particlePhase,
                                      const QRectF* within) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    const QColor haloColor = QColor::fromRgbF(1, 1, 1, 0.075f);
    const std::optional<QRectF> clip =
        painter.hasClipping() ? std::optional(painter.clipBoundingRect()) : std::nullopt;
    for (const Ribbon& ribbon : ribbons_) {
        if (clip && !clip->intersects(ribbon.bounds.adjusted(-1, -1, 1, 1))) {
            continue;
        }
        // A ribbon whose halo misses the square puts no pixel in it.
        if (within && !(ribbon.bounds.intersects(*within) && ribbon.halo.intersects(*within))) {
            continue;
        }
        painter.fillPath(ribbon.halo, haloColor);
        painter.fillPath(ribbon.body, ribbon.gradient);
        if (particlePhase && ribbon.bandWidth > kParticleBandWidth) {
            paintParticle(painter, ribbon, *particlePhase);
        }
    }
    painter.restore();
}

void SankeyRibbonCanvas::paintParticle(QPainter& painter, const Ribbon& ribbon, double phase) {
    const double t = std::fmod(ribbon.index * particleOffset + phase, 1.0);
    const CubicRoute::Point at = ribbon.route.point(t);
    const double radius = particleDiameter(ribbon.bandWidth) / 2;
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.48f));
    painter.drawEllipse(QPointF(at.x, at.y), radius, radius);
}

QRect SankeyRibbonCanvas::particleRect(const Ribbon& ribbon, double phase) {
    const double t = std::fmod(ribbon.index * particleOffset + phase, 1.0);
    const CubicRoute::Point at = ribbon.route.point(t);
    // One pixel beyond the circle covers its antialiased edge.
    const double reach = particleDiameter(ribbon.bandWidth) / 2 + 1;
    return QRectF(at.x - reach, at.y - reach, 2 * reach, 2 * reach).toAlignedRect();
}

void SankeyRibbonCanvas::renderBeneath(QPainter& painter) const {
    if (isWindow()) {
        return;
    }
    // The chain from the window down to this canvas.
    std::vector<QWidget*> chain{const_cast<SankeyRibbonCanvas*>(this)};
    while (!chain.front()->isWindow() && chain.front()->parentWidget() != nullptr) {
        chain.insert(chain.begin(), chain.front()->parentWidget());
    }
    // Each widget is painted whole, in window coordinates, as a full repaint paints it: a
    // scaled image clipped to a part samples a little differently.
    QWidget* top = chain.front();
    for (std::size_t level = 0; level + 1 < chain.size(); ++level) {
        QWidget* ancestor = chain[level];
        const QPoint at = ancestor->mapTo(top, QPoint());
        ancestor->render(&painter, at, QRegion(ancestor->rect()),
                         ancestor->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
        const QRect area(mapTo(ancestor, QPoint()), size());
        for (QObject* object : ancestor->children()) {
            if (object == chain[level + 1]) {
                break;
            }
            auto* child = qobject_cast<QWidget*>(object);
            if (child != nullptr && !child->isWindow() && !child->isHidden() &&
                area.intersects(child->geometry())) {
                child->render(&painter, at + child->pos(), QRegion(child->rect()), QWidget::DrawChildren);
            }
        }
    }
}

void SankeyRibbonCanvas::ensureBackdrop() {
    const qreal scale = devicePixelRatioF();
    const QRect key(isWindow() ? QPoint() : mapTo(window(), QPoint()), size());
    if (beneath_.isNull() || key != beneathKey_ || scale != beneathScale_) {
        beneathKey_ = key;
        beneathScale_ = scale;
        QPixmap whole(window()->size() * scale);
        whole.setDevicePixelRatio(scale);
        whole.fill(Qt::transparent);
        {
            QPainter painter(&whole);
            renderBeneath(painter);
        }
        beneath_ = whole.copy(QRect(key.topLeft() * scale, size() * scale));
        beneath_.setDevicePixelRatio(scale);
        backdrop_ = QPixmap();
    }
    if (backdrop_.isNull()) {
        backdrop_ = beneath_.copy();
        backdrop_.setDevicePixelRatio(scale);
        QPainter painter(&backdrop_);
        paintRibbons(painter, std::nullopt);
    }
}

void SankeyRibbonCanvas::paintEvent(QPaintEvent* event) {
    ++paints_;
    ensureBackdrop();
    QPainter painter(this);
    const qreal scale = backdrop_.devicePixelRatio();
    const auto source = [scale](const QRect& r) {
        return QRectF(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale);
    };
    // The cached pixels replace what was there (they are the whole picture beneath, and may be
    // transparent where the canvas is a window of its own).
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : event->region()) {
        painter.drawPixmap(QRectF(r), backdrop_, source(r));
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (reduceMotion()) {
        paintGlow(painter, event->region());
        return;
    }
    // A particle goes on top of the cached ribbons, unless a later ribbon's halo reaches into
    // its square: there the square is painted afresh in the usual order, so the later ribbon
    // stays over it.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    QRegion layered;
    for (auto ribbon = ribbons_.begin(); ribbon != ribbons_.end(); ++ribbon) {
        if (!(ribbon->bandWidth > kParticleBandWidth)) {
            continue;
        }
        const QRect square = particleRect(*ribbon, phase_);
        if (!event->region().intersects(square)) {
            continue;
        }
        const QRectF area(square);
        const bool covered = std::any_of(ribbon + 1, ribbons_.end(), [&area](const Ribbon& later) {
            return later.bounds.intersects(area) && later.halo.intersects(area);
        });
        if (covered) {
            layered |= square;
        } else {
            paintParticle(painter, *ribbon, phase_);
        }
    }
    for (const QRect& r : layered & event->region()) {
        painter.setClipRect(r);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawPixmap(QRectF(r), beneath_, source(r));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        const QRectF square(r);
        paintRibbons(painter, phase_, &square);
    }
    painter.setClipping(false);
    paintGlow(painter, event->region());
}

void SankeyRibbonCanvas::paintGlow(QPainter& painter, const QRegion& region) const {
    if (!glow_ || !region.intersects(glow_->frame)) {
        return;
    }
    // As a card's shadow is painted (SurfacePainter), from the kept pixmap.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF origin = glow_->origin;
    if (origin != QPointF(origin.toPoint())) {
        painter.setClipRect(glow_->frame);
        painter.drawPixmap(origin, glow_->pixmap);
        painter.restore();
        return;
    }
    // At a whole-pixel origin, only the repainted parts: drawn whole and clipped, the pixmap is
    // blended over all of its rows (on Qt's thread pool) to change a particle's square.
    const qreal scale = glow_->pixmap.devicePixelRatio();
    const QRect placed(origin.toPoint(), glow_->pixmap.deviceIndependentSize().toSize());
    const QRegion repainted = region & glow_->frame & placed;
    for (const QRect& r : repainted) {
        const QRectF target(r);
        painter.drawPixmap(target, glow_->pixmap,
                           QRectF((target.topLeft() - origin) * scale, target.size() * scale));
    }
    painter.restore();
}

void SankeyRibbonCanvas::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::StyleChange) {
        beneath_ = QPixmap();
    }
    QWidget::changeEvent(event);
}

} // namespace voltrane
