#include "support/param_name.h"
#include "ui/dashboard/adaptive_glass_surface.h"
#include "ui/dashboard/dashboard_background.h"
#include "ui/dashboard/voltrane_glyph.h"
#include "ui/dashboard/voltrane_mark.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <tuple>

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

struct LayerRow {
    const char* name;
    std::optional<QColor> tint;
    qreal stroke;
    bool reduceTransparency;
    qreal hairline, tintAlpha; ///< expected alphas
    bool opaqueCard;
};

class GlassLayers : public ::testing::TestWithParam<LayerRow> {};

TEST_P(GlassLayers, StackTintCardAndHairline) {
    const LayerRow& row = GetParam();
    const auto layers =
        AdaptiveGlassSurface::layers(Parameters{16, row.tint, false, row.stroke}, row.reduceTransparency);
    EXPECT_NEAR(layers.hairline.alphaF(), row.hairline, 1e-3);
    EXPECT_NEAR(layers.tintFill.alphaF(), row.tintAlpha, 1e-3);
    if (row.tint) {
        EXPECT_EQ(layers.tintFill.rgb(), row.tint->rgb());
    }
    EXPECT_EQ(layers.cardFill.alpha() == 255, row.opaqueCard);
    EXPECT_GT(layers.cardFill.alpha(), 0);
    EXPECT_DOUBLE_EQ(layers.hairlineWidth, 0.75);
}

// With reduce transparency the hairline is at least 0.1; the tint washes in at 0.16 (opaque) or 0.2.
INSTANTIATE_TEST_SUITE_P(
    Settings, GlassLayers,
    ::testing::Values(LayerRow{"opaqueFaintStroke", std::nullopt, 0.06, true, 0.1, 0, true},
                      LayerRow{"opaqueStrongStroke", std::nullopt, 0.3, true, 0.3, 0, true},
                      LayerRow{"opaqueTinted", kGreenTint, 0.07, true, 0.1, 0.016, true},
                      LayerRow{"materialTinted", kGreenTint, 0.07, false, 0.07, 0.02, false}),
    voltrane::testing::ParamName());

TEST(AdaptiveGlassSurface, PaintsOpaqueOrTranslucentCapsulesAndRepaintsOnTheSetting) {
    for (const bool reduce : {true, false}) {
        QImage image(100, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        AdaptiveGlassSurface::paint(painter, QRectF(0, 0, 100, 40), Parameters{99, kGreenTint, false, 0.07},
                                    reduce);
        EXPECT_EQ(qAlpha(image.pixel(50, 20)) == 255, reduce);
        EXPECT_GT(qAlpha(image.pixel(50, 20)), 0);
        EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0); // radius 99 is clamped to a capsule
    }
    AdaptiveGlassSurface surface(Parameters{16, std::nullopt, false, 0.06});
    surface.resize(80, 40);
    surface.setReduceTransparency(true);
    EXPECT_EQ(qAlpha(ownPaint(surface).pixel(40, 20)), 255);
    surface.setReduceTransparency(false);
    EXPECT_LT(qAlpha(ownPaint(surface).pixel(40, 20)), 255);
}

TEST(DashboardBackground, GlowsScaleWithThePanelButNeverOutgrowIt) {
    const auto green = DashboardBackground::greenGlow(QSizeF(560, 750));
    EXPECT_DOUBLE_EQ(green.circle.width(), 0.64 * 560);
    EXPECT_DOUBLE_EQ(green.circle.center().x(), 280 - 0.35 * 560);
    EXPECT_DOUBLE_EQ(green.circle.center().y(), 375 - 0.36 * 750);
    EXPECT_DOUBLE_EQ(green.blurRadius, 86);
    const auto blue = DashboardBackground::blueGlow(QSizeF(560, 750));
    EXPECT_DOUBLE_EQ(blue.circle.width(), 0.72 * 560);
    EXPECT_DOUBLE_EQ(blue.circle.center().x(), 280 + 0.42 * 560);
    EXPECT_DOUBLE_EQ(blue.circle.center().y(), 375 + 0.34 * 750);
    EXPECT_DOUBLE_EQ(blue.blurRadius, 100);
    // The frame is 640 wide but only 300 high.
    EXPECT_DOUBLE_EQ(DashboardBackground::greenGlow(QSizeF(1000, 300)).circle.width(), 300);
}

TEST(DashboardBackground, BlursOncePerSizeGreenUpperLeftAndBlueLowerRight) {
    DashboardBackground background;
    background.resize(560, 750);
    background.grab();
    background.grab();
    EXPECT_EQ(background.blurCount(), 1);
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
    background.resize(300, 375);
    background.grab();
    EXPECT_EQ(background.blurCount(), 2);
}

TEST(VoltraneMark, FitsTheLargestSquareScalesItsMeasuresAndPaintsInsideIt) {
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
    using E = QPainterPath::ElementType;
    const E move = E::MoveToElement, line = E::LineToElement, curve = E::CurveToElement,
            data = E::CurveToDataElement;
    const std::tuple<E, qreal, qreal> expected[] = {
        {move, 18, 45}, {line, 52, 45},  {move, 52, 45}, {curve, 71, 45}, {data, 78, 26}, {data, 104, 26},
        {move, 52, 45}, {line, 104, 45}, {move, 52, 45}, {curve, 71, 45}, {data, 78, 64}, {data, 104, 64},
    };
    ASSERT_EQ(path.elementCount(), static_cast<int>(std::size(expected)));
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto& [type, x, y] = expected[i];
        EXPECT_EQ(path.elementAt(i).type, type) << "element " << i;
        EXPECT_NEAR(path.elementAt(i).x, x, 1e-9) << "element " << i;
        EXPECT_NEAR(path.elementAt(i).y, y, 1e-9) << "element " << i;
    }
}

} // namespace
} // namespace voltrane
