#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/host/accessibility_environment.h"

#include <QPaintEvent>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;

SankeyDestination row(ID id, std::optional<double> watts) {
    return {
        id, rawValue(id), "cpu", watts, "估算", PaletteColor::flowCPU, SankeyDestination::State::estimated};
}

SankeyMetrics metricsFor(const std::vector<SankeyDestination>& rows, std::optional<double> source) {
    std::vector<std::optional<double>> watts;
    for (const SankeyDestination& destination : rows) {
        watts.push_back(destination.watts);
    }
    return SankeyMetrics({540, 291}, rows, watts, source);
}

TEST(SankeyRibbonCanvasTest, StacksTheRibbonsAtTheSourceAndEndsEachAtItsRow) {
    SankeyRibbonCanvas canvas;
    // The GPU's 0.03 W of 20 W is under a quarter point: no ribbon, and no room in the stack.
    const std::vector<SankeyDestination> rows{row(ID::cpu, 10), row(ID::gpu, 0.03), row(ID::other, 3)};
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
    // Metrics that fall short of the rows: a ribbon without a centre ends at the middle, one
    // without a band is not drawn.
    metrics.rowCenters.resize(2);
    canvas.setContent(rows, 20.0, PaletteColor::flowSource, metrics);
    EXPECT_DOUBLE_EQ(canvas.ribbons().back().route.end.y, 291 / 2.0);
    metrics.bandWidths.resize(1);
    canvas.setContent(rows, 20.0, PaletteColor::flowSource, metrics);
    EXPECT_EQ(canvas.ribbons().size(), 1u);
}

// The canvas's animation clock: it ticks at up to 24 frames a second only while motion is
// allowed, its window is active and something flows, and does no timer work otherwise.
class CanvasClock : public ::testing::Test {
protected:
    void SetUp() override {
        canvas.resize(540, 291);
        setRows({row(ID::cpu, 12), row(ID::other, 4)});
        canvas.show();
        canvas.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&canvas));
    }
    void setRows(const std::vector<SankeyDestination>& rows) {
        canvas.setContent(rows, 20.0, PaletteColor::flowSource, metricsFor(rows, 20.0));
    }
    /// Timer ticks and painted frames during `milliseconds` of event processing.
    std::pair<int, int> framesDuring(int milliseconds) {
        const int ticks = canvas.tickCount();
        const int paints = canvas.paintCount();
        QTest::qWait(milliseconds);
        return {canvas.tickCount() - ticks, canvas.paintCount() - paints};
    }
    /// Paused: after the one repaint for the change, no timer work and no frames.
    void expectPausedThenResumedBy(const std::function<void()>& resume) {
        EXPECT_FALSE(canvas.isAnimating());
        QTest::qWait(60);
        EXPECT_EQ(framesDuring(400), std::make_pair(0, 0));
        resume();
        EXPECT_TRUE(canvas.isAnimating());
        EXPECT_GT(framesDuring(300).first, 0);
    }

    AccessibilityEnvironment environment;
    SankeyRibbonCanvas canvas{&environment};
};

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
        // Two particles of at most 4.5 points, each at its old and new place within an 8 × 8
        // square, against 540 × 291 for the whole canvas.
        int area = 0;
        for (const QRect& rect : region) {
            area += rect.width() * rect.height();
        }
        EXPECT_GT(area, 0);
        EXPECT_LE(area, 4 * 8 * 8);
    }
    EXPECT_TRUE(canvas.particleRegion(canvas.shownPhase()).intersects(recorder.regions.back()));
}

TEST_F(CanvasClock, StopsWithReduceMotionAndResumesWithout) {
    environment.setReduceMotion(true);
    EXPECT_TRUE(canvas.particleRegion(0.3).isEmpty());
    expectPausedThenResumedBy([this] { environment.setReduceMotion(false); });
}

TEST_F(CanvasClock, StopsWhileTheWindowIsInactive) {
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(canvas.appearsActive());
    expectPausedThenResumedBy([this] {
        canvas.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&canvas));
    });
}

TEST_F(CanvasClock, StopsWhenNothingFlowsAboveTwoTenthsOfAWatt) {
    setRows({row(ID::cpu, 0.2), row(ID::gpu, std::nullopt)});
    expectPausedThenResumedBy([this] { setRows({row(ID::cpu, 0.21)}); });
    setRows({});
    EXPECT_FALSE(canvas.isAnimating());
}

TEST_F(CanvasClock, NewInputsStillRedrawWhilePaused) {
    environment.setReduceMotion(true);
    QTest::qWait(60);
    const auto before = std::make_pair(canvas.tickCount(), canvas.paintCount());
    setRows({row(ID::cpu, 9), row(ID::other, 4)});
    QTest::qWait(60);
    EXPECT_EQ(std::make_pair(canvas.tickCount(), canvas.paintCount()),
              std::make_pair(before.first, before.second + 1));
}

} // namespace
} // namespace voltrane
