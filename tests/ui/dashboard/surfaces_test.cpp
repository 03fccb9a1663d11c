#include "ui/dashboard/adaptive_glass_surface.h"
#include "ui/dashboard/dashboard_background.h"
#include "ui/dashboard/voltrane_glyph.h"
#include "ui/dashboard/voltrane_mark.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

// What the widget itself paints, without the window background a top-level grab adds.
QImage ownPaint(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

using Parameters = AdaptiveGlassSurface::Parameters;

const QColor kGreenTint = QColor::fromRgbF(0.22f, 0.9f, 0.48f, 0.1f);

TEST(AdaptiveGlassSurface, ReducedTransparencyKeepsHairlineAtLeastPointOne) {
    const auto layers = AdaptiveGlassSurface::layers(Parameters{15, std::nullopt, true, 0.06}, true);
    EXPECT_NEAR(layers.hairline.alphaF(), 0.1, 1e-4);
    EXPECT_EQ(layers.cardFill.alpha(), 255); // opaque control background
    EXPECT_EQ(layers.tintFill.alpha(), 0);   // no tint, nothing washed in
    EXPECT_DOUBLE_EQ(layers.hairlineWidth, 0.75);
}

TEST(AdaptiveGlassSurface, ReducedTransparencyKeepsAStrongerHairline) {
    const auto layers = AdaptiveGlassSurface::layers(Parameters{16, std::nullopt, false, 0.3}, true);
    EXPECT_NEAR(layers.hairline.alphaF(), 0.3, 1e-4);
}

TEST(AdaptiveGlassSurface, MaterialWashesTintAtPointTwoBehindATranslucentFill) {
    const auto layers = AdaptiveGlassSurface::layers(Parameters{99, kGreenTint, false, 0.07}, false);
    EXPECT_NEAR(layers.tintFill.alphaF(), 0.1 * 0.2, 1e-3);
    EXPECT_EQ(layers.tintFill.rgb(), kGreenTint.rgb());
    EXPECT_GT(layers.cardFill.alpha(), 0);
    EXPECT_LT(layers.cardFill.alpha(), 255);
    EXPECT_NEAR(layers.hairline.alphaF(), 0.07, 1e-4); // no minimum without the setting
}

TEST(AdaptiveGlassSurface, OpaqueTintUsesPointSixteen) {
    const auto layers = AdaptiveGlassSurface::layers(Parameters{16, kGreenTint, false, 0.07}, true);
    EXPECT_NEAR(layers.tintFill.alphaF(), 0.1 * 0.16, 1e-3);
}

QImage paintSurface(bool reduceTransparency) {
    QImage image(100, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    AdaptiveGlassSurface::paint(painter, QRectF(0, 0, 100, 40), Parameters{99, kGreenTint, false, 0.07},
                                reduceTransparency);
    return image;
}

TEST(AdaptiveGlassSurface, OpaqueRenderingCoversTheCardAndCapsuleCornersStayClear) {
    const QImage opaque = paintSurface(true);
    EXPECT_EQ(qAlpha(opaque.pixel(50, 20)), 255);
    EXPECT_EQ(qAlpha(opaque.pixel(1, 1)), 0); // radius 99 is clamped to a capsule
    const QImage material = paintSurface(false);
    EXPECT_LT(qAlpha(material.pixel(50, 20)), 255);
    EXPECT_GT(qAlpha(material.pixel(50, 20)), 0);
}

TEST(AdaptiveGlassSurface, WidgetRepaintsWithTheSettingGivenToIt) {
    AdaptiveGlassSurface surface(Parameters{16, std::nullopt, false, 0.06});
    surface.resize(80, 40);
    surface.setReduceTransparency(true);
    EXPECT_EQ(qAlpha(ownPaint(surface).pixel(40, 20)), 255);
    surface.setReduceTransparency(false);
    EXPECT_LT(qAlpha(ownPaint(surface).pixel(40, 20)), 255);
}

TEST(DashboardBackground, GlowsScaleWithThePanel) {
    const QSizeF panel(560, 750);
    const auto green = DashboardBackground::greenGlow(panel);
    EXPECT_DOUBLE_EQ(green.circle.width(), 0.64 * 560);
    EXPECT_DOUBLE_EQ(green.circle.center().x(), 280 - 0.35 * 560);
    EXPECT_DOUBLE_EQ(green.circle.center().y(), 375 - 0.36 * 750);
    EXPECT_DOUBLE_EQ(green.blurRadius, 86);
    const auto blue = DashboardBackground::blueGlow(panel);
    EXPECT_DOUBLE_EQ(blue.circle.width(), 0.72 * 560);
    EXPECT_DOUBLE_EQ(blue.circle.center().x(), 280 + 0.42 * 560);
    EXPECT_DOUBLE_EQ(blue.circle.center().y(), 375 + 0.34 * 750);
    EXPECT_DOUBLE_EQ(blue.blurRadius, 100);
}

TEST(DashboardBackground, ACircleNeverOutgrowsAShortPanel) {
    const auto green = DashboardBackground::greenGlow(QSizeF(1000, 300));
    EXPECT_DOUBLE_EQ(green.circle.width(), 300); // the frame is 640 wide but only 300 high
}

TEST(DashboardBackground, BlursOncePerSize) {
    DashboardBackground background;
    background.resize(280, 375);
    background.grab();
    background.grab();
    background.grab();
    EXPECT_EQ(background.blurCount(), 1);
    background.resize(300, 375);
    background.grab();
    EXPECT_EQ(background.blurCount(), 2);
}

TEST(DashboardBackground, GreenGlowsUpperLeftAndBlueLowerRight) {
    DashboardBackground background;
    background.resize(560, 750);
    background.grab();
    const QImage& glows = background.glowLayer();
    const int d = DashboardBackground::kGlowDownscale;
    const QColor green = glows.pixelColor(84 / d, 105 / d); // (0.15 w, 0.14 h)
    const QColor blue = glows.pixelColor(515 / d, 630 / d); // (0.92 w, 0.84 h)
    const QColor middle = glows.pixelColor(280 / d, 375 / d);
    EXPECT_GT(green.green(), green.blue());
    EXPECT_GT(blue.blue(), blue.red());
    EXPECT_GT(green.alpha(), middle.alpha());
    EXPECT_GT(blue.alpha(), middle.alpha());
    // Blurred: no hard edge at the disc's rim (radius 179 around the green centre).
    const QColor inside = glows.pixelColor((84 + 170) / d, 105 / d);
    const QColor outside = glows.pixelColor((84 + 190) / d, 105 / d);
    EXPECT_LT(inside.alpha() - outside.alpha(), 8);
}

TEST(VoltraneMark, FitsTheLargestSquareAndScalesItsMeasures) {
    const auto g = VoltraneMark::geometry(QRectF(0, 0, 42, 30));
    EXPECT_EQ(g.square, QRectF(6, 0, 30, 30));
    EXPECT_NEAR(g.cornerRadius, 8.4, 1e-9);
    EXPECT_NEAR(g.glyphLineWidth, 3.15, 1e-9);
    EXPECT_DOUBLE_EQ(g.hairlineWidth, 0.5); // 0.012 × 30 = 0.36 is below the minimum
    EXPECT_EQ(g.glyphRect, QRectF(12, 6, 18, 18));
    const auto large = VoltraneMark::geometry(QRectF(0, 0, 100, 100));
    EXPECT_NEAR(large.hairlineWidth, 1.2, 1e-9);
    EXPECT_NEAR(large.shadowRadius, 22, 1e-9);
    EXPECT_NEAR(large.shadowOffsetY, 8, 1e-9);
}

TEST(VoltraneMark, PaintsInsideItsSquareOnly) {
    VoltraneMark mark;
    mark.resize(60, 42);
    const QImage image = ownPaint(mark);
    EXPECT_GT(qAlpha(image.pixel(30, 21)), 200);
    // Left of the 42 × 42 square only the faint green shadow (opacity 0.16) may reach.
    EXPECT_LT(qAlpha(image.pixel(2, 21)), 0.16 * 255);
}

TEST(VoltraneGlyph, FourStrokesFromTheStem) {
    const QPainterPath path = VoltraneGlyph::path(QRectF(10, 20, 100, 50));
    // a = 18, b = 52, c = 104, p = 71, q = 78, m = 45, t = 26, u = 64
    struct Expected {
        QPainterPath::ElementType type;
        qreal x, y;
    };
    const Expected expected[] = {
        {QPainterPath::MoveToElement, 18, 45},      {QPainterPath::LineToElement, 52, 45},
        {QPainterPath::MoveToElement, 52, 45},      {QPainterPath::CurveToElement, 71, 45},
        {QPainterPath::CurveToDataElement, 78, 26}, {QPainterPath::CurveToDataElement, 104, 26},
        {QPainterPath::MoveToElement, 52, 45},      {QPainterPath::LineToElement, 104, 45},
        {QPainterPath::MoveToElement, 52, 45},      {QPainterPath::CurveToElement, 71, 45},
        {QPainterPath::CurveToDataElement, 78, 64}, {QPainterPath::CurveToDataElement, 104, 64},
    };
    ASSERT_EQ(path.elementCount(), static_cast<int>(std::size(expected)));
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto element = path.elementAt(i);
        const auto& want = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(element.type, want.type) << "element " << i;
        EXPECT_NEAR(element.x, want.x, 1e-9) << "element " << i;
        EXPECT_NEAR(element.y, want.y, 1e-9) << "element " << i;
    }
}

} // namespace
} // namespace voltrane
