#include "common/platform_texts.h"
#include "flow_samples.h"
#include "ui/flow/energy_sankey_diagram.h"
#include "ui/flow/flow_accounting_bar.h"
#include "ui/flow/power_flow_view.h"
#include "ui/flow/sankey_destination_node.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/flow/sankey_source_node.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/accessibility_hiding.h"
#include "ui/host/qt_color.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QLayout>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QtTest/QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;
using Rows = std::vector<SankeyDestination>;
using namespace voltrane::testing;

class DiagramTest : public ::testing::Test {
protected:
    void show(const SankeyFlowModel& model, const SankeyStableLayout& layout) {
        diagram.resize(540, 291);
        diagram.setContent(model, layout);
        diagram.show();
    }

    AccessibilityEnvironment environment;
    EnergySankeyDiagram diagram{&environment};
};

TEST_F(DiagramTest, PlacesEveryCardInItsRowInsideTheCanvasAtAnySize) {
    const SankeyFlowModel model(chargingSnapshot(), busyComponents());
    const SankeyStableLayout layout(model);
    const std::vector<SankeyDestination> ordered = layout.ordered(model.destinations);
    ASSERT_EQ(ordered.size(), 8u);
    show(model, layout);
    EXPECT_TRUE(isHiddenFromAccessibility(diagram.canvas()));
    for (const QSize size : {QSize(540, 291), QSize(620, 300)}) {
        diagram.resize(size);
        const SankeyMetrics metrics({size.width() * 1.0, size.height() * 1.0}, ordered,
                                    layout.layoutWatts(ordered), layout.sourceWatts);
        EXPECT_EQ(diagram.metrics(), metrics);
        EXPECT_EQ(diagram.canvas()->geometry(), diagram.rect());
        EXPECT_EQ(diagram.canvas()->destinations(), ordered);
        const QRect source = diagram.sourceNode()->geometry();
        EXPECT_TRUE(diagram.rect().contains(source) && source.x() == 0);
        EXPECT_NEAR(source.y() + source.height() / 2.0, size.height() / 2.0, 1);
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            const QRect card = diagram.destinationNode(ordered[i].id)->geometry();
            SCOPED_TRACE(rawValue(ordered[i].id));
            EXPECT_TRUE(diagram.rect().contains(card));
            EXPECT_NEAR(card.x() + card.width(), size.width(), 1);
            EXPECT_NEAR(card.y() + card.height() / 2.0, metrics.rowCenters[i], 1);
        }
    }
}

TEST_F(DiagramTest, ShowsOnlyRowsInBothTheModelAndTheLayout) {
    const SankeyFlowModel full(chargingSnapshot(), busyComponents());
    ComponentPowerSnapshot withoutGpu = busyComponents();
    withoutGpu.gpuWatts = 0.1;
    const SankeyFlowModel reduced(chargingSnapshot(), withoutGpu);
    for (const auto& [model, layout] : {std::pair(&full, &reduced), std::pair(&reduced, &full)}) {
        show(*model, SankeyStableLayout(*layout));
        EXPECT_EQ(diagram.destinationNode(ID::gpu), nullptr);
        EXPECT_EQ(diagram.findChildren<SankeyDestinationNode*>().size(), reduced.destinations.size());
    }
}

TEST(SankeyDestinationNode, ReadsAsOneElementAndMutesWhatIsMissing) {
    SankeyDestination row{
        ID::cpu, "CPU", "cpu", 8.2, "估算", PaletteColor::flowCPU, SankeyDestination::State::estimated};
    SankeyDestinationNode node;
    const auto part = [&node](const char* name) { return node.findChild<TextLabel*>(QLatin1String(name)); };
    const auto symbol = [&node] { return node.findChild<SymbolLabel*>(QStringLiteral("destinationSymbol")); };
    const QColor muted = toQColor(VoltranePalette::textMuted);
    node.setContent(row, 45.0, 40);
    EXPECT_EQ(node.accessibleName(), QStringLiteral("CPU 18% · 估算 8.2 W"));
    EXPECT_TRUE(part("destinationWatts")->color() != muted && symbol()->color() != muted);
    row.watts.reset();
    row.state = SankeyDestination::State::unavailable;
    node.setContent(row, 45.0, 40);
    EXPECT_EQ(part("destinationWatts")->text(), QStringLiteral("\u2014 W"));
    EXPECT_TRUE(part("destinationWatts")->color() == muted && symbol()->color() == muted);
    EXPECT_EQ(part("destinationTitle")->color(), toQColor(VoltranePalette::textSecondary));
}

class PowerFlowViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(560, 360);
        view.show();
        view.layout()->activate();
    }
    void set(double cpu, double gpu, double ane = 0.6) {
        ComponentPowerSnapshot sample = busyComponents();
        std::tie(sample.cpuWatts, sample.gpuWatts, sample.aneWatts) = std::tuple(cpu, gpu, ane);
        view.setSamples(chargingSnapshot(), sample);
    }
    int rowY(ID id) const { return view.diagram()->destinationNode(id)->y(); }
    std::vector<double> bands() const { return view.diagram()->metrics()->bandWidths; }
    QString shown(const char* node, const char* label) const {
        const auto* parent = view.findChild<QWidget*>(QLatin1String(node));
        return parent->findChild<TextLabel*>(QLatin1String(label))->text();
    }

    AccessibilityEnvironment environment{true};
    PowerFlowView view{nullptr, &environment};
};

// A new layout is adopted only when a figure moves far enough, never for a mere change of order;
// the figures and the bar follow every sample.
TEST_F(PowerFlowViewTest, FirstSamplesSetTheLayoutSmallChangesKeepItLargeOnesReorder) {
    EXPECT_FALSE(view.stableLayout().has_value());
    set(6.0, 5.3);
    const SankeyStableLayout first = *view.stableLayout();
    EXPECT_EQ(first, SankeyStableLayout(view.model()));
    EXPECT_EQ(view.accessibleName().toStdString(), view.model().accessibilitySummary());
    EXPECT_LT(rowY(ID::cpu), rowY(ID::gpu));
    const std::vector<double> firstBands = bands();

    // Each figure moves by at most 2 W: the model now puts the GPU first, the diagram does not.
    set(5.0, 6.5);
    EXPECT_EQ(*view.stableLayout(), first);
    EXPECT_EQ(view.model().destinations[1].id, ID::gpu);
    EXPECT_LT(rowY(ID::cpu), rowY(ID::gpu));
    EXPECT_EQ(bands(), firstBands);
    EXPECT_EQ(shown("destinationNode_cpu", "destinationWatts") +
                  shown("destinationNode_gpu", "destinationWatts") +
                  shown("flowAccountingBar", "identifiedValue"),
              QStringLiteral("5.0 W6.5 W20.2 W"));
    EXPECT_EQ(view.accessibleName().toStdString(), view.model().accessibilitySummary());

    // The CPU drops 2.7 W from its remembered 6.0 W: the new order is adopted at once.
    set(3.3, 8.0);
    EXPECT_EQ(*view.stableLayout(), SankeyStableLayout(view.model()));
    EXPECT_LT(rowY(ID::gpu), rowY(ID::cpu));
    EXPECT_NE(bands(), firstBands);
}

SankeyDestination row(ID id, std::optional<double> watts) { // two tints, so ribbon order shows
    const PaletteColor tint = id == ID::cpu ? PaletteColor::flowCPU : PaletteColor::flowOther;
    return {id, rawValue(id), "cpu", watts, "估算", tint, SankeyDestination::State::estimated};
}

SankeyMetrics metricsFor(const Rows& rows, std::optional<double> source) {
    std::vector<std::optional<double>> watts(rows.size());
    std::transform(rows.begin(), rows.end(), watts.begin(), [](const auto& row) { return row.watts; });
    return SankeyMetrics({540, 291}, rows, watts, source);
}

TEST(SankeyRibbonCanvasTest, StacksTheRibbonsAtTheSourceAndEndsEachAtItsRow) {
    SankeyRibbonCanvas canvas;
    // The GPU's 0.03 W of 20 W is under a quarter point: no ribbon, and no room in the stack.
    const Rows rows{row(ID::cpu, 10), row(ID::gpu, 0.03), row(ID::other, 3)};
    SankeyMetrics metrics = metricsFor(rows, 20.0);
    canvas.setContent(rows, 20.0, PaletteColor::flowSource, metrics);
    ASSERT_EQ(canvas.ribbons().size(), 2u);
    const SankeyRibbonCanvas::Ribbon &cpu = canvas.ribbons()[0], &other = canvas.ribbons()[1];
    EXPECT_EQ(other.index, 2);
    // The stack is centred on the source card; each ribbon runs from its edge to its row's card.
    const double top = cpu.route.start.y - cpu.bandWidth / 2;
    EXPECT_DOUBLE_EQ(top, (291 - metrics.bandWidths[0] - metrics.bandWidths[1] - metrics.bandWidths[2]) / 2);
    EXPECT_DOUBLE_EQ(other.route.start.y - other.bandWidth / 2, top + cpu.bandWidth);
    for (const auto& [ribbon, centre] :
         {std::pair(&cpu, metrics.rowCenters[0]), std::pair(&other, metrics.rowCenters[2])}) {
        EXPECT_NEAR(ribbon->route.start.x, metrics.sourceWidth, 1);
        EXPECT_NEAR(ribbon->route.end.x, 540 - metrics.destinationWidth, 1);
        EXPECT_DOUBLE_EQ(ribbon->route.end.y, centre);
    }
}

/// Records the regions of the paint events a widget receives.
class PaintRecorder : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            regions.push_back(static_cast<QPaintEvent*>(event)->region());
        }
        return false;
    }
    std::vector<QRegion> regions;
};

class CanvasClock : public ::testing::Test {
protected:
    void SetUp() override {
        canvas.resize(540, 291);
        setRows({row(ID::cpu, 12), row(ID::other, 4)});
        activate(canvas);
    }
    static void activate(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void setRows(const Rows& rows) {
        canvas.setContent(rows, 20.0, PaletteColor::flowSource, metricsFor(rows, 20.0));
    }
    /// Timer ticks and painted frames during `milliseconds` of event processing.
    std::pair<int, int> framesDuring(int milliseconds) {
        const int ticks = canvas.tickCount();
        const int paints = canvas.paintCount();
        QTest::qWait(milliseconds);
        return {canvas.tickCount() - ticks, canvas.paintCount() - paints};
    }

    AccessibilityEnvironment environment;
    SankeyRibbonCanvas canvas{&environment};
};

TEST_F(CanvasClock, TicksAtMostTwentyFourTimesASecondRepaintingOnlyTheParticles) {
    EXPECT_TRUE(canvas.isAnimating());
    QTest::qWait(60);
    PaintRecorder recorder;
    canvas.installEventFilter(&recorder);
    const auto [ticks, paints] = framesDuring(500);
    canvas.removeEventFilter(&recorder);
    // About 12 frames in half a second; a busy machine may drop some, but the cap holds.
    EXPECT_GE(ticks, 4);
    EXPECT_LE(ticks, 13);
    ASSERT_GE(paints, 3);
    for (const QRegion& region : recorder.regions) {
        // Two particles of at most 4.5 points, each at its old and new place within an 8 × 8 square.
        int area = 0;
        for (const QRect& rect : region) {
            area += rect.width() * rect.height();
        }
        EXPECT_GT(area, 0);
        EXPECT_LE(area, 4 * 8 * 8);
    }
    EXPECT_TRUE(canvas.particleRegion(canvas.shownPhase()).intersects(recorder.regions.back()));
}

// Paused, it does no timer work and only new inputs draw, once each; resumed, it ticks again.
TEST_F(CanvasClock, StopsWithReducedMotionAnInactiveWindowOrNothingAboveTwoTenthsOfAWatt) {
    QWidget other;
    for (const auto& [name, pause] : std::initializer_list<std::pair<const char*, std::function<void(bool)>>>{
             {"reduce motion", [this](bool on) { environment.setReduceMotion(on); }},
             {"inactive", [&](bool on) { activate(on ? other : canvas); }},
             {"idle", [this](bool on) {
                  setRows({row(ID::cpu, on ? 0.2 : 0.21), row(ID::gpu, std::nullopt)});
              }}}) {
        SCOPED_TRACE(name);
        pause(true);
        EXPECT_FALSE(canvas.isAnimating());
        QTest::qWait(60);
        EXPECT_EQ(framesDuring(300), std::make_pair(0, 0));
        pause(false);
        EXPECT_TRUE(canvas.isAnimating());
        EXPECT_GT(framesDuring(300).first, 0);
    }
    environment.setReduceMotion(true);
    EXPECT_TRUE(canvas.particleRegion(0.3).isEmpty());
    QTest::qWait(60);
    setRows({row(ID::cpu, 9), row(ID::other, 4)});
    EXPECT_EQ(framesDuring(60), std::make_pair(0, 1));
    setRows({});
    environment.setReduceMotion(false);
    EXPECT_FALSE(canvas.isAnimating());
}

// The canvas paints from cached layers, yet shows what drawing every ribbon in order shows. Thin
// bands beside thick ones put particles within a later ribbon's halo, where the cache must repaint
// in order; every phase moves them along.
TEST(SankeyRibbonCanvasTest, PaintsFromItsCacheWhatDrawingEveryRibbonInOrderPaints) {
    for (const Rows& rows :
         {Rows{row(ID::cpu, 12), row(ID::gpu, 0.9), row(ID::memory, 0.5), row(ID::other, 4)},
          Rows{row(ID::cpu, 0.6), row(ID::gpu, 6), row(ID::display, 0.7), row(ID::ane, 0.4),
               row(ID::other, 9)}}) {
        for (const double seconds : {0.0, 0.35, 0.9, 1.4, 2.1, 2.7}) {
            SCOPED_TRACE(::testing::Message() << rows.size() << " rows at " << seconds << " s");
            AccessibilityEnvironment environment;
            const Date at =
                Date{} + std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds));
            SankeyRibbonCanvas canvas(&environment, nullptr, [at] { return at; });
            canvas.resize(540, 291);
            canvas.setContent(rows, 20.0, PaletteColor::flowSource, metricsFor(rows, 20.0));
            QImage cached(canvas.size(), QImage::Format_ARGB32_Premultiplied);
            cached.fill(Qt::transparent);
            QImage ordered = cached.copy();
            canvas.render(&cached);
            QPainter painter(&ordered);
            canvas.draw(canvas.shownPhase(), painter);
            painter.end();
            EXPECT_TRUE(cached == ordered);
        }
    }
}

// Frames and a new sample leave the canvas on screen exactly as a full render draws it, and
// neither makes a widget beneath the canvas (here a window with a gradient ground) paint there.
TEST(SankeyRibbonCanvasTest, FramesRepaintNothingBeneathAndMatchAFullRender) {
    struct Ground : QWidget {
        void paintEvent(QPaintEvent*) override {
            QPainter painter(this);
            QLinearGradient gradient(0, 0, width(), height());
            gradient.setColorAt(0, QColor(20, 60, 50));
            gradient.setColorAt(1, QColor(30, 30, 70));
            painter.fillRect(rect(), gradient);
        }
    } window;
    AccessibilityEnvironment environment;
    window.resize(600, 360);
    auto* view = new PowerFlowView(&window, &environment);
    view->setGeometry(20, 12, 560, PowerFlowView::panelHeight);
    view->setSamples(chargingSnapshot(), busyComponents());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* canvas = view->findChild<SankeyRibbonCanvas*>();
    ASSERT_TRUE(canvas != nullptr && canvas->isAnimating());
    QTest::qWait(100);
    const QRect area(canvas->mapTo(&window, QPoint()), canvas->size());
    PaintRecorder ground, flow;
    window.installEventFilter(&ground);
    view->installEventFilter(&flow);
    const int canvasPaints = canvas->paintCount();
    const auto pixels = [](const QPixmap& pixmap) {
        return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    for (const bool newSample : {false, true}) {
        SCOPED_TRACE(newSample ? "after a new sample" : "after frames");
        if (newSample) {
            ComponentPowerSnapshot components = busyComponents();
            components.cpuWatts = 3 * components.cpuWatts.value_or(0);
            view->setSamples(chargingSnapshot(), components);
        }
        QTest::qWait(300);
        QCoreApplication::sendPostedEvents(); // paint what is pending: the screen shows the held phase
        const QImage shown = pixels(window.screen()->grabWindow(window.winId()));
        EXPECT_TRUE(shown.copy(area) == pixels(window.grab()).copy(area));
    }
    EXPECT_GT(canvas->paintCount() - canvasPaints, 4);
    EXPECT_TRUE(std::ranges::none_of(ground.regions, [&](const QRegion& r) { return r.intersects(area); }));
    EXPECT_TRUE(std::ranges::none_of(
        flow.regions, [&](const QRegion& r) { return r.translated(view->pos()).intersects(area); }));
}

TEST(FlowAccountingBarTest, ExplainsMissingComponentsOnlyWhileMissing) {
    FlowAccountingBar bar;
    bar.setModel(SankeyFlowModel(PowerSnapshot::unavailable({}), ComponentPowerSnapshot::unavailable({})));
    EXPECT_EQ(bar.toolTip(), QString::fromUtf8(componentsUnavailableText()));
    bar.setModel(SankeyFlowModel(PowerSnapshot::unavailable({}), ComponentPowerSnapshot::waiting({})));
    EXPECT_EQ(bar.toolTip(), QString());
}

} // namespace
} // namespace voltrane
