// The flow canvas paints from cached layers: what it shows must stay what drawing every ribbon
// in order shows, and its frames must repaint nothing beneath it.
#include "flow/sankey_metrics.h"
#include "flow_samples.h"
#include "ui/flow/power_flow_view.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/host/accessibility_environment.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;
using Rows = std::vector<SankeyDestination>;

SankeyDestination row(ID id, double watts) {
    SankeyDestination destination;
    destination.id = id;
    destination.watts = watts;
    destination.tint = id == ID::cpu ? PaletteColor::flowCPU : PaletteColor::flowOther;
    return destination;
}

QImage pixels(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Thin bands beside thick ones put particles within a later ribbon's halo, where the cached
// path must repaint in order; every phase moves them along.
TEST(CanvasLayers, PaintsWhatDrawingEveryRibbonInOrderPaints) {
    const std::vector<Rows> layouts{
        {row(ID::cpu, 12), row(ID::gpu, 0.9), row(ID::memory, 0.5), row(ID::other, 4)},
        {row(ID::cpu, 0.6), row(ID::gpu, 6), row(ID::display, 0.7), row(ID::ane, 0.4), row(ID::other, 9)},
    };
    for (const Rows& rows : layouts) {
        for (const double seconds : {0.0, 0.35, 0.9, 1.4, 2.1, 2.7}) {
            SCOPED_TRACE(::testing::Message() << rows.size() << " rows at " << seconds << " s");
            AccessibilityEnvironment environment;
            const Date at =
                Date{} + std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds));
            SankeyRibbonCanvas canvas(&environment, nullptr, [at] { return at; });
            canvas.resize(540, 291);
            std::vector<std::optional<double>> watts;
            for (const auto& destination : rows) {
                watts.push_back(destination.watts);
            }
            canvas.setContent(rows, 20.0, PaletteColor::flowSource,
                              SankeyMetrics({540, 291}, rows, watts, 20.0));

            QImage cached(canvas.size(), QImage::Format_ARGB32_Premultiplied);
            cached.fill(Qt::transparent);
            canvas.render(&cached);
            QImage ordered(canvas.size(), QImage::Format_ARGB32_Premultiplied);
            ordered.fill(Qt::transparent);
            QPainter painter(&ordered);
            canvas.draw(canvas.shownPhase(), painter);
            painter.end();
            EXPECT_TRUE(cached == ordered);
        }
    }
}

/// Records where a widget is painted.
struct PaintRecorder : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted |= static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

/// A window whose ground is a gradient.
class Ground : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QLinearGradient gradient(0, 0, width(), height());
        gradient.setColorAt(0, QColor(20, 60, 50));
        gradient.setColorAt(1, QColor(30, 30, 70));
        painter.fillRect(rect(), gradient);
    }
};

// Frames and a new sample leave the canvas on screen exactly as a full render draws it, and
// neither makes a widget beneath the canvas paint there.
TEST(CanvasLayers, FramesRepaintNothingBeneathAndMatchAFullRender) {
    AccessibilityEnvironment environment;
    Ground window;
    window.resize(600, 360);
    auto* view = new PowerFlowView(&window, &environment);
    view->setGeometry(20, 12, 560, PowerFlowView::panelHeight);
    view->setSamples(testing::chargingSnapshot(), testing::busyComponents());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* canvas = view->findChild<SankeyRibbonCanvas*>();
    ASSERT_NE(canvas, nullptr);
    ASSERT_TRUE(canvas->isAnimating());
    QTest::qWait(100);
    const QRect area(canvas->mapTo(&window, QPoint()), canvas->size());
    PaintRecorder ground;
    PaintRecorder flow;
    window.installEventFilter(&ground);
    view->installEventFilter(&flow);
    const int canvasPaints = canvas->paintCount();

    for (const bool newSample : {false, true}) {
        SCOPED_TRACE(newSample ? "after a new sample" : "after frames");
        if (newSample) {
            ComponentPowerSnapshot components = testing::busyComponents();
            components.cpuWatts = 3 * components.cpuWatts.value_or(0);
            view->setSamples(testing::chargingSnapshot(), components);
        }
        QTest::qWait(300);
        // Paint what is pending, so the screen shows the phase the canvas holds.
        QCoreApplication::sendPostedEvents();
        const QImage shown = pixels(window.screen()->grabWindow(window.winId()));
        EXPECT_TRUE(shown.copy(area) == pixels(window.grab()).copy(area));
    }
    EXPECT_GT(canvas->paintCount() - canvasPaints, 4);
    EXPECT_FALSE(ground.painted.intersects(area));
    EXPECT_FALSE(flow.painted.translated(view->pos()).intersects(area));
}

} // namespace
} // namespace voltrane
