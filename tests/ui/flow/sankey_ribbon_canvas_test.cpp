#include "flow_samples.h"
#include "support/param_name.h"
#include "ui/flow/sankey_ribbon_canvas.h"
#include "ui/host/accessibility_environment.h"
#include "ui/host/qt_color.h"

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QtTest/QTest>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;
using namespace std::chrono_literals;

constexpr double kWidth = 540;
constexpr double kHeight = 291;
// 2001-01-01 00:00:00 UTC.
const Date kReferenceDate = Date(std::chrono::seconds(978307200));

SankeyDestination row(ID id, std::optional<double> watts, PaletteColor tint = PaletteColor::flowCPU) {
    return {id, rawValue(id), "cpu", watts, "估算", tint, SankeyDestination::State::estimated};
}

std::vector<std::optional<double>> wattsOf(const std::vector<SankeyDestination>& rows) {
    std::vector<std::optional<double>> watts;
    for (const SankeyDestination& destination : rows) {
        watts.push_back(destination.watts);
    }
    return watts;
}

SankeyMetrics metricsFor(const std::vector<SankeyDestination>& rows, std::optional<double> source) {
    return SankeyMetrics({kWidth, kHeight}, rows, wattsOf(rows), source);
}

QImage drawn(const SankeyRibbonCanvas& canvas, double phase) {
    QImage image(static_cast<int>(kWidth), static_cast<int>(kHeight), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    canvas.draw(phase, painter);
    painter.end();
    return image;
}

TEST(SankeyRibbonCanvasPhase, FollowsWallClockFromTheReferenceDate) {
    EXPECT_DOUBLE_EQ(SankeyRibbonCanvas::phase(kReferenceDate), 0.0);
    EXPECT_NEAR(SankeyRibbonCanvas::phase(kReferenceDate + 1400ms), 0.5, 1e-9);
    EXPECT_NEAR(SankeyRibbonCanvas::phase(kReferenceDate + 2800s + 700ms), 0.25, 1e-6);
    // Before the reference date the phase still lies in [0, 1).
    EXPECT_NEAR(SankeyRibbonCanvas::phase(kReferenceDate - 700ms), 0.75, 1e-9);
}

struct ParticleRow {
    const char* name;
    double bandWidth;
    double diameter;
};

class ParticleSize : public ::testing::TestWithParam<ParticleRow> {};

TEST_P(ParticleSize, IsClampedToTwoAndFourAndAHalf) {
    EXPECT_NEAR(SankeyRibbonCanvas::particleDiameter(GetParam().bandWidth), GetParam().diameter, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Bands, ParticleSize,
                         ::testing::Values(ParticleRow{"just_over_2", 2.01, 2.0},
                                           ParticleRow{"band_15", 15, 2.7}, ParticleRow{"band_25", 25, 4.5},
                                           ParticleRow{"band_154", 154, 4.5}),
                         testing::ParamName{});

class CanvasTest : public ::testing::Test {
protected:
    void setRows(const std::vector<SankeyDestination>& rows, std::optional<double> source,
                 PaletteColor sourceTint = PaletteColor::flowSource) {
        canvas.resize(static_cast<int>(kWidth), static_cast<int>(kHeight));
        canvas.setContent(rows, source, sourceTint, metricsFor(rows, source));
    }

    AccessibilityEnvironment environment;
    SankeyRibbonCanvas canvas{&environment, nullptr, [] { return kReferenceDate; }};
};

TEST_F(CanvasTest, RoutesEachRibbonFromTheSourceStackToItsRow) {
    const std::vector<SankeyDestination> rows{row(ID::cpu, 10), row(ID::gpu, 5), row(ID::other, 3)};
    setRows(rows, 20.0);
    const SankeyMetrics metrics = metricsFor(rows, 20.0);
    ASSERT_EQ(canvas.ribbons().size(), 3u);
    const double total = metrics.bandWidths[0] + metrics.bandWidths[1] + metrics.bandWidths[2];
    double top = kHeight / 2 - total / 2;
    const double xs = metrics.sourceWidth - 1;
    const double xe = kWidth - metrics.destinationWidth + 1;
    for (std::size_t i = 0; i < 3; ++i) {
        const SankeyRibbonCanvas::Ribbon& ribbon = canvas.ribbons()[i];
        EXPECT_EQ(ribbon.index, static_cast<int>(i));
        EXPECT_DOUBLE_EQ(ribbon.bandWidth, metrics.bandWidths[i]);
        EXPECT_DOUBLE_EQ(ribbon.route.start.x, xs);
        EXPECT_DOUBLE_EQ(ribbon.route.start.y, top + metrics.bandWidths[i] / 2);
        EXPECT_DOUBLE_EQ(ribbon.route.control1.x, xs + 0.34 * (xe - xs));
        EXPECT_DOUBLE_EQ(ribbon.route.control1.y, ribbon.route.start.y);
        EXPECT_DOUBLE_EQ(ribbon.route.control2.x, xs + 0.66 * (xe - xs));
        EXPECT_DOUBLE_EQ(ribbon.route.control2.y, metrics.rowCenters[i]);
        EXPECT_DOUBLE_EQ(ribbon.route.end.x, xe);
        EXPECT_DOUBLE_EQ(ribbon.route.end.y, metrics.rowCenters[i]);
        top += metrics.bandWidths[i];
    }
}

TEST_F(CanvasTest, ThinBandsGetNoRibbonAndTakeNoRoom) {
    // 0.1 W of 20 W over a budget of at most 154 is well under a quarter point.
    const std::vector<SankeyDestination> rows{row(ID::cpu, 10), row(ID::gpu, 0.03), row(ID::other, 3)};
    setRows(rows, 20.0);
    const SankeyMetrics metrics = metricsFor(rows, 20.0);
    ASSERT_LE(metrics.bandWidths[1], 0.25);
    ASSERT_EQ(canvas.ribbons().size(), 2u);
    EXPECT_EQ(canvas.ribbons()[1].index, 2);
    EXPECT_DOUBLE_EQ(canvas.ribbons()[1].route.start.y, canvas.ribbons()[0].route.start.y +
                                                            metrics.bandWidths[0] / 2 +
                                                            metrics.bandWidths[2] / 2);
}

TEST_F(CanvasTest, FewerRowCentresThanRowsEndAtTheMiddle) {
    const std::vector<SankeyDestination> rows{row(ID::cpu, 10), row(ID::gpu, 5)};
    SankeyMetrics metrics = metricsFor(rows, 20.0);
    metrics.rowCenters.resize(1);
    canvas.setContent(rows, 20.0, PaletteColor::flowSource, metrics);
    ASSERT_EQ(canvas.ribbons().size(), 2u);
    EXPECT_DOUBLE_EQ(canvas.ribbons()[1].route.end.y, kHeight / 2);
    metrics.bandWidths.resize(1);
    canvas.setContent(rows, 20.0, PaletteColor::flowSource, metrics);
    EXPECT_EQ(canvas.ribbons().size(), 1u);
}

TEST_F(CanvasTest, RibbonCentreShowsTheRowTintOverTheHalo) {
    const std::vector<SankeyDestination> rows{row(ID::cpu, 10, PaletteColor::flowGPU)};
    environment.setReduceMotion(true); // no particle over the pixel
    setRows(rows, 10.0, PaletteColor::warning);
    const QImage image = drawn(canvas, 0.0);
    const CubicRoute::Point middle = canvas.ribbons()[0].route.point(0.5);
    const QColor pixel = image.pixelColor(static_cast<int>(middle.x), static_cast<int>(middle.y));
    // The gradient's middle stop (the row tint at 0.76) over the white halo at 0.075.
    const QColor tint = toQColor(VoltranePalette::flowGPU);
    const double alpha = 0.76 + 0.075 * (1 - 0.76);
    EXPECT_NEAR(pixel.alphaF(), alpha, 0.02);
    EXPECT_NEAR(pixel.redF(), (tint.redF() * 0.76 + 0.075 * 0.24) / alpha, 0.03);
    EXPECT_NEAR(pixel.greenF(), (tint.greenF() * 0.76 + 0.075 * 0.24) / alpha, 0.03);
    EXPECT_NEAR(pixel.blueF(), (tint.blueF() * 0.76 + 0.075 * 0.24) / alpha, 0.03);
    // Near the source end the source tint dominates.
    const CubicRoute::Point start = canvas.ribbons()[0].route.point(0.02);
    const QColor near = image.pixelColor(static_cast<int>(start.x), static_cast<int>(start.y));
    EXPECT_GT(near.redF(), near.blueF());
    // The halo shows just outside the body, and nothing beyond it.
    const int haloY = static_cast<int>(std::floor(middle.y - canvas.ribbons()[0].bandWidth / 2 - 0.5));
    EXPECT_GT(image.pixelColor(static_cast<int>(middle.x), haloY).alphaF(), 0.0);
    EXPECT_EQ(image.pixelColor(static_cast<int>(middle.x), haloY - 3).alpha(), 0);
}

struct ParticleBandRow {
    const char* name;
    double bandWidth;
    bool particle;
};

class ParticleThreshold : public ::testing::TestWithParam<ParticleBandRow> {};

TEST_P(ParticleThreshold, AppearsOnlyOnBandsOverTwoPoints) {
    AccessibilityEnvironment environment;
    SankeyRibbonCanvas canvas(&environment);
    // One row of a 154 W source within the full 154-point budget: one watt, one point.
    const std::vector<SankeyDestination> rows{row(ID::cpu, GetParam().bandWidth)};
    const SankeyMetrics metrics = metricsFor(rows, 154.0);
    ASSERT_NEAR(metrics.bandWidths[0], GetParam().bandWidth, 1e-9);
    canvas.setContent(rows, 154.0, PaletteColor::flowSource, metrics);
    EXPECT_EQ(drawn(canvas, 0.1) != drawn(canvas, 0.6), GetParam().particle);
    environment.setReduceMotion(true);
    EXPECT_EQ(drawn(canvas, 0.1), drawn(canvas, 0.6)) << "reduce motion draws no particles";
}

INSTANTIATE_TEST_SUITE_P(Bands, ParticleThreshold,
                         ::testing::Values(ParticleBandRow{"band_of_2_has_none", 2.0, false},
                                           ParticleBandRow{"band_just_over_2_has_one", 2.2, true},
                                           ParticleBandRow{"band_of_30_has_one", 30, true}),
                         testing::ParamName{});

TEST_F(CanvasTest, NeighbouringParticlesAreOffsetByThirteenHundredths) {
    const std::vector<SankeyDestination> rows{row(ID::cpu, 40), row(ID::gpu, 30), row(ID::other, 20)};
    setRows(rows, 90.0);
    ASSERT_EQ(canvas.ribbons().size(), 3u);
    const QImage moving = drawn(canvas, 0.9);
    environment.setReduceMotion(true);
    const QImage still = drawn(canvas, 0.9);
    // Position 2 at phase 0.9: t = 1.16 modulo 1 = 0.16.
    for (const auto& [index, t] : {std::pair{0, 0.9}, std::pair{1, 0.03}, std::pair{2, 0.16}}) {
        SCOPED_TRACE(index);
        const CubicRoute::Point at = canvas.ribbons()[static_cast<std::size_t>(index)].route.point(t);
        const QPoint pixel(static_cast<int>(at.x), static_cast<int>(at.y));
        EXPECT_GT(moving.pixelColor(pixel).lightnessF(), still.pixelColor(pixel).lightnessF() + 0.1);
    }
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
    setRows({row(ID::cpu, 0.2), row(ID::gpu, std::nullopt)});
    expectPaused();
    setRows({row(ID::cpu, 0.21)});
    EXPECT_TRUE(canvas.isAnimating());
    setRows({});
    EXPECT_FALSE(canvas.isAnimating());
}

TEST_F(CanvasClock, NewInputsStillRedrawWhilePaused) {
    environment.setReduceMotion(true);
    QTest::qWait(60);
    const int ticks = canvas.tickCount();
    const int paints = canvas.paintCount();
    setRows({row(ID::cpu, 9), row(ID::other, 4)});
    QTest::qWait(60);
    EXPECT_EQ(canvas.tickCount(), ticks);
    EXPECT_EQ(canvas.paintCount(), paints + 1);
}

} // namespace
} // namespace voltrane
