// The canvas's animation clock: it ticks at up to 24 frames a second only while motion is
// allowed, its window is active and something flows, and does no timer work otherwise.
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/host/accessibility_environment.h"

#include <QApplication>
#include <QPaintEvent>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;

SankeyDestination row(ID id, std::optional<double> watts) {
    return {
        id, rawValue(id), "cpu", watts, "估算", PaletteColor::flowCPU, SankeyDestination::State::estimated};
}

void setRows(SankeyRibbonCanvas& canvas, const std::vector<SankeyDestination>& rows) {
    std::vector<std::optional<double>> watts;
    for (const SankeyDestination& destination : rows) {
        watts.push_back(destination.watts);
    }
    canvas.setContent(rows, 20.0, PaletteColor::flowSource, SankeyMetrics({540, 291}, rows, watts, 20.0));
}

class CanvasClock : public ::testing::Test {
protected:
    void SetUp() override {
        canvas.resize(540, 291);
        setRows(canvas, {row(ID::cpu, 12), row(ID::other, 4)});
        canvas.show();
        canvas.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&canvas));
    }

    /// Timer ticks and painted frames during `milliseconds` of event processing.
    std::pair<int, int> framesDuring(int milliseconds) {
        const int ticks = canvas.tickCount();
        const int paints = canvas.paintCount();
        QTest::qWait(milliseconds);
        return {canvas.tickCount() - ticks, canvas.paintCount() - paints};
    }

    /// Paused: after the one repaint for the change, no timer work and no frames.
    void expectPaused() {
        EXPECT_FALSE(canvas.isAnimating());
        QTest::qWait(60);
        EXPECT_EQ(framesDuring(400), std::make_pair(0, 0));
    }

    AccessibilityEnvironment environment;
    SankeyRibbonCanvas canvas{&environment};
};

TEST_F(CanvasClock, TicksWhileAnimating) {
    EXPECT_TRUE(canvas.isAnimating());
    const auto [ticks, paints] = framesDuring(500);
    // About 12 frames in half a second; scheduling on a busy machine may drop some, but the
    // cap of 24 a second holds.
    EXPECT_GE(ticks, 4);
    EXPECT_LE(ticks, 13);
    EXPECT_GE(paints, 3);
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

TEST_F(CanvasClock, ATickRepaintsOnlyWhereTheParticlesAre) {
    QTest::qWait(60);
    PaintRecorder recorder;
    canvas.installEventFilter(&recorder);
    QTest::qWait(300);
    canvas.removeEventFilter(&recorder);
    ASSERT_FALSE(recorder.regions.empty());
    for (const QRegion& region : recorder.regions) {
        // Two ribbons, each with a particle of at most 4.5 points: its old and new places,
        // each within an 8 × 8 square, against 540 × 291 for the whole canvas.
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
    expectPaused();
    environment.setReduceMotion(false);
    EXPECT_TRUE(canvas.isAnimating());
    EXPECT_GT(framesDuring(300).first, 0);
}

TEST_F(CanvasClock, StopsWhileTheWindowIsInactive) {
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(canvas.appearsActive());
    expectPaused();
    canvas.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&canvas));
    EXPECT_TRUE(canvas.isAnimating());
    EXPECT_GT(framesDuring(300).first, 0);
}

TEST_F(CanvasClock, StopsWhenNothingFlowsAboveTwoTenthsOfAWatt) {
    setRows(canvas, {row(ID::cpu, 0.2), row(ID::gpu, std::nullopt)});
    expectPaused();
    setRows(canvas, {row(ID::cpu, 0.21)});
    EXPECT_TRUE(canvas.isAnimating());
    setRows(canvas, {});
    EXPECT_FALSE(canvas.isAnimating());
}

TEST_F(CanvasClock, NewInputsStillRedrawWhilePaused) {
    environment.setReduceMotion(true);
    QTest::qWait(60);
    const int ticks = canvas.tickCount();
    const int paints = canvas.paintCount();
    setRows(canvas, {row(ID::cpu, 9), row(ID::other, 4)});
    QTest::qWait(60);
    EXPECT_EQ(canvas.tickCount(), ticks);
    EXPECT_EQ(canvas.paintCount(), paints + 1);
}

} // namespace
} // namespace voltrane
